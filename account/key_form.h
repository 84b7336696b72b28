// What a key looks like: "zvknp_" followed by 32 ASCII letters, digits, '_' or '-'.
// Pure; any thread; no locks.
#pragma once

#include <cstddef>
#include <string>

inline constexpr char kKeyPrefix[] = "zvknp_";
inline constexpr size_t kKeyLength = 38;

// The first well-formed key in `text`, or empty text. Only the first
// occurrence of the prefix is examined.
std::string extractKey(const std::string& text);
