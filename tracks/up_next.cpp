// The up-next list: read from the automix list or the other deck, settled over
// a few polls, and flagged for sending when it changes or grows stale.
#include <mutex>

#include "plugin/now_playing_engine.h"
#include "service/text_ops.h"
#include "tracks/deck_commands.h"

namespace {

constexpr uint32_t kAutomixEntries = 5;
constexpr int64_t kAutomixSettle = 10;
constexpr int64_t kOtherDeckSettle = 60;
constexpr int64_t kEmptyListSettle = 10;
constexpr int64_t kResendAfter = 300;

bool matchesAny(const Track& track, const std::vector<Track>& list) {
    for (const Track& entry : list) {
        if (sameTrack(track, entry)) {
            return true;
        }
    }
    return false;
}

}  // namespace

void NowPlayingEngine::readUpNext(const std::vector<DeckState>& decks, const DeckState* onAir) {
    double automix = 0;
    if (askNumber(kAutomixCommand, automix) && automix > 0.5) {
        std::vector<Track> list = readAutomixList();
        if (!list.empty()) {
            updateUpNext(std::move(list), kAutomixSettle);
            return;
        }
    }

    std::vector<Track> exclusions;
    {
        MutexLock lock(engineMutex);
        exclusions = recentPlays;
        exclusions.push_back(candidate);
    }
    for (const DeckState& deck : decks) {
        if (deck.audible || deck.track.title.empty() || matchesAny(deck.track, exclusions)) {
            continue;
        }
        if (onAir != nullptr && (deck.deck == onAir->deck || sameTrack(deck.track, onAir->track))) {
            continue;
        }
        updateUpNext({Track{deck.track.title, deck.track.artist, 0}}, kOtherDeckSettle);
        return;
    }
    updateUpNext({}, kEmptyListSettle);
}

std::vector<Track> NowPlayingEngine::readAutomixList() {
    std::vector<Track> list;
    for (uint32_t i = 1; i <= kAutomixEntries; ++i) {
        std::string title = trim(hostText(automixCommand("title", i)));
        std::string artist = trim(hostText(automixCommand("artist", i)));
        if (title.empty()) {
            break;
        }
        list.push_back(Track{std::move(title), std::move(artist), 0});
    }
    return list;
}

void NowPlayingEngine::updateUpNext(std::vector<Track> list, int64_t settle) {
    MutexLock lock(engineMutex);
    const int64_t now = clock();
    notAheadOf(upNextPendingSince, now);
    notAheadOf(upNextSentAt, now);
    if (!sameTrackList(list, upNextPending)) {
        upNextPending = std::move(list);
        upNextPendingSince = now;
        return;
    }
    if (now - upNextPendingSince < settle) {
        return;
    }
    if (!sameTrackList(upNextPending, upNext)) {
        upNext = upNextPending;
        upNextChanged = true;
    } else if (!upNext.empty() && now - upNextSentAt >= kResendAfter) {
        upNextChanged = true;
    }
}
