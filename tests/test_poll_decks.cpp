#include <gtest/gtest.h>

#include <algorithm>

#include "tests/scripted_host.h"

namespace {

class PollDecks : public ::testing::Test {
protected:
    ScriptedHost host;
    std::unique_ptr<NowPlayingEngine> engine = makeEngine(host);

    void pollAt(int64_t clock) {
        host.now = clock;
        engine->pollDecks();
    }
};

TEST_F(PollDecks, CountsTheReferenceSetRowByRow) {
    struct Row {
        int64_t clock;
        std::function<void(ScriptedHost&)> decks;
        uint32_t onAir;
        std::string candidate;
        int64_t candidateSince;
        std::vector<std::string> played;  // titles in playQueue after the row
    };
    const std::vector<Row> rows = {
        {100, [](ScriptedHost& h) { h.setDeck(1, true, "A"); }, 1, "A", 100, {}},
        {102, [](ScriptedHost&) {}, 1, "A", 100, {}},
        {118, [](ScriptedHost& h) { h.setDeck(2, false, "B"); }, 1, "A", 100, {}},
        {120, [](ScriptedHost&) {}, 1, "", 100, {"A"}},
        {122, [](ScriptedHost& h) { h.setDeck(2, true, "B"); }, 1, "", 100, {"A"}},
        {124, [](ScriptedHost& h) { h.setDeck(1, false, "A"); }, 2, "B", 124, {"A"}},
        {144, [](ScriptedHost& h) { h.unloadDeck(1); }, 2, "", 124, {"A", "B"}},
        // The clock set back 596 s: C counts 20 s after the step, not 616 s.
        {1000, [](ScriptedHost& h) { h.setDeck(2, true, "C"); }, 2, "C", 1000, {"A", "B"}},
        {404, [](ScriptedHost&) {}, 2, "C", 404, {"A", "B"}},
        {423, [](ScriptedHost&) {}, 2, "C", 404, {"A", "B"}},
        {424, [](ScriptedHost&) {}, 2, "", 404, {"A", "B", "C"}},
    };
    for (const Row& row : rows) {
        row.decks(host);
        pollAt(row.clock);
        SCOPED_TRACE("clock " + std::to_string(row.clock));
        EXPECT_EQ(engine->onAirDeck, row.onAir);
        EXPECT_EQ(engine->candidate.title, row.candidate);
        EXPECT_EQ(engine->candidateSince, row.candidateSince);
        std::vector<std::string> played;
        for (const Track& t : engine->playQueue) {
            played.push_back(t.title);
        }
        EXPECT_EQ(played, row.played);
    }
    ASSERT_EQ(engine->playQueue.size(), 3u);
    EXPECT_EQ(engine->playQueue[0].playedAt, 100);
    EXPECT_EQ(engine->playQueue[1].playedAt, 124);
    EXPECT_EQ(engine->playQueue[2].playedAt, 404);
    EXPECT_EQ(engine->current.title, "C");
}

TEST_F(PollDecks, OnAirDeckStaysWhileAudibleElseLowestPlayingDeck) {
    host.setDeck(1, true, "A");
    host.setDeck(2, true, "B");
    pollAt(100);
    EXPECT_EQ(engine->onAirDeck, 1u);

    engine->onAirDeck = 2;
    pollAt(102);
    EXPECT_EQ(engine->onAirDeck, 2u);

    host.setDeck(2, false, "B");
    host.setDeck(1, false, "A");
    host.setDeck(3, true, "C");
    pollAt(104);
    EXPECT_EQ(engine->onAirDeck, 3u);
    EXPECT_EQ(engine->candidate.title, "C");
}

TEST_F(PollDecks, DeckWithBlankTitleIsNeverOnAir) {
    host.setDeck(1, true, "   \t");
    host.setDeck(2, true, "");
    pollAt(100);
    EXPECT_EQ(engine->onAirDeck, 0u);
    EXPECT_EQ(engine->candidate.title, "");
}

TEST_F(PollDecks, HalfwayValuesForLoadedAudibleAndSandbox) {
    host.setDeck(1, true, "A");
    host.numbers["deck 1 loaded"] = 0.5;      // counts as loaded
    host.numbers["deck 1 is_audible"] = 0.5;  // does not count as audible
    host.setDeck(2, true, "B");
    host.numbers["sandbox"] = 0.5;  // does not skip the poll
    pollAt(100);
    EXPECT_EQ(engine->onAirDeck, 2u);
    EXPECT_NE(std::find(host.queries.begin(), host.queries.end(), "deck 1 is_audible"),
              host.queries.end());
}

TEST_F(PollDecks, SandboxSkipsTheWholePollAndKeepsTheOnAirDeck) {
    host.setDeck(1, true, "A");
    pollAt(100);
    host.numbers["sandbox"] = 0.51;
    host.setDeck(1, true, "B");
    host.queries.clear();
    pollAt(130);
    EXPECT_EQ(host.queries, std::vector<std::string>{"sandbox"});
    EXPECT_EQ(engine->onAirDeck, 1u);
    EXPECT_EQ(engine->candidate.title, "A");
    EXPECT_TRUE(engine->playQueue.empty());
}

TEST_F(PollDecks, UnansweredLoadedQuerySkipsDecksOneAndTwoButEndsTheScanAtThree) {
    host.setDeck(2, true, "B");
    host.setDeck(4, true, "D");
    host.numbers.erase("deck 1 loaded");
    pollAt(100);
    EXPECT_EQ(engine->onAirDeck, 2u);
    EXPECT_EQ(std::count(host.queries.begin(), host.queries.end(), "deck 3 loaded"), 1);
    EXPECT_EQ(std::count(host.queries.begin(), host.queries.end(), "deck 4 loaded"), 0);
}

TEST_F(PollDecks, AsksExactCommandsInOrderAndAtMostTwentyEightQueries) {
    for (int deck = 1; deck <= 4; ++deck) {
        host.setDeck(deck, deck == 1, "T" + std::to_string(deck), "R");
    }
    host.setAutomix({"X", "Y", "Z", "V", "W"});
    pollAt(100);
    const std::vector<std::string> expected = {
        "sandbox",
        "deck 1 loaded",
        "deck 1 is_audible",
        "deck 1 get_loaded_song 'title'",
        "deck 1 get_loaded_song 'artist'",
        "deck 2 loaded",
        "deck 2 is_audible",
        "deck 2 get_loaded_song 'title'",
        "deck 2 get_loaded_song 'artist'",
        "deck 3 loaded",
        "deck 3 is_audible",
        "deck 3 get_loaded_song 'title'",
        "deck 3 get_loaded_song 'artist'",
        "deck 4 loaded",
        "deck 4 is_audible",
        "deck 4 get_loaded_song 'title'",
        "deck 4 get_loaded_song 'artist'",
        "automix",
        "get_automix_song 'title'",
        "get_automix_song 'artist'",
        "get_automix_song 'title' 2",
        "get_automix_song 'artist' 2",
        "get_automix_song 'title' 3",
        "get_automix_song 'artist' 3",
        "get_automix_song 'title' 4",
        "get_automix_song 'artist' 4",
        "get_automix_song 'title' 5",
        "get_automix_song 'artist' 5",
    };
    EXPECT_EQ(host.queries, expected);
    EXPECT_EQ(host.queries.size(), 1u + 16u + 11u);
}

TEST_F(PollDecks, CountsAtTwentySecondsNotNineteenWithFirstSightingAsPlayedAt) {
    host.setDeck(1, true, "A", "Artist");
    pollAt(1000);
    pollAt(1019);
    EXPECT_TRUE(engine->playQueue.empty());
    host.setDeck(1, true, "a", "ARTIST");  // only letter case changed: same track
    pollAt(1020);
    ASSERT_EQ(engine->playQueue.size(), 1u);
    EXPECT_EQ(engine->playQueue[0].playedAt, 1000);
    EXPECT_EQ(engine->playQueue[0].title, "a");  // the reading that counts is stored
    EXPECT_EQ(engine->current.artist, "ARTIST");
}

TEST_F(PollDecks, CurrentTrackReturningToAirCountsOnlyAfterAnotherTrackCounted) {
    host.setDeck(1, true, "A");
    pollAt(0);
    pollAt(20);
    host.setDeck(1, true, "B");
    pollAt(30);
    host.setDeck(1, true, "A");  // B never counted: A is still current
    pollAt(40);
    pollAt(400);
    EXPECT_EQ(engine->playQueue.size(), 1u);

    host.setDeck(1, true, "B");
    pollAt(500);
    pollAt(520);
    host.setDeck(1, true, "A");
    pollAt(600);
    pollAt(620);
    ASSERT_EQ(engine->playQueue.size(), 3u);
    EXPECT_EQ(engine->playQueue[2].title, "A");
    EXPECT_EQ(engine->playQueue[2].playedAt, 600);
}

TEST_F(PollDecks, CandidateSurvivesSilenceAndCountsWithItsFirstSighting) {
    host.setDeck(1, true, "A");
    pollAt(100);
    host.setDeck(1, false, "A");
    pollAt(160);
    EXPECT_EQ(engine->onAirDeck, 0u);
    host.setDeck(1, true, "A");
    pollAt(220);
    ASSERT_EQ(engine->playQueue.size(), 1u);
    EXPECT_EQ(engine->playQueue[0].playedAt, 100);
}

TEST_F(PollDecks, QueueKeepsNewestFiftyAndRecentPlaysNewestTen) {
    int64_t clock = 0;
    for (int i = 0; i < 51; ++i) {
        host.setDeck(1, true, "Track " + std::to_string(i));
        pollAt(clock);
        pollAt(clock + 20);
        clock += 30;
    }
    ASSERT_EQ(engine->playQueue.size(), 50u);
    EXPECT_EQ(engine->playQueue.front().title, "Track 1");
    EXPECT_EQ(engine->playQueue.back().title, "Track 50");
    ASSERT_EQ(engine->recentPlays.size(), 10u);
    EXPECT_EQ(engine->recentPlays.front().title, "Track 41");
}

}  // namespace
