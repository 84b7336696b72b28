// A scripted DJ set for the stand-in host: a timeline of deck loads, audible
// changes, automix lists, sandbox, switch flips, key entries and pastes; and
// the deck state every host of ours answers script queries from.
//
// Threads: the host's main thread applies events; the plug-in's worker asks
// queries through the script. One mutex guards the deck state.
#pragma once

#include <array>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "fake_host.h"

struct SetEvent {
    double at = 0;                   // seconds after the plug-in was loaded
    std::string action;              // key, clearkey, paste, savekey, load, unload, play, stop,
                                     // automix, sandbox, switch, end
    std::vector<std::string> words;  // the rest of the line, split on white space
    std::string rest;                // the rest of the line as written
};

// Reads a set file: one event per line, "<seconds> <action> <arguments>";
// blank lines and lines starting with # are skipped. Empty on a bad line.
std::optional<std::vector<SetEvent>> readSet(const std::string& path, std::string& error);

class DeckState {
public:
    // Applies a deck, automix or sandbox event; false for other actions.
    bool apply(const SetEvent& event);
    // The host's answers to the plug-in's queries from this state, which
    // must outlive them: result 0 and the value or text, or 1 (no answer).
    harness::HostScript script();

private:
    int32_t answerNumber(const std::string& command, double* value);
    int32_t answerText(const std::string& command, char* buffer, int32_t size);

    struct Deck {
        bool loaded = false;
        bool audible = false;
        std::string title, artist;
    };
    std::mutex mutex_;
    std::array<Deck, 4> decks_;
    bool automix_ = false;
    bool sandbox_ = false;
    std::vector<std::pair<std::string, std::string>> automixList_;
};

// Deck 1 plays `title` by `artist`, audible; no other deck, no automix. The
// script keeps the deck state it answers from.
harness::HostScript steadyDeck(const std::string& title, const std::string& artist);
