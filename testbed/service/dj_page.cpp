#include "dj_page.h"

namespace {

std::string escapeHtml(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string trackLine(const nlohmann::json& track) {
    std::string line = "<span class=\"title\">" + escapeHtml(track.value("title", "")) + "</span>";
    if (!track.value("artist", "").empty()) {
        line += " <span class=\"artist\">" + escapeHtml(track.value("artist", "")) + "</span>";
    }
    return line;
}

// "22:13:20 UTC" out of "2023-11-14T22:13:20Z".
std::string clockTime(const std::string& timestamp) {
    return timestamp.size() >= 19 ? timestamp.substr(11, 8) + " UTC" : timestamp;
}

const char kStyle[] = R"(
body { background: #10161d; color: #f2eee6; font-family: Arial, sans-serif; margin: 2em; }
h1 { color: #ff6a3d; font-size: 1em; letter-spacing: .1em; }
h2 { color: #3fb8af; font-size: .9em; letter-spacing: .1em; margin-top: 2em; }
.now .title { font-size: 2em; font-weight: bold; }
.artist, .time, .empty { color: #a9b4be; }
li { margin: .3em 0; }
)";

}  // namespace

std::string renderDjPage(const std::string& accountName, const nlohmann::json& account) {
    const nlohmann::json& history = account["history"];
    std::string html =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
        "<meta http-equiv=\"refresh\" content=\"5\"><title>" +
        escapeHtml(accountName) + " - Now playing</title><style>" + kStyle +
        "</style></head><body>\n<h1>" + escapeHtml(accountName) + " &middot; NOW PLAYING</h1>\n";

    html += "<p class=\"now\">";
    html +=
        history.empty() ? "<span class=\"empty\">Nothing yet</span>" : trackLine(history.back());
    html += "</p>\n<h2>UP NEXT</h2>\n<ol class=\"up-next\">";
    for (const auto& track : account["upNext"]) {
        html += "<li>" + trackLine(track) + "</li>";
    }
    html += "</ol>\n<h2>PLAYED</h2>\n<ol class=\"history\" reversed>";
    for (auto it = history.rbegin(); it != history.rend(); ++it) {
        html += "<li><span class=\"time\">" + escapeHtml(clockTime((*it)["playedAt"])) +
                "</span> " + trackLine(*it) + "</li>";
    }
    html += "</ol>\n</body></html>\n";
    return html;
}
