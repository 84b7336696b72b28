// Conversion of a time in seconds since 1970 to a broken-down UTC calendar time.
// One file per platform implements it with that platform's thread-safe call.
// Any thread; no state.
#pragma once

#include <cstdint>
#include <ctime>

// Fills `out` (which the caller zeroes) with the UTC calendar time; false when
// the platform cannot represent the time.
bool toUtcCalendar(int64_t seconds, std::tm& out);
