// The engine's host queries through a stand-in callback object reached via
// the plug-in's base: result codes, the 512-byte buffer and where it is cut.
#include <gtest/gtest.h>

#include <cstring>

#include <nlohmann/json.hpp>

#include "plugin/host_bridge.h"
#include "service/document.h"

namespace {

// Answers every query with a scripted result code and buffer content.
class FakeCallbacks : public HostCallbacks {
public:
    int32_t result = 0;
    std::string answer;  // bytes written into the buffer, up to its size
    std::string lastCommand;

    int32_t SendCommand(const char*) override { return 0; }
    int32_t GetInfo(const char* command, double* value) override {
        lastCommand = command;
        *value = 7.5;
        return result;
    }
    int32_t GetStringInfo(const char* command, char* buffer, int32_t size) override {
        lastCommand = command;
        std::memcpy(buffer, answer.data(), std::min(answer.size(), static_cast<size_t>(size)));
        return result;
    }
    int32_t DeclareParameter(void*, int32_t, int32_t, const char*, const char*, float) override {
        return 0;
    }
};

class BarePlugin : public IVdjPlugin8 {
public:
    int32_t OnLoad() override { return 0; }
    int32_t OnGetPluginInfo(PluginInfo*) override { return 0; }
    uint32_t Release() override { return 0; }
    int32_t Dispose() override { return 0; }
    int32_t OnParameter(int32_t) override { return 0; }
    int32_t OnGetParameterString(int32_t, char*, int32_t) override { return 0; }
    int32_t OnGetUserInterface(InterfaceRecord*) override { return 0; }
};

class HostBridge : public ::testing::Test {
protected:
    FakeCallbacks callbacks;
    BarePlugin plugin;
    void SetUp() override {
        plugin.hostInstance = nullptr;
        plugin.callbacks = &callbacks;
    }
};

TEST_F(HostBridge, NumberCountsOnlyResultZeroAsAnAnswer) {
    for (const int32_t code : {0, 1, -1, static_cast<int32_t>(0x80004005u)}) {
        callbacks.result = code;
        double value = 0;
        EXPECT_EQ(hostNumber(plugin, "deck 1 loaded", value), code == 0);
        EXPECT_EQ(callbacks.lastCommand, "deck 1 loaded");
    }
}

TEST_F(HostBridge, TextIsEmptyWhenTheHostDoesNotAnswer) {
    callbacks.answer = "A title";
    callbacks.result = 1;
    EXPECT_EQ(hostText(plugin, "deck 1 get_loaded_song 'title'"), "");
    callbacks.result = 0;
    EXPECT_EQ(hostText(plugin, "deck 1 get_loaded_song 'title'"), "A title");
}

TEST_F(HostBridge, AFullBufferIsCutAt511BytesWithoutHalfACharacter) {
    struct Case {
        std::string answer;
        std::string expected;
    };
    const std::string ascii(600, 'a');
    const std::string threeByte = "\xE2\x80\xA6";  // an ellipsis
    const std::vector<Case> cases = {
        {ascii, std::string(511, 'a')},
        {std::string(510, 'a') + threeByte, std::string(510, 'a')},
        {std::string(509, 'a') + threeByte, std::string(509, 'a')},
        {std::string(508, 'a') + threeByte + "b", std::string(508, 'a') + threeByte},
        {std::string(509, 'a') + "\xC3\xA9" + "b", std::string(509, 'a') + "\xC3\xA9"},
        // A host that cut the text itself leaves no half character either.
        {std::string(509, 'a') + "\xE2\x80" + std::string(1, '\0'), std::string(509, 'a')},
    };
    for (const Case& c : cases) {
        callbacks.answer = c.answer;
        EXPECT_EQ(hostText(plugin, "x"), c.expected) << c.answer.size();
    }
}

// Host texts go into every document sent, so what the host gives must come
// out as UTF-8 a strict parser accepts; valid text passes unchanged.
TEST_F(HostBridge, TextEntersAsValidUtf8) {
    const std::string bad = "\xEF\xBF\xBD";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"D\xC3\xA9j\xC3\xA0 vu \xF0\x9F\x8E\xA7 \xE2\x80\xA6",
         "D\xC3\xA9j\xC3\xA0 vu \xF0\x9F\x8E\xA7 \xE2\x80\xA6"},
        {"Caf\xE9 (Latin-1)", "Caf" + bad + " (Latin-1)"},
        {"\x80\xBF lone continuations", bad + bad + " lone continuations"},
        {"\xC0\xAF overlong slash", bad + bad + " overlong slash"},
        {"\xED\xA0\x80 surrogate", bad + bad + bad + " surrogate"},
        {"\xF4\x90\x80\x80 beyond U+10FFFF", bad + bad + bad + bad + " beyond U+10FFFF"},
        {"\xE2\x80 cut inside", bad + " cut inside"},
        {"\xFF\xFE", bad + bad},
        {"ends cut \xF0\x9F\x8E", "ends cut "},
    };
    for (const auto& [answer, expected] : cases) {
        callbacks.answer = answer + std::string(1, '\0');
        const std::string text = hostText(plugin, "x");
        EXPECT_EQ(text, expected) << answer;
        const std::vector<Track> tracks = {{text, text, 1700000000}};
        EXPECT_TRUE(nlohmann::json::accept(nowPlayingDocument(tracks, &tracks))) << answer;
    }
}

}  // namespace
