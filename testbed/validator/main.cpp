// orvalink-validate: certifies the plug-in library's binary contract under a
// hostile host and a hostile service, as validators of audio plug-in formats
// do. It loads the library through the raw slot tables alone.
//   --plugin PATH            the library under test (required)
//   --untrusted-plugin PATH  a build whose service has an untrusted certificate
//   --service URL            the broken-reply server the library talks to,
//                            in front of the stand-in service (required)
//   --level 1..10            how hard (default 5); --seed N (default: the time)
//   --only NAME              only the checks whose names begin with NAME
// One line per check, "PASS name: figure" or "FAIL name: why", then
// "N passed, M failed". Exits 0 only when nothing failed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "checks.h"
#include "host_platform.h"
#include "process_resources.h"

namespace {

using namespace validator;

// In the order they run: the background groups start first and run beside
// the others; lifecycle and library run alone, since they measure the whole process.
const CheckGroup kGroups[] = {
    {"lifecycle", 1, false, runLifecycleChecks}, {"library", 1, false, runLibraryChecks},
    {"instances", 3, true, runInstanceChecks},   {"host_answers", 3, true, runHostAnswerChecks},
    {"service", 4, true, runServiceChecks},      {"factory", 1, false, runContractChecks},
    {"records", 1, false, runContractChecks},    {"storm", 2, false, runStormChecks},
    {"timing", 4, false, runTimingChecks},       {"threads", 1, false, runThreadChecks},
};

bool selected(const Context& context, const CheckGroup& group) {
    return context.options.level >= group.level && context.wants(group.prefix);
}

int usage() {
    std::fprintf(stderr,
                 "usage: orvalink-validate --plugin PATH --service URL [--untrusted-plugin PATH]\n"
                 "                         [--level 1..10] [--seed N] [--only NAME]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    options.seed = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch() /
                                         std::chrono::microseconds(1));
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i], value = argv[i + 1];
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
    const Factory factory = loadPlugin(options.plugin, error);
    if (factory == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", options.plugin.c_str(), error.c_str());
        return 2;
    }
    const Factory untrusted =
        options.untrustedPlugin.empty() ? nullptr : loadPlugin(options.untrustedPlugin, error);
    useSettingsFolder(temporaryFolder());
    prepareClipboard();

    Context context(options, factory, untrusted);
    if (context.service.port() == 0) {
        std::fprintf(stderr, "--service must be http://127.0.0.1:PORT\n");
        return 2;
    }
    std::printf("orvalink-validate: level %d, seed %llu, plugin %s\n", options.level,
                static_cast<unsigned long long>(options.seed), options.plugin.c_str());
    std::fflush(stdout);

    std::vector<std::thread> background;
    bool contractRan = false;
    for (const CheckGroup& group : kGroups) {
        if (!selected(context, group) || (group.run == runContractChecks && contractRan)) {
            continue;
        }
        contractRan = contractRan || group.run == runContractChecks;
        if (group.background) {
            background.emplace_back([&context, &group] { group.run(context); });
        } else if (group.run != runThreadChecks) {
            group.run(context);
        }
    }
    for (auto& thread : background) {
        thread.join();
    }
    if (selected(context, kGroups[sizeof kGroups / sizeof *kGroups - 1])) {
        runThreadChecks(context);
    }

    int passed = 0, failed = 0;
    for (const CheckResult& result : context.results()) {
        std::printf("%s %s: %s\n", result.passed ? "PASS" : "FAIL", result.name.c_str(),
                    result.text.c_str());
        ++(result.passed ? passed : failed);
    }
    if (failed > 0) {
        std::printf(
            "to repeat: orvalink-validate --plugin '%s' --service %s --level %d --seed %llu%s%s\n",
            options.plugin.c_str(), options.service.c_str(), options.level,
            static_cast<unsigned long long>(options.seed), options.only.empty() ? "" : " --only ",
            options.only.c_str());
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    // A call into the plug-in that never returned still runs on a thread of
    // ours: leave without unloading anything under it.
    if (context.hung()) {
        std::_Exit(failed > 0 ? 1 : 0);
    }
    return failed > 0 ? 1 : 0;
}
