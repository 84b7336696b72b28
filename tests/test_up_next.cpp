#include <gtest/gtest.h>

#include <algorithm>

#include "tests/scripted_host.h"

namespace {

std::vector<std::string> titles(const std::vector<Track>& list) {
    std::vector<std::string> out;
    for (const Track& t : list) {
        out.push_back(t.title);
    }
    return out;
}

class UpNext : public ::testing::Test {
protected:
    ScriptedHost host;
    std::vector<std::string> posted;
    std::unique_ptr<NowPlayingEngine> engine =
        makeEngine(host, [this](const std::string&, const std::string&, const std::string& body) {
            posted.push_back(body);
            return HttpResult{200, ""};
        });

    // One worker pass as far as the engine goes once the key is verified.
    void passAt(int64_t clock) {
        host.now = clock;
        engine->pollDecks();
        engine->sendPending();
    }
    void SetUp() override { engine->keyVerified = true; }
};

TEST_F(UpNext, SettlesTheReferenceAutomixSetRowByRow) {
    struct Row {
        int64_t clock;
        std::vector<std::string> read;
        std::vector<std::string> pending;
        int64_t pendingSince;
        std::vector<std::string> upNext;
        size_t posts;  // documents carrying upNext so far
    };
    const std::vector<Row> rows = {
        {100, {"X", "Y"}, {"X", "Y"}, 100, {}, 0},
        {104, {"X", "Y"}, {"X", "Y"}, 100, {}, 0},
        {110, {"X", "Y"}, {"X", "Y"}, 100, {"X", "Y"}, 1},
        {112, {"X", "Y"}, {"X", "Y"}, 100, {"X", "Y"}, 1},
        {410, {"X", "Y"}, {"X", "Y"}, 100, {"X", "Y"}, 2},
        {414, {"Y", "Z"}, {"Y", "Z"}, 414, {"X", "Y"}, 2},
        {424, {"Y", "Z"}, {"Y", "Z"}, 414, {"Y", "Z"}, 3},
        // The clock set back: the list read at 1000 settles 10 s after the
        // step, and the 300-s resend counts from the step too.
        {1000, {"V"}, {"V"}, 1000, {"Y", "Z"}, 3},
        {404, {"V"}, {"V"}, 404, {"Y", "Z"}, 3},
        {413, {"V"}, {"V"}, 404, {"Y", "Z"}, 3},
        {414, {"V"}, {"V"}, 404, {"V"}, 4},
        {200, {"V"}, {"V"}, 200, {"V"}, 4},
        {500, {"V"}, {"V"}, 200, {"V"}, 5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("clock " + std::to_string(row.clock));
        host.setAutomix(row.read);
        passAt(row.clock);
        EXPECT_EQ(titles(engine->upNextPending), row.pending);
        EXPECT_EQ(engine->upNextPendingSince, row.pendingSince);
        EXPECT_EQ(titles(engine->upNext), row.upNext);
        EXPECT_EQ(posted.size(), row.posts);
        EXPECT_FALSE(engine->upNextChanged);
    }
    EXPECT_EQ(engine->upNextSentAt, 500);
    EXPECT_EQ(posted[2],
              "{\"tracks\":[],\"upNext\":[{\"title\":\"Y\",\"artist\":\"Artist of Y\"},"
              "{\"title\":\"Z\",\"artist\":\"Artist of Z\"}]}");
}

TEST_F(UpNext, AutomixListEndsAtTheFirstEmptyTitle) {
    host.setAutomix({"A", "B", "C"});
    EXPECT_EQ(titles(engine->readAutomixList()), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(host.queries.back(), "get_automix_song 'artist' 4");

    host.texts["get_automix_song 'title' 3"] = " ";
    host.texts["get_automix_song 'title' 4"] = "D";
    EXPECT_EQ(titles(engine->readAutomixList()), (std::vector<std::string>{"A", "B"}));
}

TEST_F(UpNext, EmptyAutomixListFallsBackToTheOtherDeck) {
    host.numbers["automix"] = 1;
    host.setDeck(1, true, "A");
    host.setDeck(2, false, "B", "Band");
    passAt(100);
    EXPECT_EQ(titles(engine->upNextPending), std::vector<std::string>{"B"});
    EXPECT_EQ(engine->upNextPending[0].artist, "Band");
    passAt(159);
    EXPECT_TRUE(engine->upNext.empty());
    passAt(160);
    EXPECT_EQ(titles(engine->upNext), std::vector<std::string>{"B"});
}

TEST_F(UpNext, OtherDeckRuleExcludesRecentCandidateAndOnAirTracks) {
    struct Case {
        std::string name;
        std::function<void(NowPlayingEngine&)> prepare;
        std::string deck2Title;
    };
    const std::vector<Case> cases = {
        {"recent play", [](NowPlayingEngine& e) { e.recentPlays = {track("b")}; }, "B"},
        {"candidate", [](NowPlayingEngine& e) { e.candidate = track("B"); }, "B"},
        {"same as on air", [](NowPlayingEngine&) {}, "a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedHost h;
        auto e = makeEngine(h);
        c.prepare(*e);
        e->upNext = {track("Old")};
        e->upNextPending = {};
        h.setDeck(1, true, "A");
        h.setDeck(2, false, c.deck2Title);
        h.now = 100;
        e->pollDecks();
        EXPECT_TRUE(e->upNextPending.empty());
        EXPECT_EQ(e->upNextPendingSince, 0);  // the empty list was already pending
        h.now = 110;
        e->pollDecks();
        EXPECT_TRUE(e->upNext.empty());
        EXPECT_TRUE(e->upNextChanged);
    }
}

TEST_F(UpNext, OnlyTheFirstEligibleSilentDeckIsUpNext) {
    host.setDeck(1, true, "A");
    host.setDeck(2, false, "B");
    host.setDeck(3, false, "C");
    passAt(100);
    EXPECT_EQ(titles(engine->upNextPending), std::vector<std::string>{"B"});
}

TEST_F(UpNext, AlternatingListsNeverSettle) {
    for (int64_t clock = 100; clock < 200; clock += 2) {
        host.setAutomix({clock % 4 == 0 ? "X" : "Y"});
        passAt(clock);
        EXPECT_EQ(engine->upNextPendingSince, clock);
    }
    EXPECT_TRUE(engine->upNext.empty());
    EXPECT_TRUE(posted.empty());
}

TEST_F(UpNext, LetterCaseChangeIsTheSameList) {
    host.setAutomix({"Song"});
    passAt(100);
    passAt(110);
    ASSERT_EQ(posted.size(), 1u);
    host.setAutomix({"SONG"});
    passAt(112);
    passAt(130);
    EXPECT_EQ(posted.size(), 1u);
    EXPECT_EQ(engine->upNext[0].title, "Song");
}

TEST_F(UpNext, NeverDeliveredListIsFlaggedAgainAndEmptyListIsNotResent) {
    engine->keyVerified = false;  // nothing is delivered
    host.setAutomix({"X"});
    passAt(1000);
    passAt(1010);
    EXPECT_TRUE(engine->upNextChanged);
    engine->upNextChanged = false;
    passAt(1012);  // upNextSentAt is still 0: flagged again
    EXPECT_TRUE(engine->upNextChanged);

    engine->keyVerified = true;
    host.setAutomix({});
    passAt(1020);
    passAt(1030);
    EXPECT_TRUE(engine->upNext.empty());
    const size_t sent = posted.size();
    passAt(5000);
    EXPECT_EQ(posted.size(), sent);
}

}  // namespace
