// orvalink-validate: certifies the plug-in library's binary contract under a
// hostile host and a hostile service, as validators of audio plug-in formats
// do. It loads the library through the raw slot tables alone.
//   --plugin PATH            the library under test (required)
//   --untrusted-plugin PATH  a build whose service has an untrusted certificate
//   --service URL            the stand-in service the library talks to, with
//                            its broken replies (required)
//   --level 1..10            how hard (default 5); --seed N (default: the time)
//   --only NAME              only the checks whose names begin with NAME
//   --list                   every check with its level and what it needs
// One line per check as it ends, "PASS name: figure" or "FAIL name: why"; a
// check this run cannot make says "SKIP name: why". Last "N passed, M
// failed, K skipped". Exits 0 only when nothing failed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "checks.h"
#include "host_clipboard.h"
#include "plugin_library.h"
#include "process_resources.h"
#include "settings_folder.h"

namespace {

using namespace validator;

// Each group's order says when it runs: lifecycle and library alone first,
// since they measure the whole process; then the groups beside the others on
// threads of their own while the foreground ones run in turn; the threads
// group last, over every object of the run.
const CheckGroup* const kGroups[] = {
    &kInstanceGroup, &kHostAnswerGroup, &kServiceGroup, &kLifecycleGroup, &kLibraryGroup,
    &kFactoryGroup,  &kRecordGroup,     &kStormGroup,   &kTimingGroup,    &kThreadGroup,
};

std::string needsText(unsigned needs) {
    std::string text;
    if (needs & kNeedsService) {
        text += "a service";
    }
    if (needs & kNeedsUntrustedBuild) {
        text += std::string(text.empty() ? "" : ", ") + "an untrusted-certificate build";
    }
    return text.empty() ? "nothing more" : text;
}

void list() {
    for (const CheckGroup* group : kGroups) {
        for (const Check& check : group->checks) {
            std::printf("%-42s level %-2d needs %-40s %s\n", check.name.c_str(), check.level,
                        needsText(check.needs).c_str(), check.shows.c_str());
        }
    }
}

// Why this run cannot make `check`; empty when it can.
std::string skipReason(const Check& check, const Options& options) {
    if (check.level > options.level) {
        return "runs from level " + std::to_string(check.level) + ", this run is at level " +
               std::to_string(options.level);
    }
    if ((check.needs & kNeedsUntrustedBuild) && options.untrustedPlugin.empty()) {
        return "needs --untrusted-plugin";
    }
    return {};
}

// The group's body, then its host contract over the objects it made.
void runGroup(const Context& run, const CheckGroup& group) {
    Context context = run.forGroup(group.name);
    group.run(context);
    const std::string contract = std::string(group.name) + ".host_contract";
    for (const Check& check : group.checks) {
        if (check.name == contract && context.wants(contract)) {
            const std::vector<HostFindings> own = context.findings(true);
            context.reportFault(contract, contractBroken(sumOf(own)),
                                std::to_string(own.size()) + " objects, contract kept");
        }
    }
}

int usage() {
    std::fprintf(stderr,
                 "usage: orvalink-validate --plugin PATH --service URL [--untrusted-plugin PATH]\n"
                 "                         [--level 1..10] [--seed N] [--only NAME] | --list\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    options.seed = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch() /
                                         std::chrono::microseconds(1));
    for (int i = 1; i < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--list") {
            list();
            return 0;
        }
        if (i + 1 >= argc) {
            return usage();
        }
        const std::string value = argv[i + 1];
        if (flag == "--plugin") {
            options.plugin = value;
        } else if (flag == "--untrusted-plugin") {
            options.untrustedPlugin = value;
        } else if (flag == "--service") {
            options.service = value;
        } else if (flag == "--level") {
            options.level = std::atoi(value.c_str());
        } else if (flag == "--seed") {
            options.seed = std::strtoull(value.c_str(), nullptr, 10);
        } else if (flag == "--only") {
            options.only = value;
        } else {
            return usage();
        }
    }
    if (options.plugin.empty() || options.level < 1 || options.level > 10) {
        return usage();
    }
    std::string error;
    const Factory factory = harness::loadPlugin(options.plugin, error);
    if (factory == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", options.plugin.c_str(), error.c_str());
        return 2;
    }
    const Factory untrusted = options.untrustedPlugin.empty()
                                  ? nullptr
                                  : harness::loadPlugin(options.untrustedPlugin, error);
    // An empty settings folder of the run's own: no user's key is ever read.
    harness::useSettingsFolder(temporaryFolder());
    prepareClipboard();

    RunState state;
    Context context(options, state, factory, untrusted);
    if (context.service.port() == 0) {
        std::fprintf(stderr, "--service must be http://127.0.0.1:PORT\n");
        return 2;
    }
    std::printf("orvalink-validate: level %d, seed %llu, plugin %s\n", options.level,
                static_cast<unsigned long long>(options.seed), options.plugin.c_str());

    // What this run makes: every selected check it can, each group with one.
    std::vector<const Check*> expected;
    std::vector<const CheckGroup*> runs;
    int skipped = 0;
    for (const CheckGroup* group : kGroups) {
        bool any = false;
        for (const Check& check : group->checks) {
            if (!options.only.empty() &&
                check.name.compare(0, options.only.size(), options.only) != 0) {
                continue;
            }
            const std::string why = skipReason(check, options);
            if (why.empty()) {
                expected.push_back(&check);
                any = true;
            } else {
                std::printf("SKIP %s: %s\n", check.name.c_str(), why.c_str());
                ++skipped;
            }
        }
        if (any) {
            runs.push_back(group);
        }
    }
    std::fflush(stdout);

    const auto runInTurn = [&](CheckGroup::Order order) {
        for (const CheckGroup* group : runs) {
            if (group->order == order) {
                runGroup(context, *group);
            }
        }
    };
    runInTurn(CheckGroup::Alone);
    std::vector<std::thread> beside;
    for (const CheckGroup* group : runs) {
        if (group->order == CheckGroup::Beside) {
            beside.emplace_back([&context, group] { runGroup(context, *group); });
        }
    }
    runInTurn(CheckGroup::Foreground);
    for (auto& thread : beside) {
        thread.join();
    }
    runInTurn(CheckGroup::Last);
    for (const Check* check : expected) {
        if (!context.reported(check->name)) {
            context.report(check->name, false, "no result: its group ended without one");
        }
    }

    if (state.failed > 0) {
        std::printf(
            "to repeat: orvalink-validate --plugin '%s' --service %s --level %d --seed %llu%s%s\n",
            options.plugin.c_str(), options.service.c_str(), options.level,
            static_cast<unsigned long long>(options.seed), options.only.empty() ? "" : " --only ",
            options.only.c_str());
    }
    std::printf("%d passed, %d failed, %d skipped\n", state.passed, state.failed, skipped);
    std::fflush(stdout);
    // A call into the plug-in that never returned still runs on a thread of
    // ours: leave without unloading anything under it.
    if (context.hung()) {
        std::_Exit(state.failed > 0 ? 1 : 0);
    }
    return state.failed > 0 ? 1 : 0;
}
