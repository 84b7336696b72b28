#include <gtest/gtest.h>

#include <deque>

#include "service/text_ops.h"
#include "tests/scripted_host.h"

namespace {

const std::string kKeyA = "zvknp_" + std::string(32, 'a');
const std::string kKeyB = "zvknp_" + std::string(32, 'b');

struct Call {
    std::string method, key, body;
    bool operator==(const Call&) const = default;
};

// Records every exchange and answers from a script; an empty script answers
// 200 with the account name.
class Outcomes : public ::testing::Test {
protected:
    ScriptedHost host;
    std::vector<Call> calls;
    std::deque<HttpResult> replies;
    std::function<void()> duringRequest;
    std::unique_ptr<NowPlayingEngine> engine =
        makeEngine(host, [this](const std::string& m, const std::string& k, const std::string& b) {
            calls.push_back({m, k, b});
            if (duringRequest) {
                duringRequest();
            }
            if (replies.empty()) {
                return HttpResult{200, R"({"name":"Ann"})"};
            }
            HttpResult r = replies.front();
            replies.pop_front();
            return r;
        });

    void tickAt(int64_t clock) {
        host.now = clock;
        engine->tick();
    }
    // Verified with kKeyA at clock 0, deck 1 playing "Song" from then on.
    void connect() {
        engine->setKey(kKeyA);
        host.setDeck(1, true, "Song", "Band");
        tickAt(0);
        calls.clear();
    }
    // Ticks every 2 s over [from, to]; returns how many requests they made.
    size_t ticksBetween(int64_t from, int64_t to) {
        const size_t before = calls.size();
        for (int64_t t = from; t <= to; t += 2) {
            tickAt(t);
        }
        return calls.size() - before;
    }
};

TEST_F(Outcomes, WalksNoKeyVerifyingConnectedPausedRejected) {
    tickAt(0);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(engine->statusText(), "Paste your Orvalink key to start");

    engine->setKey(kKeyA);
    EXPECT_EQ(engine->statusText(), "Checking your key\xE2\x80\xA6");
    host.setDeck(1, true, "Song", "Band");
    tickAt(10);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], (Call{"GET", kKeyA, ""}));
    EXPECT_EQ(engine->statusText(), "Connected as Ann");
    EXPECT_EQ(engine->candidate.title, "Song");  // polled in the same pass

    engine->setSendEnabled(false);
    host.queries.clear();
    EXPECT_EQ(ticksBetween(12, 60), 0u);
    EXPECT_TRUE(host.queries.empty());
    EXPECT_EQ(engine->statusText(), "Paused");
    engine->setSendEnabled(true);
    EXPECT_EQ(engine->statusText(), "Connected as Ann");

    tickAt(62);  // the candidate from 10 counts, with its first sighting
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1], (Call{"POST", kKeyA,
                              R"({"tracks":[{"title":"Song","artist":"Band","playedAt":")" +
                                  formatTimestamp(10) + R"("}]})"}));
    EXPECT_EQ(engine->statusText(), "Connected as Ann \xC2\xB7 sent Song");

    engine->setKey(kKeyB);
    replies = {{401, "{}"}};
    tickAt(64);
    EXPECT_EQ(engine->statusText(), "That key didn't work. Make a new one on your dashboard");
    EXPECT_EQ(ticksBetween(66, 200), 0u);

    engine->setKey(kKeyA);
    tickAt(202);
    EXPECT_EQ(calls.back(), (Call{"GET", kKeyA, ""}));
    EXPECT_EQ(engine->statusText(), "Connected as Ann");
}

TEST_F(Outcomes, FailedVerificationRetriesAfterFifteenSecondsThenSendsInThatPass) {
    engine->setKey(kKeyA);
    host.setDeck(1, true, "Song");
    replies = {{0, ""}};
    tickAt(100);
    EXPECT_EQ(engine->statusText(), "Can't reach Orvalink. Retrying\xE2\x80\xA6");
    EXPECT_EQ(ticksBetween(102, 114), 0u);
    tickAt(115);
    EXPECT_EQ(engine->statusText(), "Connected as Ann");
    EXPECT_EQ(engine->candidate.title, "Song");
}

TEST_F(Outcomes, VerificationReplyWithoutNameStillConnects) {
    engine->setKey(kKeyA);
    replies = {{200, "not json"}};
    tickAt(0);
    EXPECT_EQ(engine->statusText(), "Connected as ");
    EXPECT_TRUE(engine->keyVerified);
}

TEST_F(Outcomes, VerificationReplyForAReplacedKeyIsDiscarded) {
    engine->setKey(kKeyA);
    duringRequest = [&] {
        duringRequest = nullptr;
        engine->setKey(kKeyB);
    };
    tickAt(0);
    EXPECT_FALSE(engine->keyVerified);
    EXPECT_TRUE(engine->keyPending);
    EXPECT_EQ(engine->key, kKeyB);
    EXPECT_EQ(engine->statusText(), "Checking your key\xE2\x80\xA6");
}

TEST_F(Outcomes, ServerErrorKeepsPlaysAndResendsThemFirstAfterFifteenSeconds) {
    connect();
    replies = {{500, ""}};
    tickAt(20);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(engine->statusText(), "Can't reach Orvalink. Will resend");
    EXPECT_EQ(engine->playQueue.size(), 1u);

    host.setDeck(1, true, "Next");
    tickAt(22);
    tickAt(34);
    EXPECT_EQ(calls.size(), 1u);
    tickAt(42);  // "Next" counts (first seen at 22) and both go out, oldest first
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_LT(calls[1].body.find("\"Song\""), calls[1].body.find("\"Next\""));
    EXPECT_TRUE(engine->playQueue.empty());
}

TEST_F(Outcomes, TooManyRequestsDropsTheQueueAndWaitsSixtySeconds) {
    connect();
    for (int i = 0; i < 3; ++i) {
        engine->playQueue.push_back(track("Queued " + std::to_string(i), "", 1));
    }
    engine->upNextChanged = true;
    engine->status = "Connected as Ann";
    replies = {{429, ""}};
    tickAt(100);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(engine->playQueue.empty());
    EXPECT_FALSE(engine->upNextChanged);
    EXPECT_EQ(engine->statusText(), "Connected as Ann");
    EXPECT_EQ(engine->retryAt, 160);
    host.setDeck(1, true, "Other");
    EXPECT_EQ(ticksBetween(102, 158), 0u);
    tickAt(160);
    EXPECT_EQ(calls.size(), 2u);
}

TEST_F(Outcomes, UnauthorisedSendKeepsTheQueueForTheNextVerifiedKey) {
    connect();
    replies = {{401, ""}};
    tickAt(20);
    EXPECT_EQ(engine->statusText(), "Your key stopped working. Paste a new one");
    EXPECT_EQ(engine->playQueue.size(), 1u);
    EXPECT_EQ(ticksBetween(22, 100), 0u);

    engine->setKey(kKeyB);
    calls.clear();
    tickAt(102);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], (Call{"GET", kKeyB, ""}));
    EXPECT_EQ(calls[1].method, "POST");
    EXPECT_EQ(calls[1].key, kKeyB);
    EXPECT_NE(calls[1].body.find("\"Song\""), std::string::npos);
    EXPECT_TRUE(engine->playQueue.empty());
}

TEST_F(Outcomes, KeyAdoptedDuringBackOffIsVerifiedOnlyAfterIt) {
    connect();
    replies = {{429, ""}};
    tickAt(20);
    engine->setKey(kKeyB);
    EXPECT_EQ(ticksBetween(22, 78), 0u);
    tickAt(80);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1], (Call{"GET", kKeyB, ""}));
}

TEST_F(Outcomes, SuccessfulUpNextOnlySendKeepsThePreviousStatus) {
    connect();
    host.setDeck(1, false, "Song");
    engine->upNext = {track("X")};
    engine->upNextChanged = true;
    engine->status = "Can't reach Orvalink. Will resend";
    host.unloadDeck(1);
    tickAt(2);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].body, R"({"tracks":[],"upNext":[{"title":"X"}]})");
    EXPECT_EQ(engine->statusText(), "Can't reach Orvalink. Will resend");
    EXPECT_FALSE(engine->upNextChanged);
    EXPECT_EQ(engine->upNextSentAt, 2);

    // Nor while the play that counted was dropped by a 429.
    host.setDeck(1, true, "Song", "Band");
    replies = {{429, ""}};
    tickAt(20);
    engine->upNextChanged = true;
    tickAt(80);
    EXPECT_EQ(calls.size(), 3u);
    EXPECT_EQ(engine->statusText(), "Can't reach Orvalink. Will resend");
}

// The calendar clock set back after a failure: the back-off is over at the
// next pass, for sending and verifying alike.
TEST_F(Outcomes, ClockSetBackEndsTheBackOffAtTheNextPass) {
    connect();
    replies = {{500, ""}};
    tickAt(1000);  // "Song" counts; its send fails
    tickAt(404);
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_TRUE(engine->playQueue.empty());

    engine->setKey(kKeyB);
    replies = {{0, ""}};
    tickAt(1000);
    tickAt(404);
    EXPECT_EQ(calls.back(), (Call{"GET", kKeyB, ""}));
    EXPECT_EQ(engine->statusText(), "Connected as Ann");
}

}  // namespace
