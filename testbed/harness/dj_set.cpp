#include "dj_set.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <tuple>

namespace {

// "Title|Artist" into its two parts.
std::pair<std::string, std::string> titleAndArtist(const std::string& text) {
    const size_t bar = text.find('|');
    return bar == std::string::npos ? std::make_pair(text, std::string())
                                    : std::make_pair(text.substr(0, bar), text.substr(bar + 1));
}

std::string trimmed(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t");
    const size_t end = text.find_last_not_of(" \t\r");
    return begin == std::string::npos ? "" : text.substr(begin, end - begin + 1);
}

}  // namespace

std::optional<std::vector<SetEvent>> readSet(const std::string& path, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    std::vector<SetEvent> events;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream words(line);
        SetEvent event;
        if (!(words >> event.at >> event.action)) {
            error = path + ":" + std::to_string(number) + ": expected <seconds> <action>";
            return std::nullopt;
        }
        std::getline(words, event.rest);
        event.rest = trimmed(event.rest);
        std::istringstream restWords(event.rest);
        for (std::string word; restWords >> word;) {
            event.words.push_back(word);
        }
        events.push_back(event);
    }
    return events;
}

bool DeckState::apply(const SetEvent& event) {
    std::lock_guard lock(mutex_);
    const auto deckIndex = [&]() -> Deck* {
        const int n = event.words.empty() ? 0 : std::atoi(event.words[0].c_str());
        return n >= 1 && n <= 4 ? &decks_[n - 1] : nullptr;
    };
    if (event.action == "load" || event.action == "unload" || event.action == "play" ||
        event.action == "stop") {
        Deck* deck = deckIndex();
        if (deck == nullptr) {
            return false;
        }
        if (event.action == "load") {
            const std::string song = trimmed(event.rest.substr(event.rest.find(' ') + 1));
            std::tie(deck->title, deck->artist) = titleAndArtist(song);
            deck->loaded = true;
        } else if (event.action == "unload") {
            *deck = Deck{};
        } else {
            deck->audible = event.action == "play";
        }
        return true;
    }
    if (event.action == "automix") {
        automix_ = !event.words.empty() && event.words[0] == "on";
        automixList_.clear();
        const std::string list = automix_ ? trimmed(event.rest.substr(2)) : "";
        std::istringstream entries(list);
        for (std::string entry; std::getline(entries, entry, ';');) {
            if (!trimmed(entry).empty()) {
                automixList_.push_back(titleAndArtist(trimmed(entry)));
            }
        }
        return true;
    }
    if (event.action == "sandbox") {
        sandbox_ = !event.words.empty() && event.words[0] == "on";
        return true;
    }
    return false;
}

int32_t DeckState::answerNumber(const std::string& command, double* value) {
    std::lock_guard lock(mutex_);
    const harness::Query query = harness::parseQuery(command);
    const Deck* deck = query.number >= 1 && query.number <= 4 ? &decks_[query.number - 1] : nullptr;
    if (query.kind == harness::Query::Sandbox || query.kind == harness::Query::Automix) {
        *value = (query.kind == harness::Query::Sandbox ? sandbox_ : automix_) ? 1 : 0;
    } else if ((query.kind == harness::Query::Loaded || query.kind == harness::Query::Audible) &&
               deck != nullptr) {
        *value = deck->loaded && (query.kind == harness::Query::Loaded || deck->audible) ? 1 : 0;
    } else {
        return 1;
    }
    return 0;
}

int32_t DeckState::answerText(const std::string& command, char* buffer, int32_t size) {
    std::lock_guard lock(mutex_);
    const harness::Query query = harness::parseQuery(command);
    const auto index = static_cast<size_t>(query.number - 1);
    if ((query.kind == harness::Query::Title || query.kind == harness::Query::Artist) &&
        query.number <= 4) {
        const Deck& deck = decks_[index];
        return harness::answerText(query.kind == harness::Query::Title ? deck.title : deck.artist,
                                   buffer, size);
    }
    if (query.kind == harness::Query::EntryTitle || query.kind == harness::Query::EntryArtist) {
        const bool present = automix_ && index < automixList_.size();
        return harness::answerText(!present ? ""
                                   : query.kind == harness::Query::EntryTitle
                                       ? automixList_[index].first
                                       : automixList_[index].second,
                                   buffer, size);
    }
    return 1;
}

harness::HostScript DeckState::script() {
    return {
        [this](const std::string& command, double* value) { return answerNumber(command, value); },
        [this](const std::string& command, char* buffer, int32_t size) {
            return answerText(command, buffer, size);
        }};
}

harness::HostScript steadyDeck(const std::string& title, const std::string& artist) {
    auto decks = std::make_shared<DeckState>();
    decks->apply({0, "load", {"1"}, "1 " + title + "|" + artist});
    decks->apply({0, "play", {"1"}, "1"});
    const harness::HostScript answers = decks->script();
    return {[decks, answers](const std::string& command, double* value) {
                return answers.number(command, value);
            },
            [decks, answers](const std::string& command, char* buffer, int32_t size) {
                return answers.text(command, buffer, size);
            }};
}
