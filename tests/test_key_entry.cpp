#include <gtest/gtest.h>

#include "account/key_form.h"
#include "tests/scripted_host.h"

namespace {

const std::string kBody = "AbCdEfGhIjKlMnOpQrStUvWxYz012_-9";  // 32 allowed characters
const std::string kKey = "zvknp_" + kBody;

TEST(ExtractKey, AcceptsOnlyTheExactForm) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {kKey, kKey},
        {"Your key: " + kKey + "\r\n", kKey},
        {kKey + "EXTRA123", kKey},
        {"zvknp_" + kBody.substr(0, 31), ""},
        {"zvknp_" + kBody.substr(0, 15) + " " + kBody.substr(16), ""},
        {"zvknp_" + kBody.substr(0, 15) + "." + kBody.substr(16), ""},
        {"zvknp_" + kBody.substr(0, 15) + "+" + kBody.substr(16), ""},
        {"zvknp_" + kBody.substr(0, 30) + "\xC3\xA9", ""},
        // Every body character is checked, the first and the last too.
        {"zvknp_." + kBody.substr(1), ""},
        {"zvknp_" + kBody.substr(0, 31) + ".", ""},
        {"zvknp_" + kBody.substr(0, 31) + "\xC3", ""},
        {"ZVKNP_" + kBody, ""},
        {"zvknp_bad key " + kKey, ""},
        {"", ""},
        {"zvknp_", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(extractKey(c.text), c.expected) << c.text;
    }
}

class SetKey : public ::testing::Test {
protected:
    ScriptedHost host;
    std::unique_ptr<NowPlayingEngine> engine = makeEngine(host);
};

TEST_F(SetKey, SetsKeyStateAndStatusForEachKindOfText) {
    struct Case {
        std::string text;
        std::string key;
        std::string status;
    };
    const std::vector<Case> cases = {
        {kKey, kKey, "Checking your key\xE2\x80\xA6"},
        {"hello", "", "That doesn't look like an Orvalink key"},
        {"   ", "", "Paste your Orvalink key to start"},
        {"", "", "Paste your Orvalink key to start"},
    };
    for (const Case& c : cases) {
        engine->keyVerified = true;
        engine->accountName = "Ann";
        engine->setKey(c.text);
        EXPECT_EQ(engine->key, c.key);
        EXPECT_EQ(engine->status, c.status);
        EXPECT_TRUE(engine->keyPending);
        EXPECT_FALSE(engine->keyVerified);
        EXPECT_EQ(engine->accountName, "");
    }
}

TEST_F(SetKey, TheKeyAlreadyInUseChangesNothingEvenWithWhiteSpace) {
    engine->setKey(kKey);
    engine->keyPending = false;
    engine->keyVerified = true;
    engine->status = "Connected as Ann";
    engine->setKey("  " + kKey + "\n");
    EXPECT_FALSE(engine->keyPending);
    EXPECT_TRUE(engine->keyVerified);
    EXPECT_EQ(engine->status, "Connected as Ann");
}

}  // namespace
