#include <gtest/gtest.h>

#include "service/text_ops.h"

namespace {

struct EscapeCase {
    std::string input;
    std::string expected;
};

TEST(JsonEscape, WritesFiveShortEscapesAndSixCharacterFormForOtherControls) {
    const std::vector<EscapeCase> cases = {
        {"", ""},
        {"\"\\\t\r\n", "\\\"\\\\\\t\\r\\n"},
        {"d\xC3\xA9j\xC3\xA0", "d\xC3\xA9j\xC3\xA0"},
        {std::string("a\0b", 3), "a\\u0000b"},
        {"\x08\x0C\x1F", "\\u0008\\u000c\\u001f"},
        {"a/b\x7F", "a/b\x7F"},
        {"\xFF\x80", "\xFF\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(jsonEscape(c.input), c.expected) << c.input;
    }
}

TEST(FormatTimestamp, WritesUtcCalendarTime) {
    EXPECT_EQ(formatTimestamp(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(formatTimestamp(86399), "1970-01-01T23:59:59Z");
    EXPECT_EQ(formatTimestamp(951782400), "2000-02-29T00:00:00Z");
    EXPECT_EQ(formatTimestamp(1700000000), "2023-11-14T22:13:20Z");
    EXPECT_EQ(formatTimestamp(4102444799), "2099-12-31T23:59:59Z");
}

TEST(Trim, RemovesOnlyAsciiWhiteSpaceAtTheEnds) {
    EXPECT_EQ(trim(" \t\r\n\v\f"), "");
    EXPECT_EQ(trim("  two words  "), "two words");
    EXPECT_EQ(trim("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0");
    EXPECT_EQ(trim("x"), "x");
    EXPECT_EQ(trim(""), "");
}

TEST(SameTrack, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(sameTrack({"Song", "Band", 1}, {"SONG", "band", 2}));
    // Both ends of the alphabet fold.
    EXPECT_TRUE(sameTrack({"AZ", "Az"}, {"az", "aZ"}));
    EXPECT_FALSE(sameTrack({"\xC3\x89t\xC3\xA9", ""}, {"\xC3\xA9t\xC3\xA9", ""}));
    EXPECT_FALSE(sameTrack({"Song", "Band"}, {"Song", ""}));
    EXPECT_TRUE(sameTrack({"", ""}, {"", ""}));
    EXPECT_FALSE(sameTrack({"Song[", ""}, {"Song{", ""}));
}

TEST(SameTrackList, ComparesInOrder) {
    const std::vector<Track> ab = {{"A", ""}, {"B", ""}};
    const std::vector<Track> ba = {{"B", ""}, {"A", ""}};
    EXPECT_TRUE(sameTrackList({}, {}));
    EXPECT_TRUE(sameTrackList(ab, {{"a", ""}, {"b", ""}}));
    EXPECT_FALSE(sameTrackList(ab, ba));
    EXPECT_FALSE(sameTrackList(ab, {{"A", ""}}));
}

}  // namespace
