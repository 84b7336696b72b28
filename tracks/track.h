// The track record shared by detection, the up-next list and the document writer,
// and the per-poll snapshot of one loaded deck.
// Plain values: no locks of their own; the engine guards the copies it keeps.
#pragma once

#include <cstdint>
#include <string>

struct Track {
    std::string title;     // UTF-8, trimmed of white space
    std::string artist;    // UTF-8, trimmed of white space, may be empty
    int64_t playedAt = 0;  // seconds since 1970 UTC; 0 until the track counts as played
};

// One loaded deck as seen by a single poll; discarded when the poll ends.
struct DeckState {
    uint32_t deck = 0;  // 1 to 4
    bool audible = false;
    Track track;
};
