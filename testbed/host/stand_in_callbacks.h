// The stand-in host's side of the plug-in: answers the plug-in's script
// queries from a DeckState, counts them, and reports the parameters the
// plug-in declares.
// Threads: queries come from the plug-in's worker; declarations from OnLoad on
// the host's thread. The deck state has its own lock; the count is atomic.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "dj_set.h"
#include "host_side.h"

class StandInCallbacks : public harness::HostSide {
public:
    using Reporter = std::function<void(const std::string&)>;
    StandInCallbacks(DeckState& decks, Reporter report)
        : decks_(decks), report_(std::move(report)) {}

    int32_t getInfo(const char* command, double* result) override {
        ++queries;
        double value = 0;
        if (!decks_.answerNumber(command, value)) {
            return 1;
        }
        *result = value;
        return 0;
    }
    int32_t getStringInfo(const char* command, char* buffer, int32_t size) override {
        ++queries;
        std::string text;
        return decks_.answerText(command, text) ? harness::answerText(text, buffer, size) : 1;
    }
    void declared(int32_t id, int32_t kind, const char* name, const char* shortName,
                  float defaultValue) override {
        report_("declared parameter " + std::to_string(id) + " \"" + name + "\" (\"" + shortName +
                "\", kind " + std::to_string(kind) + ", default " +
                std::to_string(static_cast<int>(defaultValue)) + ")");
    }

    std::atomic<long> queries{0};

private:
    DeckState& decks_;
    Reporter report_;
};
