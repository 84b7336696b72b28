// The host side of one plug-in object for every host of ours: the answers
// the host scripts for the plug-in's queries, and a record of every
// callback: which thread made it, from inside which host call, and what it
// asked.
//
// Threads: the callbacks run on whatever thread the plug-in makes them from;
// the owner reads findings() and writes the variables from its own.
// `mutex_` guards the script and the record. A FakeHost outlives its plug-in
// object (callbacks after Release are recorded, never a crash).
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host_side.h"

namespace harness {

// How the host answers: result code, and the value or text it writes.
struct HostScript {
    std::function<int32_t(const std::string& command, double* value)> number;
    std::function<int32_t(const std::string& command, char* buffer, int32_t size)> text;
};

// A script query the plug-in is meant to make: the sandbox and automix
// flags; a deck's loaded and audible flags, title and artist; an automix
// entry's title and artist (the first without a number). Decks and entries
// are 1 to 99, written without a leading zero. Anything else is Unknown.
struct Query {
    enum Kind {
        Unknown,
        Sandbox,
        Automix,
        Loaded,
        Audible,
        Title,
        Artist,
        EntryTitle,
        EntryArtist
    };
    Kind kind = Unknown;
    int number = 0;  // the deck or the automix entry
    bool numeric() const { return kind >= Sandbox && kind <= Audible; }
};
Query parseQuery(const std::string& command);

struct HostFindings {
    int queries = 0;
    int queriesFromOtherThreads = 0;  // not the object's first querying thread
    int queriesInsideHostCalls = 0;   // from a thread inside a call into a plug-in
    int declares = 0;
    int declaresOutsideOnLoad = 0;
    int sendCommands = 0;
    int callbacksAfterRelease = 0;
    int unknownCommands = 0;
    int wrongTextSizes = 0;
    std::string firstUnknownCommand;
    uint64_t worker = 0;  // the system's number of the first querying thread
};

// The findings of many hosts added up; `worker` stays 0,
// `firstUnknownCommand` is the first of them.
HostFindings sumOf(const std::vector<HostFindings>& findings);

class FakeHost : public harness::HostSide {
public:
    void setScript(HostScript script);
    // Called by the check once Release (or disposal) has returned.
    void markReleased();
    HostFindings findings() const;

    // The declared variables (null until OnLoad declared them).
    char* keyText() const { return static_cast<char*>(variable(1)); }

    int32_t sendCommand(const char* command) override;
    int32_t getInfo(const char* command, double* value) override;
    int32_t getStringInfo(const char* command, char* buffer, int32_t size) override;
    void declared(int32_t id, int32_t kind, const char* name, const char* shortName,
                  float defaultValue) override;

private:
    // Notes one query; false when it must go unanswered (after Release).
    bool noteQuery(const char* command, bool numeric);

    mutable std::mutex mutex_;
    HostScript script_;
    HostFindings findings_;
    bool released_ = false;
    bool sawQuery_ = false;
};

}  // namespace harness
