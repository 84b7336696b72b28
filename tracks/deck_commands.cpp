#include "tracks/deck_commands.h"

std::string deckCommand(uint32_t deck, const char* verb) {
    std::string command = "deck ";
    command += std::to_string(deck);
    command += ' ';
    command += verb;
    return command;
}

std::string automixCommand(const char* field, uint32_t entry) {
    std::string command = "get_automix_song '";
    command += field;
    command += '\'';
    if (entry > 1) {
        command += ' ';
        command += std::to_string(entry);
    }
    return command;
}
