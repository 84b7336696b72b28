#include <gtest/gtest.h>

#include "tests/scripted_host.h"

namespace {

TEST(EngineState, StartsWithNoKeyAndSendingOn) {
    ScriptedHost host;
    auto engine = makeEngine(host);
    EXPECT_EQ(engine->statusText(), "Paste your Orvalink key to start");
    EXPECT_TRUE(engine->sendEnabled);
    EXPECT_TRUE(engine->key.empty());
    EXPECT_FALSE(engine->keyPending);
    EXPECT_FALSE(engine->keyVerified);
    EXPECT_EQ(engine->retryAt, 0);
    EXPECT_EQ(engine->onAirDeck, 0u);
}

TEST(EngineState, PausedHidesTheStatusWithoutChangingIt) {
    ScriptedHost host;
    auto engine = makeEngine(host);
    engine->status = "Connected as Ann";
    engine->setSendEnabled(false);
    EXPECT_EQ(engine->statusText(), "Paused");
    EXPECT_EQ(engine->status, "Connected as Ann");
    engine->setSendEnabled(true);
    EXPECT_EQ(engine->statusText(), "Connected as Ann");
}

TEST(EngineState, TickDoesNothingWithSendingOffOrNoKey) {
    ScriptedHost host;
    int requests = 0;
    auto engine = makeEngine(host, [&](const std::string&, const std::string&, const std::string&) {
        ++requests;
        return HttpResult{200, "{}"};
    });
    host.setDeck(1, true, "A");
    engine->tick();  // no key
    engine->key = "zvknp_" + std::string(32, 'a');
    engine->keyPending = true;
    engine->setSendEnabled(false);
    engine->tick();  // sending off
    EXPECT_TRUE(host.queries.empty());
    EXPECT_EQ(requests, 0);
}

}  // namespace
