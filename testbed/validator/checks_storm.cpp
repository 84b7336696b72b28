// A parameter storm: four host threads call OnParameter and
// OnGetParameterString with random ids and sizes into guarded buffers while
// another writes the three variables directly, as the host does, and changes
// the clipboard. Nothing may be written past the size given, the answers must
// be what the parameters give, and once the storm ends with a good key in
// place (pasted again after a paste that found none) the status line must
// settle within two passes.
#include <atomic>
#include <chrono>
#include <thread>

#include "checks.h"
#include "expected_texts.h"
#include "host_clipboard.h"
#include "record_faults.h"

namespace validator {

namespace {

// Every sentence ids 1 and 2 may show; "Connected as " lines go on freely.
const char* const kStatusTexts[] = {
    expected::kPasteKey,    expected::kCheckingKey, expected::kNotAKey,
    expected::kKeyRejected, expected::kRetrying,    expected::kKeyWithdrawn,
    expected::kWillResend,  expected::kPaused,      expected::kCopyKeyFirst,
};

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Whether `shown` is a status text cut to fit (at most `room` bytes).
bool plausibleStatus(const std::string& shown, size_t room) {
    if (startsWith(shown, expected::kConnectedAs) || startsWith(expected::kConnectedAs, shown)) {
        return true;
    }
    for (const char* text : kStatusTexts) {
        const std::string full = text;
        if (shown == full ||
            (shown.size() <= room && startsWith(full, shown) && full.size() > room)) {
            return true;
        }
    }
    return false;
}

// One call into a guarded buffer; a reason when it went wrong, else empty.
std::string guardedCall(Instance& instance, int32_t id, int32_t size) {
    const ParameterText answer = guardedParameterString(instance.plugin, id, size);
    if (!answer.fault.empty() || id < 1 || id > 3 || size <= 0) {
        return answer.fault;
    }
    const std::string& shown = answer.shown;
    const size_t room = static_cast<size_t>(size) - 1;
    const bool expected = id == 3
                              ? (shown == expected::kSwitchOn || shown == expected::kSwitchOff ||
                                 (room <= 2 && (startsWith(expected::kSwitchOn, shown) ||
                                                startsWith(expected::kSwitchOff, shown))))
                              : plausibleStatus(shown, room);
    return expected ? "" : "id " + std::to_string(id) + ": unexpected text \"" + shown + "\"";
}

// Four threads call with every id and size while a fifth writes the host's
// variables and the clipboard as a frantic DJ would.
void storm(Context& context, Instance& instance, const std::string& key) {
    const int seconds = context.scaled(10, 60);
    std::atomic<bool> storming{true};
    std::atomic<long> calls{0};
    std::mutex faultMutex;
    std::string fault;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            auto random = context.random("storm." + std::to_string(t));
            const int32_t ids[] = {-7, -1, 0, 1, 2, 3, 4, 99, INT32_MIN, INT32_MAX};
            while (storming) {
                const int32_t id = ids[random() % 10];
                instance.plugin.onParameter(id);
                const auto size = static_cast<int32_t>(random() % 1030) - 5;
                const std::string wrong = guardedCall(instance, id, size);
                calls += 2;
                if (!wrong.empty()) {
                    std::lock_guard lock(faultMutex);
                    if (fault.empty()) {
                        fault = wrong;
                    }
                }
            }
        });
    }
    threads.emplace_back([&] {
        auto random = context.random("storm.writer");
        const std::string texts[] = {
            "", "not a key", key, key + " and more", "zvknp_short", std::string(70, 'k')};
        while (storming) {
            instance.host->writeKeyText(texts[random() % 6]);
            instance.host->writeInt(3, static_cast<int32_t>(random() % 5) - 2);
            instance.host->writeInt(2, static_cast<int32_t>(random() % 2));
            putTextOnClipboard(random() % 2 == 0 ? key : "no key here");
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    storming = false;
    for (auto& thread : threads) {
        thread.join();
    }
    context.reportFault("storm.guarded_buffers", fault,
                        std::to_string(calls.load()) + " calls from 4 threads in " +
                            std::to_string(seconds) +
                            " s, ids declared, undeclared and negative, sizes -5 to 1024: "
                            "nothing written past the size, every answer as specified");
}

// The DJ ends it: the key typed in, a paste that finds no key (its message
// shows at once), then a paste of the very key in place.
void settles(Context& context, Instance& instance, const std::string& key) {
    instance.host->setSwitch(instance.plugin, 1);
    instance.host->writeKeyText(key);
    instance.host->paste(instance.plugin, "no key here");
    const std::string noKeyShown = statusOf(instance);
    instance.host->paste(instance.plugin, key);
    if (noKeyShown != expected::kCopyKeyFirst) {
        context.report("storm.settles", false,
                       "a paste that found no key showed \"" + noKeyShown + "\"");
        return;
    }
    const std::string wanted = expected::kConnectedAs + std::string("Storm DJ");
    const double settledMs =
        waitFor([&] { return statusOf(instance).compare(0, wanted.size(), wanted) == 0; }, 15000);
    const std::string last = statusOf(instance);
    if (settledMs < 0) {
        context.report("storm.settles", false,
                       "status still \"" + last + "\" 15 s after the storm");
        return;
    }
    // Two passes: two waits of 2 s, each pass with one exchange of the loopback service.
    context.report("storm.settles", settledMs <= 6000,
                   "status \"" + last + "\" " + formatMs(settledMs) +
                       " after the storm (bound 6 s: two passes)");
}

void runStormChecks(Context& context) {
    const std::string key = keyFor("Storm", 0);
    context.service.addAccount(key, "Storm DJ");
    Instance instance = loadWithKey(context, key, steadyDeck("Storm title", "Validator"));
    if (!instance || instance.host->keyText() == nullptr) {
        context.report("storm.guarded_buffers", false, "the object declared no key parameter");
        return;
    }
    storm(context, instance, key);
    settles(context, instance, key);
    context.timedRelease(instance, false, 35000);
}

}  // namespace

const CheckGroup kStormGroup = {
    CheckGroup::Foreground,
    "storm",
    runStormChecks,
    {{"storm.guarded_buffers", 2, kNeedsService,
      "4 threads call with every id and size: nothing written past the size, every answer as "
      "specified"},
     {"storm.settles", 2, kNeedsService,
      "after the storm the DJ's key and pastes settle to Connected within two passes"},
     hostContract("storm", 2, kNeedsService)}};

}  // namespace validator
