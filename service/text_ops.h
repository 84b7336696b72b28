// Text operations shared by detection, key entry and the document writer:
// JSON string escaping, UTC timestamps, white-space trimming and ASCII-case
// track comparison. Pure functions: any thread, no state, no locks, no failures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tracks/track.h"

// The text escaped for the inside of a JSON string literal (no surrounding quotes).
std::string jsonEscape(const std::string& text);

// "YYYY-MM-DDTHH:MM:SSZ" for a time in whole seconds since 1970 UTC.
std::string formatTimestamp(int64_t seconds);

// True for the six ASCII white-space bytes: space, tab, LF, VT, FF, CR.
bool isAsciiSpace(unsigned char byte);

// A copy without leading and trailing ASCII white space.
std::string trim(const std::string& text);

// The length of `bytes` without a trailing UTF-8 sequence that a cut left
// incomplete; text that ends on a whole character keeps its length.
size_t completeUtf8Length(const char* bytes, size_t length);

// The text as valid UTF-8: each ill-formed sequence becomes U+FFFD (one for
// every maximal invalid part, as decoders commonly do), and a character left
// incomplete at the very end, which a cut made, is dropped. Valid UTF-8
// comes back byte for byte.
std::string validUtf8(const char* bytes, size_t length);

// Titles and artists equal after folding A-Z to a-z; playedAt is ignored.
bool sameTrack(const Track& a, const Track& b);

// Same length and sameTrack at every position, in order.
bool sameTrackList(const std::vector<Track>& a, const std::vector<Track>& b);
