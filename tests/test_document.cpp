#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>

#include "service/document.h"
#include "service/text_ops.h"

namespace {

TEST(NowPlayingDocument, MatchesTheReferenceDocumentByteForByte) {
    const std::vector<Track> queue = {{"Song One", "Band", 1700000000},
                                      {"Two \"Live\"", "", 1700000300}};
    const std::vector<Track> upNext = {{"Three", "Band", 0}};
    EXPECT_EQ(nowPlayingDocument(queue, &upNext),
              "{\"tracks\":[{\"title\":\"Song One\",\"artist\":\"Band\",\"playedAt\":\"2023-11-"
              "14T22:13:20Z\"},{\"title\":\"Two \\\"Live\\\"\",\"playedAt\":\"2023-11-14T22:18:"
              "20Z\"}],\"upNext\":[{\"title\":\"Three\",\"artist\":\"Band\"}]}");
}

TEST(NowPlayingDocument, EmptyListsAndOptionalMembers) {
    const std::vector<Track> none;
    const std::vector<Track> oneUntitledArtistless = {{"", "", 0}};
    const std::vector<Track> timedUpNext = {{"X", "", 1700000000}};
    EXPECT_EQ(nowPlayingDocument(none, nullptr), "{\"tracks\":[]}");
    EXPECT_EQ(tracksDocument(none), "{\"tracks\":[]}");
    EXPECT_EQ(nowPlayingDocument(none, &none), "{\"tracks\":[],\"upNext\":[]}");
    EXPECT_EQ(nowPlayingDocument(oneUntitledArtistless, nullptr),
              "{\"tracks\":[{\"title\":\"\",\"playedAt\":\"1970-01-01T00:00:00Z\"}]}");
    EXPECT_EQ(nowPlayingDocument(none, &timedUpNext),
              "{\"tracks\":[],\"upNext\":[{\"title\":\"X\"}]}");
}

// Random UTF-8 text: printable ASCII, quotes, backslashes, every control byte
// and two-, three- and four-byte characters.
std::string randomText(std::mt19937& rng) {
    static const std::vector<std::string> pieces = {
        "a", "Z", " ", "\"", "\\", "/", "\x7F", "\xC3\xA9", "\xE2\x80\xA6", "\xF0\x9F\x8E\xB5"};
    std::uniform_int_distribution<int> length(0, 24);
    std::uniform_int_distribution<int> kind(0, 2);
    std::uniform_int_distribution<int> control(0, 0x1F);
    std::uniform_int_distribution<size_t> piece(0, pieces.size() - 1);
    std::string text;
    for (int i = length(rng); i > 0; --i) {
        if (kind(rng) == 0) {
            text += static_cast<char>(control(rng));
        } else {
            text += pieces[piece(rng)];
        }
    }
    return text;
}

TEST(NowPlayingDocument, RandomTextsGiveStrictJsonThatRoundTrips) {
    std::mt19937 rng(20261208);
    for (int round = 0; round < 500; ++round) {
        std::vector<Track> queue(rng() % 4);
        for (Track& t : queue) {
            t = {randomText(rng), randomText(rng), static_cast<int64_t>(rng() % 4000000000u)};
        }
        std::vector<Track> upNext(rng() % 3);
        for (Track& t : upNext) {
            t = {randomText(rng), randomText(rng), 0};
        }
        const std::string text = nowPlayingDocument(queue, &upNext);
        ASSERT_EQ(text.find_first_of("\n\r\t"), std::string::npos);
        const nlohmann::json doc = nlohmann::json::parse(text);  // throws on invalid JSON
        ASSERT_EQ(doc["tracks"].size(), queue.size());
        for (size_t i = 0; i < queue.size(); ++i) {
            EXPECT_EQ(doc["tracks"][i]["title"], queue[i].title);
            EXPECT_EQ(doc["tracks"][i].value("artist", ""), queue[i].artist);
            EXPECT_EQ(doc["tracks"][i].contains("artist"), !queue[i].artist.empty());
            EXPECT_EQ(doc["tracks"][i]["playedAt"], formatTimestamp(queue[i].playedAt));
        }
        ASSERT_EQ(doc["upNext"].size(), upNext.size());
        for (size_t i = 0; i < upNext.size(); ++i) {
            EXPECT_EQ(doc["upNext"][i]["title"], upNext[i].title);
            EXPECT_EQ(doc["upNext"][i].value("artist", ""), upNext[i].artist);
            EXPECT_FALSE(doc["upNext"][i].contains("playedAt"));
        }
    }
}

}  // namespace
