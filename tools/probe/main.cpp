// orvalink-probe: measures the plug-in library from the host's side.
//   orvalink-probe latency LIBRARY KEY   host-thread calls while the worker is
//                                        stuck in an exchange (the service must
//                                        hold its replies)
//   orvalink-probe idle LIBRARY KEY SECONDS   CPU time and host queries while
//                                        connected with nothing playing, then
//                                        with sending off and no key
//   orvalink-probe release LIBRARY KEY   Release in the initial wait, in a pass
//                                        wait, and during a stalled exchange
// The library is the loopback build; the stand-in service must listen on the
// port it points at.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dj_set.h"
#include "host_clipboard.h"
#include "plugin_library.h"
#include "process_cpu.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// One loaded plug-in object with the stand-in host's callbacks.
struct LoadedPlugin {
    DeckState decks;
    harness::FakeHost callbacks;
    harness::PluginObject plugin;

    bool create(harness::Factory factory) {
        // Unmarked calls: what is timed is the plug-in's own cost.
        callbacks.setScript(decks.script());
        plugin = harness::PluginObject::create(factory, callbacks.callbackObject(), false);
        return plugin.address() != nullptr;
    }
    void load(const std::string& key) {
        plugin.onLoad();
        callbacks.typeKey(plugin, key);
    }
    double release() {
        const auto start = Clock::now();
        plugin.release();
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
};

struct Percentiles {
    double p50, p99, p999, max;
};

Percentiles percentiles(std::vector<double>& ns) {
    std::sort(ns.begin(), ns.end());
    const auto at = [&](double q) { return ns[std::min(ns.size() - 1, size_t(q * ns.size()))]; };
    return {at(0.50), at(0.99), at(0.999), ns.back()};
}

void printRow(const char* what, size_t calls, const Percentiles& p) {
    std::printf("  %-34s %9zu calls  p50 %7.0f ns  p99 %7.0f ns  p99.9 %7.0f ns  max %9.0f ns\n",
                what, calls, p.p50, p.p99, p.p999, p.max);
}

template <typename Call>
std::vector<double> timeCalls(Call call, std::chrono::milliseconds duration) {
    std::vector<double> ns;
    ns.reserve(4'000'000);
    const auto end = Clock::now() + duration;
    while (Clock::now() < end) {
        const auto start = Clock::now();
        call();
        ns.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count());
    }
    return ns;
}

int latency(harness::Factory factory, const std::string& key) {
    LoadedPlugin loaded;
    if (!loaded.create(factory))
        return 1;
    loaded.load(key);
    std::this_thread::sleep_for(3500ms);  // the first pass is now waiting for its reply

    char out[512];
    std::vector<double> ns = timeCalls(
        [&] {
            loaded.plugin.getParameterString(1, out, sizeof out);
            loaded.plugin.getParameterString(3, out, sizeof out);
            loaded.plugin.onParameter(3);
        },
        5000ms);
    std::vector<double> single =
        timeCalls([&] { loaded.plugin.getParameterString(1, out, sizeof out); }, 1000ms);

    // The floor: a bare lock and a copy of the same text into 512 bytes.
    std::mutex mutex;
    const std::string status(loaded.plugin.getParameterString(1, out, sizeof out) == 0 ? out : "");
    std::vector<double> floor = timeCalls(
        [&] {
            std::lock_guard lock(mutex);
            std::memset(out, 0, sizeof out);
            std::memcpy(out, status.data(), std::min(status.size(), sizeof out - 1));
        },
        1000ms);
    std::printf("host-thread calls while the worker waits for a stalled reply (status \"%s\"):\n",
                status.c_str());
    printRow("string(1) + string(3) + param(3)", ns.size(), percentiles(ns));
    printRow("string(1) alone", single.size(), percentiles(single));
    printRow("floor: lock + copy into 512 bytes", floor.size(), percentiles(floor));
    std::printf("  release after the test: %.0f ms\n", loaded.release());
    return 0;
}

int idle(harness::Factory factory, const std::string& key, int seconds) {
    LoadedPlugin loaded;
    if (!loaded.create(factory))
        return 1;
    loaded.load(key);
    std::this_thread::sleep_for(4s);  // verified in the first pass
    const double cpuStart = processCpuSeconds();
    const long queriesStart = loaded.callbacks.findings().queries;
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = processCpuSeconds() - cpuStart;
    const long queries = loaded.callbacks.findings().queries - queriesStart;
    std::printf(
        "idle, connected, nothing playing, %d s: CPU %.3f s (%.4f%% of one core), "
        "%ld host queries (%.1f passes of 6: sandbox, four decks, automix)\n",
        seconds, cpu, 100 * cpu / seconds, queries, queries / 6.0);
    loaded.release();

    LoadedPlugin off;
    if (!off.create(factory))
        return 1;
    off.plugin.onLoad();
    off.callbacks.setSwitch(off.plugin, 0);
    const double offCpuStart = processCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double offCpu = processCpuSeconds() - offCpuStart;
    std::printf("idle, sending off, no key, %d s: CPU %.3f s, %ld host queries\n", seconds, offCpu,
                static_cast<long>(off.callbacks.findings().queries));
    off.release();
    return 0;
}

// Loads a plug-in object with the key, optionally with sending off, waits,
// and reports how long Release then takes.
bool timeRelease(harness::Factory factory, const std::string& key, bool sendingOff,
                 std::chrono::seconds wait, const char* when) {
    LoadedPlugin loaded;
    if (!loaded.create(factory)) {
        return false;
    }
    loaded.load(key);
    if (sendingOff) {
        loaded.callbacks.setSwitch(loaded.plugin, 0);  // passes make no exchange
    }
    std::this_thread::sleep_for(wait);
    std::printf("Release %s: %.2f ms\n", when, loaded.release());
    return true;
}

int release(harness::Factory factory, const std::string& key) {
    const bool measured =
        timeRelease(factory, key, false, 1s, "during the initial wait") &&
        timeRelease(factory, key, true, 4s, "during a pass wait") &&
        // The first pass's request has waited about 1 s of its 10 s time-out.
        timeRelease(factory, key, false, 4s,
                    "during a stalled exchange (about 9 s of its 10 s time-out left)");
    return measured ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: orvalink-probe latency|idle|release LIBRARY KEY [SECONDS]\n");
        return 2;
    }
    const std::string mode = argv[1];
    std::string error;
    const harness::Factory factory = harness::loadPlugin(argv[2], error);
    if (factory == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[2], error.c_str());
        return 1;
    }
    if (mode == "latency")
        return latency(factory, argv[3]);
    if (mode == "idle")
        return idle(factory, argv[3], argc > 4 ? std::atoi(argv[4]) : 60);
    if (mode == "release")
        return release(factory, argv[3]);
    return 2;
}
