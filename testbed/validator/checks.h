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
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "dj_set.h"
#include "fake_host.h"
#include "plugin_object.h"
#include "process_resources.h"
#include "service_control.h"

namespace validator {

// The contract's names, shared with every host of ours.
using namespace harness;

struct Options {
    std::string plugin;
    std::string untrustedPlugin;  // a build whose service has an untrusted certificate
    std::string service;
    std::string only;
    int level = 5;
    uint64_t seed = 0;
};

class Context;

// What a check needs besides the library under test.
enum Need : unsigned {
    kNeedsService = 1,         // the stand-in service and its broken replies
    kNeedsUntrustedBuild = 2,  // --untrusted-plugin: a build whose service is not trusted
};

// One check as --list shows it: its name ("group.what"), the level it runs
// from, what it needs, and what it shows when it passes.
struct Check {
    std::string name;
    int level;
    unsigned needs;
    std::string shows;
};

// Checks that one body runs together, since they share its work (cycles, a
// storm, the same objects). The body reports each of its checks once, as
// each ends; `order` says when it runs: Alone before any other, Beside on a
// thread of its own while the Foreground groups run one after another, Last
// after all.
struct CheckGroup {
    enum Order { Alone, Beside, Foreground, Last } order;
    const char* name;
    void (*run)(Context&);
    std::vector<Check> checks;
};

// The groups, each defined in the file of its checks.
extern const CheckGroup kLifecycleGroup, kLibraryGroup, kInstanceGroup, kHostAnswerGroup,
    kServiceGroup, kFactoryGroup, kRecordGroup, kStormGroup, kTimingGroup, kThreadGroup;

// One plug-in object and the host it was given.
struct Instance {
    PluginObject plugin;
    FakeHost* host = nullptr;
    explicit operator bool() const { return plugin.address() != nullptr; }
};

// What the whole run shares across groups and their threads: the hosts made
// (each with the group that made it, kept to the end of the run so that late
// callbacks are recorded, not crashes) and the results so far. `mutex`
// guards all but `hung`.
struct RunState {
    std::mutex mutex;
    std::deque<std::pair<std::string, std::unique_ptr<FakeHost>>> hosts;
    std::set<std::string> reported;
    std::vector<std::thread> unreturnedCalls;  // never joined: the run ends without unwinding
    int passed = 0;
    int failed = 0;
    std::atomic<bool> hung{false};
};

// A group's view of the run. Copies share the run; each group has its own.
class Context {
public:
    Context(const Options& options, RunState& run, Factory factory, Factory untrustedFactory);
    // This context for the group `name`: the objects it makes are its own.
    Context forGroup(const std::string& name) const;

    const Options& options;
    ServiceControl service;
    Factory factory;
    Factory untrustedFactory;

    // Whether --only selects the check `name` (or a group it begins).
    bool wants(const std::string& name) const;
    // Prints the result line of a selected check at once, so that a crash
    // keeps every line before it, and counts it.
    void report(const std::string& name, bool passed, const std::string& text);
    // The same for a check that found `fault` (it passed when that is empty).
    void reportFault(const std::string& name, const std::string& fault, const std::string& passed);
    bool reported(const std::string& name) const;

    // A random source of the group's own, from the run's seed.
    std::mt19937_64 random(const std::string& group) const;
    // Level-scaled counts: `atFive` at level 5, `atTen` at level 10.
    int scaled(int atFive, int atTen) const;

    // A new object from the factory with a new host of this group's in its
    // host fields.
    Instance create(bool untrusted = false);
    // The findings of every host made so far, or of this group's alone.
    std::vector<HostFindings> findings(bool ownGroupOnly) const;

    // Release (or the disposal slot) on a thread of its own, waited for up to
    // `limitMs`: the milliseconds the call took, timed around the call alone
    // (not the thread's start, nor our wake), or -1 when it had not returned
    // (-2 when the thread to make the call never even started). A call that
    // never returns leaves the run marked as hung.
    double timedRelease(Instance& instance, bool dispose, int limitMs);
    bool hung() const { return run_.hung; }

private:
    RunState& run_;
    std::string group_;
};

// The check every group with objects of its own carries: "<group>.host_contract",
// reported as the group ends, so that a broken contract shows against the
// group that was running when it broke.
Check hostContract(const std::string& group, int level, unsigned needs);
// The host contract over findings summed up, for one group or the whole
// run: queries only from each object's one worker and never from inside a
// call into the plug-in, declarations only in OnLoad, no SendCommand,
// nothing after Release; or only the rules the threads check `check` judges.
// Empty when kept, else what broke it.
std::string contractBroken(const HostFindings& total, const std::string& check = {});

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
// An object (of the untrusted build, if so) loaded with `key` in its "Key"
// parameter and the host answering with `script`.
Instance loadWithKey(Context& context, const std::string& key, HostScript script,
                     bool untrusted = false);

}  // namespace validator
