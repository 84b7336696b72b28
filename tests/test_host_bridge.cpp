// The engine's host queries through a stand-in callback object reached via
// the plug-in's base: result codes, the 512-byte buffer and where it is cut.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/host_bridge.h"

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
        // A host text of 511 bytes that ends badly by itself was not cut by us.
        {std::string(509, 'a') + "\xE2\x80" + std::string(1, '\0'),
         std::string(509, 'a') + "\xE2\x80"},
    };
    for (const Case& c : cases) {
        callbacks.answer = c.answer;
        EXPECT_EQ(hostText(plugin, "x"), c.expected) << c.answer.size();
    }
}

}  // namespace
