// The stand-in host's callback object: answers the plug-in's script queries
// from a DeckState, counts them, and keeps the addresses of the parameters the
// plug-in declares.
// Threads: queries come from the plug-in's worker; declarations from OnLoad on
// the host's thread. The deck state has its own lock; the count is atomic.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <string>

#include "dj_set.h"
#include "plugin/host_interface.h"

class StandInCallbacks : public HostCallbacks {
public:
    using Reporter = std::function<void(const std::string&)>;
    StandInCallbacks(DeckState& decks, Reporter report)
        : decks_(decks), report_(std::move(report)) {}

    int32_t SendCommand(const char*) override { return 1; }
    int32_t GetInfo(const char* command, double* result) override {
        ++queries;
        double value = 0;
        if (!decks_.answerNumber(command, value)) {
            return 1;
        }
        *result = value;
        return 0;
    }
    int32_t GetStringInfo(const char* command, char* buffer, int32_t size) override {
        ++queries;
        std::string text;
        if (size <= 0 || !decks_.answerText(command, text)) {
            return 1;
        }
        const size_t length = std::min(text.size(), static_cast<size_t>(size - 1));
        std::memcpy(buffer, text.data(), length);
        buffer[length] = '\0';
        return 0;
    }
    int32_t DeclareParameter(void* variable, int32_t kind, int32_t id, const char* name,
                             const char* shortName, float defaultValue) override {
        if (id >= 1 && id <= 3) {
            variables[id] = variable;
        }
        report_("declared parameter " + std::to_string(id) + " \"" + name + "\" (\"" + shortName +
                "\", kind " + std::to_string(kind) + ", default " +
                std::to_string(static_cast<int>(defaultValue)) + ")");
        return 0;
    }

    // The host writes the declared variables directly, as the DJ application
    // does, while the plug-in's worker reads them: one atomic value at a time.
    void writeInt(int id, int32_t value) {
        std::atomic_ref<int32_t>(*static_cast<int32_t*>(variables[id])).store(value);
    }
    void writeKeyText(const std::string& text) {
        char* bytes = static_cast<char*>(variables[1]);
        for (size_t i = 0; i < 64; ++i) {
            std::atomic_ref<char>(bytes[i]).store(i < text.size() && i < 63 ? text[i] : '\0');
        }
    }

    void* variables[4] = {};
    std::atomic<long> queries{0};

private:
    DeckState& decks_;
    Reporter report_;
};
