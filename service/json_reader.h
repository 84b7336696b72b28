// Reads one string member out of a JSON text by searching for its quoted name:
// the account name in a verification reply and the key in the settings file.
// No parser, no tree: any bytes in, a text out, never a read out of bounds.
// Pure; any thread; no locks.
#pragma once

#include <string>

// The unescaped string value of the first "name" in `json`, or empty text.
std::string jsonStringField(const std::string& json, const std::string& name);
