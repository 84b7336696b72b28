// Objects created and released at random moments, many lanes at once: never
// loaded, in the worker's initial wait, inside a pass (the host holding a
// query), inside an exchange the service holds, and through the disposal
// slot. Afterwards the process must have its threads, handles and memory back.
// Release is judged on its own part of the wait: while the host holds its
// query, or the service its reply, the plug-in can only wait for them, so
// that time is not counted against it.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <thread>

#include "checks.h"

namespace validator {

namespace {

enum class Moment { Unloaded, InitialWait, InsidePass, HeldExchange, Disposal };

struct MomentInfo {
    const char* name;
    const char* what;
    double boundMs;     // Release must return within this, past any hold of ours
    const char* calls;  // what the host may hear from the object meanwhile
};

const std::map<Moment, MomentInfo> kMoments = {
    {Moment::Unloaded, {"lifecycle.unloaded_release", "never loaded", 100, "no callback"}},
    {Moment::InitialWait,
     {"lifecycle.initial_wait_release", "in the initial wait", 200, "no query"}},
    {Moment::InsidePass,
     {"lifecycle.release_inside_pass", "inside a pass, the host holding a query", 1000, ""}},
    {Moment::HeldExchange,
     {"lifecycle.release_inside_held_exchange", "inside an exchange held 2 s", 1000, ""}},
    {Moment::Disposal, {"lifecycle.disposal_slot", "through the disposal slot", 200, "no query"}},
};

struct Tally {
    int cycles = 0;
    double maxMs = 0;
    double longestCallMs = 0;
    std::string fault;
};

using Clock = std::chrono::steady_clock;

// One cycle; a reason when it went wrong, else empty. `releaseMs` is set to
// the call's length and `ownMs` to the part of it after our own hold ended.
std::string cycle(Context& context, Moment moment, int number, std::mt19937_64& random,
                  double& releaseMs, double& ownMs) {
    const std::string key = keyFor("Cycle", number);
    // Shared with the script, which the worker may still run after a hang.
    auto entered = std::make_shared<std::atomic<bool>>(false);
    auto holdEnds = std::make_shared<std::atomic<Clock::rep>>(0);
    HostScript script = steadyDeck("Cycle title", "Cycle artist");
    if (moment == Moment::InsidePass) {
        const int holdMs = 100 + static_cast<int>(random() % 500);
        auto inner = script.number;
        script.number = [inner, holdMs, entered, holdEnds](const std::string& command,
                                                           double* value) {
            if (command == "deck 1 loaded" && !entered->exchange(true)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
                *holdEnds = Clock::now().time_since_epoch().count();
            }
            return inner(command, value);
        };
        context.service.setReply(key, "ok");
    } else if (moment == Moment::HeldExchange) {
        context.service.setReply(key, "slow-ok");
    }

    Instance instance = context.create();
    if (!instance) {
        return "the factory gave no object";
    }
    instance.host->setScript(script);
    if (moment != Moment::Unloaded) {
        instance.plugin.onLoad();
        instance.host->writeKeyText(key);
    }
    if (moment == Moment::InitialWait || moment == Moment::Disposal) {
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 2800));
    } else if (moment == Moment::InsidePass &&
               waitFor([&] { return entered->load(); }, 10000) < 0) {
        context.timedRelease(instance, false, 35000);
        return "no pass reached the host's deck query within 10 s";
    } else if (moment == Moment::HeldExchange) {
        if (waitFor([&] { return context.service.requestsWithKey(key) > 0; }, 10000) < 0) {
            context.timedRelease(instance, false, 35000);
            return "no exchange reached the service within 10 s";
        }
        // The service answers 2 s after the request came, which was at most
        // now.
        *holdEnds = (Clock::now() + std::chrono::seconds(2)).time_since_epoch().count();
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 1500));
    }
    const auto called = Clock::now();
    releaseMs = context.timedRelease(instance, moment == Moment::Disposal, 35000);
    const Clock::time_point holdEnd{Clock::duration(holdEnds->load())};
    ownMs = releaseMs -
            std::max(0.0, std::chrono::duration<double, std::milli>(holdEnd - called).count());
    const HostFindings found = instance.host->findings();
    if (releaseMs == -2) {
        return "the validator's thread to call Release did not start within 35 s";
    }
    if (releaseMs < 0) {
        return "Release had not returned after 35 s";
    }
    if (ownMs > kMoments.at(moment).boundMs) {
        return "Release took " + formatMs(releaseMs) + ", " + formatMs(ownMs) +
               " after our hold ended";
    }
    if (moment == Moment::Unloaded && (found.declares > 0 || found.queries > 0)) {
        return "an object never loaded called its host";
    }
    if ((moment == Moment::InitialWait || moment == Moment::Disposal) && found.queries > 0) {
        return "a query came during the initial wait";
    }
    return {};
}

void runLifecycleChecks(Context& context) {
    const int cycles = context.scaled(200, 2000);
    const int lanes = 16;

    // A first cycle of each loaded kind lets the platform set up what it keeps
    // for the process's life (the HTTP stack, thread pools).
    auto warmRandom = context.random("lifecycle.warm");
    double ignored = 0;
    cycle(context, Moment::HeldExchange, -1, warmRandom, ignored, ignored);
    cycle(context, Moment::InsidePass, -2, warmRandom, ignored, ignored);
    const Resources before = measureResources();

    std::mutex mutex;
    std::map<Moment, Tally> tallies;
    std::atomic<int> next{0};
    const auto runUpTo = [&](int last) {
        std::vector<std::thread> workers;
        for (int lane = 0; lane < lanes; ++lane) {
            workers.emplace_back([&] {
                for (int n; (n = next++) < last;) {
                    auto random = context.random("lifecycle." + std::to_string(n));
                    const auto moment = static_cast<Moment>(random() % kMoments.size());
                    double releaseMs = 0;
                    double ownMs = 0;
                    const std::string fault = cycle(context, moment, n, random, releaseMs, ownMs);
                    std::lock_guard lock(mutex);
                    Tally& tally = tallies[moment];
                    ++tally.cycles;
                    tally.maxMs = std::max(tally.maxMs, ownMs);
                    tally.longestCallMs = std::max(tally.longestCallMs, releaseMs);
                    if (!fault.empty() && tally.fault.empty()) {
                        tally.fault = "cycle " + std::to_string(n) + ": " + fault;
                    }
                }
            });
        }
        for (auto& worker : workers) {
            worker.join();
        }
        next = last;
    };
    runUpTo(cycles / 2);
    const Resources halfway = measureResources();
    runUpTo(cycles);
    for (const auto& [moment, info] : kMoments) {
        const Tally& tally = tallies[moment];
        context.report(info.name, tally.fault.empty() && tally.cycles > 0,
                       !tally.fault.empty()
                           ? tally.fault
                           : std::to_string(tally.cycles) + " cycles " + info.what +
                                 ", Release at most " + formatMs(tally.maxMs) +
                                 " past our hold (bound " + formatMs(info.boundMs) +
                                 "), the longest call " + formatMs(tally.longestCallMs));
    }

    std::string text;
    const bool back = resourcesBack(before, halfway, cycles - cycles / 2, text);
    context.report(
        "lifecycle.resources_back", back,
        std::to_string(cycles) + " cycles in " + std::to_string(lanes) + " lanes; " + text);
}

std::vector<Check> lifecycleChecks() {
    std::vector<Check> checks;
    for (const auto& [moment, info] : kMoments) {
        checks.push_back({info.name, 1, moment == Moment::Unloaded ? 0u : kNeedsService,
                          std::string("Release of an object ") + info.what + ": within " +
                              formatMs(info.boundMs) + " past any hold of ours" +
                              (*info.calls ? ", " : "") + info.calls});
    }
    checks.push_back({"lifecycle.resources_back", 1, kNeedsService,
                      "after the cycles, threads, handles and memory back"});
    checks.push_back(hostContract("lifecycle", 1, kNeedsService));
    return checks;
}

}  // namespace

const CheckGroup kLifecycleGroup = {CheckGroup::Alone, "lifecycle", runLifecycleChecks,
                                    lifecycleChecks()};

}  // namespace validator
