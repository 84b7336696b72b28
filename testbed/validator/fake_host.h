// The validator's host side for one plug-in object: the callback object the
// plug-in reaches through its second host field (table pointer first, then
// our state), the answers a check scripts for the plug-in's queries, the
// parameter variables the plug-in declares, and a record of every callback:
// which thread made it, from inside which host call, and what it asked.
//
// Threads: the callbacks run on whatever thread the plug-in makes them from;
// the owning check reads findings() and writes the variables from its own.
// `mutex_` guards the script and the record. A FakeHost outlives its plug-in
// object (callbacks after Release are recorded, never a crash).
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace validator {

// How the host answers: result code, and the value or text it writes.
struct HostScript {
    std::function<int32_t(const std::string& command, double* value)> number;
    std::function<int32_t(const std::string& command, char* buffer, int32_t size)> text;
};

// Deck 1 plays `title` by `artist`, audible; no other deck, no automix.
HostScript steadyDeck(const std::string& title, const std::string& artist);

// Copies `text` into the host buffer as a host would: NUL-terminated, cut to fit.
int32_t answerText(const std::string& text, char* buffer, int32_t size);

// Whether `command` is one of the queries the plug-in is meant to make.
bool knownCommand(const std::string& command, bool numeric);

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
    uint64_t worker = 0;                // the system's number of the first querying thread
    std::vector<std::string> commands;  // kept only when recordCommands is set
};

class FakeHost {
    void* const* table_;  // first: the plug-in calls through it by position

public:
    FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    // What goes into the object's second host field: the object begins with
    // its table pointer, which is where our callbacks find `this` again.
    void* callbackObject() { return &table_; }

    void setScript(HostScript script);
    void recordCommands() { keepCommands_ = true; }
    // Called by the check once Release (or disposal) has returned.
    void markReleased();
    HostFindings findings() const;

    // The declared variables (null until OnLoad declared them).
    char* keyText() const { return keyText_; }
    int32_t* pasteButton() const { return pasteButton_; }
    int32_t* sendSwitch() const { return sendSwitch_; }
    int declaredKinds[4] = {-1, -1, -1, -1};  // by id 1 to 3

    // The host's own writes of the variables, one atomic value at a time.
    void writeKeyText(const std::string& text);
    void writeSwitch(int32_t value);
    void writePaste(int32_t value);

    static int32_t sendCommand(FakeHost* self, const char* command);
    static int32_t getInfo(FakeHost* self, const char* command, double* value);
    static int32_t getStringInfo(FakeHost* self, const char* command, char* buffer, int32_t size);
    static int32_t declareParameter(FakeHost* self, void* variable, int32_t kind, int32_t id,
                                    const char* name, const char* shortName, float defaultValue);

private:
    // Notes one query; false when it must go unanswered (after Release).
    bool noteQuery(const char* command, bool numeric);

    mutable std::mutex mutex_;
    HostScript script_;
    HostFindings findings_;
    bool keepCommands_ = false;
    bool released_ = false;
    bool sawQuery_ = false;
    char* keyText_ = nullptr;
    int32_t* pasteButton_ = nullptr;
    int32_t* sendSwitch_ = nullptr;
};

}  // namespace validator
