// The host script commands that deck polling and the up-next list send, built
// byte for byte. Pure; any thread.
#pragma once

#include <cstdint>
#include <string>

inline constexpr char kSandboxCommand[] = "sandbox";
inline constexpr char kAutomixCommand[] = "automix";

// "deck N <verb>", for example "deck 1 get_loaded_song 'title'".
std::string deckCommand(uint32_t deck, const char* verb);

// "get_automix_song '<field>'" for entry 1, with " N" appended for entries 2 to 5.
std::string automixCommand(const char* field, uint32_t entry);
