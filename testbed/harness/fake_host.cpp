#include "fake_host.h"

#include <atomic>
#include <cstring>

#include "plugin_object.h"
#include "thread_number.h"

namespace harness {

namespace {

// "N" for N in 1 to 99 at `at`, moving `at` past it.
bool smallNumber(const std::string& text, size_t& at) {
    size_t digits = 0;
    while (at + digits < text.size() && text[at + digits] >= '0' && text[at + digits] <= '9') {
        ++digits;
    }
    const bool ok = digits >= 1 && digits <= 2 && text[at] != '0';
    at += digits;
    return ok;
}

bool deckQuery(const std::string& command, const std::vector<std::string>& verbs) {
    size_t at = 5;
    if (command.compare(0, 5, "deck ") != 0 || !smallNumber(command, at) || at >= command.size() ||
        command[at] != ' ') {
        return false;
    }
    const std::string verb = command.substr(at + 1);
    for (const std::string& known : verbs) {
        if (verb == known) {
            return true;
        }
    }
    return false;
}

bool automixQuery(const std::string& command) {
    for (const char* field : {"get_automix_song 'title'", "get_automix_song 'artist'"}) {
        const size_t length = std::strlen(field);
        if (command.compare(0, length, field) != 0) {
            continue;
        }
        if (command.size() == length) {
            return true;
        }
        size_t at = length + 1;
        return command[length] == ' ' && smallNumber(command, at) && at == command.size() &&
               command.substr(length + 1) != "1";
    }
    return false;
}

}  // namespace

bool knownCommand(const std::string& command, bool numeric) {
    if (numeric) {
        return command == "sandbox" || command == "automix" ||
               deckQuery(command, {"loaded", "is_audible"});
    }
    return deckQuery(command, {"get_loaded_song 'title'", "get_loaded_song 'artist'"}) ||
           automixQuery(command);
}

HostFindings sumOf(const std::vector<HostFindings>& findings) {
    HostFindings total;
    for (const HostFindings& found : findings) {
        total.queries += found.queries;
        total.queriesFromOtherThreads += found.queriesFromOtherThreads;
        total.queriesInsideHostCalls += found.queriesInsideHostCalls;
        total.declares += found.declares;
        total.declaresOutsideOnLoad += found.declaresOutsideOnLoad;
        total.sendCommands += found.sendCommands;
        total.callbacksAfterRelease += found.callbacksAfterRelease;
        total.unknownCommands += found.unknownCommands;
        total.wrongTextSizes += found.wrongTextSizes;
        if (total.firstUnknownCommand.empty()) {
            total.firstUnknownCommand = found.firstUnknownCommand;
        }
    }
    return total;
}

void FakeHost::setScript(HostScript script) {
    std::lock_guard lock(mutex_);
    script_ = std::move(script);
}

void FakeHost::markReleased() {
    std::lock_guard lock(mutex_);
    released_ = true;
    // Queries after Release go unanswered, and the host is kept to the end of
    // the run: only its record need stay.
    script_ = HostScript{};
}

HostFindings FakeHost::findings() const {
    std::lock_guard lock(mutex_);
    return findings_;
}

bool FakeHost::noteQuery(const char* command, bool numeric) {
    std::lock_guard lock(mutex_);
    if (released_) {
        ++findings_.callbacksAfterRelease;
        return false;
    }
    ++findings_.queries;
    const uint64_t self = harness::currentThreadNumber();
    if (!sawQuery_) {
        sawQuery_ = true;
        findings_.worker = self;
    } else if (self != findings_.worker) {
        ++findings_.queriesFromOtherThreads;
    }
    if (harness::currentSlot() != -1) {
        ++findings_.queriesInsideHostCalls;
    }
    const std::string text = command == nullptr ? "(null)" : command;
    if (!knownCommand(text, numeric)) {
        if (findings_.unknownCommands++ == 0) {
            findings_.firstUnknownCommand = text;
        }
    }
    return true;
}

int32_t FakeHost::sendCommand(const char*) {
    std::lock_guard lock(mutex_);
    ++findings_.sendCommands;
    if (released_) {
        ++findings_.callbacksAfterRelease;
    }
    return 1;
}

int32_t FakeHost::getInfo(const char* command, double* value) {
    if (!noteQuery(command, true)) {
        return 1;
    }
    std::function<int32_t(const std::string&, double*)> answer;
    {
        std::lock_guard lock(mutex_);
        answer = script_.number;
    }
    return answer ? answer(command, value) : 1;
}

int32_t FakeHost::getStringInfo(const char* command, char* buffer, int32_t size) {
    if (!noteQuery(command, false)) {
        return 1;
    }
    std::function<int32_t(const std::string&, char*, int32_t)> answer;
    {
        std::lock_guard lock(mutex_);
        if (size != 512) {
            ++findings_.wrongTextSizes;
        }
        answer = script_.text;
    }
    return answer ? answer(command, buffer, size) : 1;
}

void FakeHost::declared(int32_t, int32_t, const char*, const char*, float) {
    std::lock_guard lock(mutex_);
    ++findings_.declares;
    if (released_) {
        ++findings_.callbacksAfterRelease;
    }
    if (harness::currentSlot() != harness::kOnLoad) {
        ++findings_.declaresOutsideOnLoad;
    }
}

}  // namespace harness
