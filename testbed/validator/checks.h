// The validator's checks and what they share: the run's options, the loaded
// factory, the service control, plug-in objects each with a fake host of its
// own (kept to the end of the run, so late callbacks are recorded, not
// crashes), bounded calls that may hang, and one result line per check.
//
// Threads: groups marked `background` run on threads of their own beside the
// others; everything in Context is safe to use from any of them. `mutex_`
// guards the hosts made and the results reported.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "fake_host.h"
#include "process_resources.h"
#include "raw_plugin.h"
#include "service_control.h"

namespace validator {

struct Options {
    std::string plugin;
    std::string untrustedPlugin;  // a build whose service has an untrusted certificate
    std::string service;
    std::string only;
    int level = 5;
    uint64_t seed = 0;
};

struct CheckResult {
    std::string name;
    bool passed;
    std::string text;
};

// One plug-in object and the host it was given.
struct Instance {
    PluginObject plugin;
    FakeHost* host = nullptr;
    explicit operator bool() const { return plugin.address() != nullptr; }
};

class Context {
public:
    Context(Options options, Factory factory, Factory untrustedFactory);

    const Options options;
    ServiceControl service;

    // Whether --only selects the check `name` (or a group it begins).
    bool wants(const std::string& name) const;
    // Records a result line of a selected check.
    void report(const std::string& name, bool passed, const std::string& text);
    std::vector<CheckResult> results() const;

    // A random source of the group's own, from the run's seed.
    std::mt19937_64 random(const std::string& group) const;
    // Level-scaled counts: `atFive` at level 5, `atTen` at level 10.
    int scaled(int atFive, int atTen) const;

    // A new object from the factory with a new host in its host fields.
    Instance create(bool untrusted = false);
    FakeHost& newHost();
    // Every host made so far, for the checks that look at all callbacks.
    std::vector<HostFindings> allFindings() const;

    // Release (or the disposal slot) on a thread of its own, waited for up to
    // `limitMs`: the milliseconds it took, or -1 when it had not returned (-2
    // when the thread to make the call never even started). A call that
    // never returns leaves the run marked as hung.
    double timedRelease(Instance& instance, bool dispose, int limitMs);
    bool hung() const { return hung_; }

    Factory factory;
    Factory untrustedFactory;

private:
    mutable std::mutex mutex_;
    std::deque<std::unique_ptr<FakeHost>> hosts_;
    std::vector<CheckResult> results_;
    std::atomic<bool> hung_{false};
};

// A check group: a name prefix, the level it runs from, and its body.
struct CheckGroup {
    const char* prefix;
    int level;
    bool background;
    void (*run)(Context&);
};

// The groups, each in a file of its own.
void runContractChecks(Context& context);
void runLifecycleChecks(Context& context);
void runInstanceChecks(Context& context);
void runThreadChecks(Context& context);
void runTimingChecks(Context& context);
void runStormChecks(Context& context);
void runHostAnswerChecks(Context& context);
void runServiceChecks(Context& context);
void runLibraryChecks(Context& context);

// Shared by the groups.
std::string keyFor(const std::string& label, int number);
std::string statusOf(Instance& instance);
// Polls `done` every 20 ms until it holds or `limitMs` passes; the
// milliseconds it took, or -1.
double waitFor(const std::function<bool()>& done, int limitMs);
double millisecondsSince(std::chrono::steady_clock::time_point start);
std::string formatMs(double ms);
// Waits up to 5 s for the process to be back where it was after warm-up
// (`before`): threads and handles within a few, and memory grown by at most
// 1 KiB a cycle over the `laterCycles` since `halfway`, beyond 1 MiB for the
// heap's growth in steps. Memory is judged over the later cycles only, since
// the platform's caches and the run's own records grow at first.
bool resourcesBack(const Resources& before, const Resources& halfway, int laterCycles,
                   std::string& text);
// An object loaded with `key` in its "Key" parameter and the host answering
// with `script`.
Instance loadWithKey(Context& context, const std::string& key, HostScript script);

}  // namespace validator
