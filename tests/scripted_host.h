// A scripted stand-in for the host's script queries and a hand-driven clock,
// for engine tests. Answers are keyed by the exact command text; every query
// is recorded in order. Single-threaded: used only from the test's thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "plugin/now_playing_engine.h"

struct ScriptedHost {
    std::map<std::string, double> numbers;     // answered numeric queries
    std::map<std::string, std::string> texts;  // answered text queries
    std::vector<std::string> queries;          // every command asked, in order
    int64_t now = 1'700'000'000;

    bool number(const std::string& command, double& result) {
        queries.push_back(command);
        const auto it = numbers.find(command);
        if (it == numbers.end()) {
            return false;
        }
        result = it->second;
        return true;
    }

    std::string text(const std::string& command) {
        queries.push_back(command);
        const auto it = texts.find(command);
        return it == texts.end() ? std::string() : it->second;
    }

    // Deck N loaded (or not) with a title and artist, audible or silent.
    void setDeck(int deck, bool audible, const std::string& title, const std::string& artist = "") {
        const std::string prefix = "deck " + std::to_string(deck) + " ";
        numbers[prefix + "loaded"] = 1;
        numbers[prefix + "is_audible"] = audible ? 1 : 0;
        texts[prefix + "get_loaded_song 'title'"] = title;
        texts[prefix + "get_loaded_song 'artist'"] = artist;
    }

    void unloadDeck(int deck) { numbers["deck " + std::to_string(deck) + " loaded"] = 0; }

    // Automix on with these titles (artist "Artist of <title>"), or off for an empty list.
    void setAutomix(const std::vector<std::string>& titles) {
        for (int i = 1; i <= 5; ++i) {
            const std::string suffix = i == 1 ? "" : " " + std::to_string(i);
            texts.erase("get_automix_song 'title'" + suffix);
            texts.erase("get_automix_song 'artist'" + suffix);
        }
        numbers["automix"] = titles.empty() ? 0 : 1;
        for (size_t i = 0; i < titles.size(); ++i) {
            const std::string suffix = i == 0 ? "" : " " + std::to_string(i + 1);
            texts["get_automix_song 'title'" + suffix] = titles[i];
            texts["get_automix_song 'artist'" + suffix] = "Artist of " + titles[i];
        }
    }
};

using HttpHandler =
    std::function<HttpResult(const std::string&, const std::string&, const std::string&)>;

// An engine wired to the scripted host and its clock, with the given service.
inline std::unique_ptr<NowPlayingEngine> makeEngine(ScriptedHost& host, HttpHandler http = {}) {
    if (!http) {
        http = [](const std::string&, const std::string&, const std::string&) {
            return HttpResult{200, "{}"};
        };
    }
    return std::make_unique<NowPlayingEngine>(
        [&host](const std::string& c, double& v) { return host.number(c, v); },
        [&host](const std::string& c) { return host.text(c); }, std::move(http),
        [&host] { return host.now; });
}

inline Track track(const std::string& title, const std::string& artist = "", int64_t playedAt = 0) {
    return Track{title, artist, playedAt};
}
