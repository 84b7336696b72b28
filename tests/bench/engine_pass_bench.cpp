// The engine's cost per pass with a host that answers at once: pollDecks and
// sendPending with four loaded decks, an automix list of five and 50 queued
// plays, the document built and handed to a service that fails at once so
// the plays stay queued. Reports allocations per pass too.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>

#include "plugin/now_playing_engine.h"

namespace {

std::atomic<long> allocations{0};

}  // namespace

void* operator new(size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

namespace {

void BM_PollAndSend(benchmark::State& state) {
    std::unordered_map<std::string, double> numbers = {{"sandbox", 0}, {"automix", 1}};
    std::unordered_map<std::string, std::string> texts;
    for (int deck = 1; deck <= 4; ++deck) {
        const std::string prefix = "deck " + std::to_string(deck) + " ";
        numbers[prefix + "loaded"] = 1;
        numbers[prefix + "is_audible"] = deck == 1 ? 1 : 0;
        texts[prefix + "get_loaded_song 'title'"] = "Deck " + std::to_string(deck) + " Title";
        texts[prefix + "get_loaded_song 'artist'"] = "Deck Artist";
    }
    for (int i = 1; i <= 5; ++i) {
        const std::string suffix = i == 1 ? "" : " " + std::to_string(i);
        texts["get_automix_song 'title'" + suffix] = "Automix Title " + std::to_string(i);
        texts["get_automix_song 'artist'" + suffix] = "Automix Artist";
    }
    int64_t now = 1'700'000'000;
    NowPlayingEngine engine(
        [&](const std::string& c, double& v) {
            const auto it = numbers.find(c);
            return it != numbers.end() && (v = it->second, true);
        },
        [&](const std::string& c) {
            const auto it = texts.find(c);
            return it == texts.end() ? std::string() : it->second;
        },
        [](const std::string&, const std::string&, const std::string&) {
            return HttpResult{500, ""};
        },
        [&] { return now; });
    engine.key = "zvknp_" + std::string(32, 'a');
    engine.keyVerified = true;
    for (int i = 0; i < 50; ++i) {
        engine.playQueue.push_back(
            Track{"Queued Title " + std::to_string(i), "Queued Artist", now - 3600 + i * 60});
    }

    long allocationsBefore = allocations;
    for (auto _ : state) {
        engine.pollDecks();
        engine.sendPending();
        std::lock_guard lock(engine.engineMutex);
        engine.retryAt = 0;
        now += 2;
    }
    state.counters["allocs/pass"] = benchmark::Counter(
        static_cast<double>(allocations - allocationsBefore) / state.iterations());
}
BENCHMARK(BM_PollAndSend)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
