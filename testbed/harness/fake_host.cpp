#include "fake_host.h"

#include <atomic>

#include "plugin_object.h"
#include "thread_number.h"

namespace harness {

namespace {

// N, 1 to 99 without a leading zero, when that is the whole of `text`; else 0.
int smallNumber(const std::string& text) {
    const bool plain = !text.empty() && text.size() <= 2 && text[0] != '0' &&
                       text.find_first_not_of("0123456789") == std::string::npos;
    return plain ? std::stoi(text) : 0;
}

}  // namespace

Query parseQuery(const std::string& command) {
    if (command == "sandbox" || command == "automix") {
        return {command == "sandbox" ? Query::Sandbox : Query::Automix};
    }
    const size_t space = command.find(' ', 5);
    if (command.compare(0, 5, "deck ") == 0 && space != std::string::npos) {
        const int deck = smallNumber(command.substr(5, space - 5));
        const std::pair<const char*, Query::Kind> verbs[] = {
            {"loaded", Query::Loaded},
            {"is_audible", Query::Audible},
            {"get_loaded_song 'title'", Query::Title},
            {"get_loaded_song 'artist'", Query::Artist}};
        for (const auto& [verb, kind] : verbs) {
            if (deck > 0 && command.compare(space + 1, std::string::npos, verb) == 0) {
                return {kind, deck};
            }
        }
        return {};
    }
    for (const auto& [field, kind] : {std::pair{"get_automix_song 'title'", Query::EntryTitle},
                                      std::pair{"get_automix_song 'artist'", Query::EntryArtist}}) {
        if (command == field) {
            return {kind, 1};
        }
        const std::string prefix = std::string(field) + " ";
        const int entry = command.compare(0, prefix.size(), prefix) == 0
                              ? smallNumber(command.substr(prefix.size()))
                              : 0;
        if (entry >= 2) {
            return {kind, entry};
        }
    }
    return {};
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
    const Query query = parseQuery(text);
    if (query.kind == Query::Unknown || query.numeric() != numeric) {
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
