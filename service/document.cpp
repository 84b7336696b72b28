#include "service/document.h"

#include "service/text_ops.h"

namespace {

// {"title":"…"[,"artist":"…"] without the closing brace.
void appendTitleAndArtist(std::string& out, const Track& track) {
    out += "{\"title\":\"";
    out += jsonEscape(track.title);
    out += '"';
    if (!track.artist.empty()) {
        out += ",\"artist\":\"";
        out += jsonEscape(track.artist);
        out += '"';
    }
}

}  // namespace

std::string tracksDocument(const std::vector<Track>& playQueue) {
    std::string out = "{\"tracks\":[";
    for (size_t i = 0; i < playQueue.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        appendTitleAndArtist(out, playQueue[i]);
        out += ",\"playedAt\":\"";
        out += formatTimestamp(playQueue[i].playedAt);
        out += "\"}";
    }
    out += "]}";
    return out;
}

std::string nowPlayingDocument(const std::vector<Track>& playQueue,
                               const std::vector<Track>* upNext) {
    std::string out = tracksDocument(playQueue);
    if (upNext == nullptr) {
        return out;
    }
    out.pop_back();
    out += ",\"upNext\":[";
    for (size_t i = 0; i < upNext->size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        appendTitleAndArtist(out, (*upNext)[i]);
        out += '}';
    }
    out += "]}";
    return out;
}
