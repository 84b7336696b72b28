#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <thread>

#include "checks.h"
#include "record_faults.h"

namespace validator {

Context::Context(const Options& options, RunState& run, Factory factory, Factory untrustedFactory)
    : options(options),
      service(options.service),
      factory(factory),
      untrustedFactory(untrustedFactory),
      run_(run) {}

Context Context::forGroup(const std::string& name) const {
    Context context(*this);
    context.group_ = name;
    return context;
}

bool Context::wants(const std::string& name) const {
    const std::string& only = options.only;
    return only.empty() || name.compare(0, only.size(), only) == 0 ||
           only.compare(0, name.size(), name) == 0;
}

void Context::report(const std::string& name, bool passed, const std::string& text) {
    if (!options.only.empty() && name.compare(0, options.only.size(), options.only) != 0) {
        return;
    }
    std::lock_guard lock(run_.mutex);
    run_.reported.insert(name);
    ++(passed ? run_.passed : run_.failed);
    std::printf("%s %s: %s\n", passed ? "PASS" : "FAIL", name.c_str(), text.c_str());
    std::fflush(stdout);
}

void Context::reportFault(const std::string& name, const std::string& fault,
                          const std::string& passed) {
    report(name, fault.empty(), fault.empty() ? passed : fault);
}

bool Context::reported(const std::string& name) const {
    std::lock_guard lock(run_.mutex);
    return run_.reported.count(name) != 0;
}

std::mt19937_64 Context::random(const std::string& group) const {
    return std::mt19937_64(options.seed ^ std::hash<std::string>()(group));
}

int Context::scaled(int atFive, int atTen) const {
    const int level = options.level;
    return level <= 5 ? atFive * level / 5 : atFive + (atTen - atFive) * (level - 5) / 5;
}

Instance Context::create(bool untrusted) {
    Instance instance;
    {
        std::lock_guard lock(run_.mutex);
        run_.hosts.emplace_back(group_, std::make_unique<FakeHost>());
        instance.host = run_.hosts.back().second.get();
    }
    instance.plugin = PluginObject::create(untrusted ? untrustedFactory : factory,
                                           instance.host->callbackObject());
    return instance;
}

std::vector<HostFindings> Context::findings(bool ownGroupOnly) const {
    std::lock_guard lock(run_.mutex);
    std::vector<HostFindings> found;
    for (const auto& [group, host] : run_.hosts) {
        if (!ownGroupOnly || group == group_) {
            found.push_back(host->findings());
        }
    }
    return found;
}

Check hostContract(const std::string& group, int level, unsigned needs) {
    return {group + ".host_contract", level, needs,
            "the objects this group made kept the host contract: queries from their worker "
            "alone, declarations in OnLoad, no SendCommand, nothing after Release"};
}

std::string contractBroken(const HostFindings& total, const std::string& check) {
    // Each rule: the check that judges it over the whole run, and its breaches.
    const struct {
        const char* check;
        int HostFindings::*breaches;
        const char* what;
    } rules[] = {
        {"threads.queries_on_worker", &HostFindings::queriesFromOtherThreads,
         "queries from another thread than the object's worker"},
        {"threads.queries_on_worker", &HostFindings::queriesInsideHostCalls,
         "queries from inside a call into the plug-in"},
        {"threads.declare_inside_onload", &HostFindings::declaresOutsideOnLoad,
         "declarations outside OnLoad"},
        {"threads.send_command_never", &HostFindings::sendCommands, "SendCommand calls"},
        {"threads.nothing_after_release", &HostFindings::callbacksAfterRelease,
         "callbacks after Release had returned"},
    };
    std::string broken;
    for (const auto& rule : rules) {
        const int count = total.*rule.breaches;
        if (count > 0 && (check.empty() || check == rule.check)) {
            broken += (broken.empty() ? "" : ", ") + std::to_string(count) + " " + rule.what;
        }
    }
    return broken;
}

double Context::timedRelease(Instance& instance, bool dispose, int limitMs) {
    struct Outcome {
        std::mutex mutex;
        std::condition_variable done;
        bool started = false;
        bool returned = false;
        double callMs = 0;
    };
    auto outcome = std::make_shared<Outcome>();
    // Never detached: winpthreads' detach races a short thread's own start
    // and end, and under Wine a run of them soon calls a freed thread's
    // function. A call that returns is joined; one that does not keeps its
    // thread to the end of the run, which then leaves without unwinding.
    std::thread caller([plugin = instance.plugin, dispose, outcome]() mutable {
        {
            std::lock_guard lock(outcome->mutex);
            outcome->started = true;
        }
        const auto called = std::chrono::steady_clock::now();
        dispose ? static_cast<void>(plugin.dispose()) : static_cast<void>(plugin.release());
        const double callMs = millisecondsSince(called);
        std::lock_guard lock(outcome->mutex);
        outcome->callMs = callMs;
        outcome->returned = true;
        outcome->done.notify_all();
    });
    std::unique_lock lock(outcome->mutex);
    if (!outcome->done.wait_for(lock, std::chrono::milliseconds(limitMs),
                                [&] { return outcome->returned; })) {
        const double result = outcome->started ? -1 : -2;
        lock.unlock();
        std::lock_guard runLock(run_.mutex);
        run_.hung = true;
        run_.unreturnedCalls.push_back(std::move(caller));
        return result;
    }
    const double taken = outcome->callMs;
    lock.unlock();
    caller.join();
    instance.host->markReleased();
    instance.plugin = PluginObject();
    return taken;
}

std::string keyFor(const std::string& label, int number) {
    std::string body = label + std::to_string(number);
    body.resize(32, 'x');
    return "zvknp_" + body;
}

std::string statusOf(Instance& instance) {
    // Guarded: a plug-in that writes past the size must be caught by the
    // storm, not crash the validator here.
    return guardedParameterString(instance.plugin, 1, 256).shown;
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double waitFor(const std::function<bool()>& done, int limitMs) {
    const auto start = std::chrono::steady_clock::now();
    while (!done()) {
        if (millisecondsSince(start) > limitMs) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return millisecondsSince(start);
}

std::string formatMs(double ms) {
    char text[32];
    if (ms >= 1000) {
        std::snprintf(text, sizeof text, "%.2f s", ms / 1000);
    } else if (ms >= 10) {
        std::snprintf(text, sizeof text, "%.0f ms", ms);
    } else {
        std::snprintf(text, sizeof text, "%.3f ms", ms);
    }
    return text;
}

bool resourcesBack(const Resources& before, const Resources& halfway, int laterCycles,
                   std::string& text) {
    constexpr int kThreadTolerance = 2, kHandleTolerance = 8;
    constexpr int64_t kMemoryPerCycle = 1024, kMemoryStep = 1 << 20;
    const int64_t memoryBound = kMemoryStep + kMemoryPerCycle * laterCycles;
    Resources after;
    const auto settled = [&] {
        after = measureResources();
        return after.threads <= before.threads + kThreadTolerance &&
               after.handles <= before.handles + kHandleTolerance &&
               after.memoryBytes - halfway.memoryBytes <= memoryBound;
    };
    const bool back = waitFor(settled, 5000) >= 0;
    const int64_t later = after.memoryBytes - halfway.memoryBytes;
    text = "threads " + std::to_string(before.threads) + " -> " + std::to_string(after.threads) +
           ", handles " + std::to_string(before.handles) + " -> " + std::to_string(after.handles) +
           ", memory +" + std::to_string((halfway.memoryBytes - before.memoryBytes) / 1024) +
           " KiB in the first half, +" + std::to_string(later / 1024) + " KiB (" +
           std::to_string(later / std::max(laterCycles, 1)) +
           " bytes a cycle) in the second; tolerance: threads +2, handles +8, memory 1 MiB + "
           "1 KiB a cycle in the second half";
    return back;
}

Instance loadWithKey(Context& context, const std::string& key, HostScript script, bool untrusted) {
    Instance instance = context.create(untrusted);
    if (!instance) {
        return instance;
    }
    instance.host->setScript(std::move(script));
    instance.plugin.onLoad();
    if (instance.host->keyText() != nullptr) {
        instance.host->writeKeyText(key);
    }
    return instance;
}

}  // namespace validator
