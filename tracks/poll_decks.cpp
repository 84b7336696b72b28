// Deck polling: which deck is on air, and when its track counts as played.
#include <mutex>

#include "plugin/now_playing_engine.h"
#include "service/text_ops.h"
#include "tracks/deck_commands.h"

namespace {

constexpr uint32_t kDeckCount = 4;
constexpr int64_t kSecondsToCount = 20;
constexpr size_t kRecentPlaysLimit = 10;
constexpr size_t kPlayQueueLimit = 50;

void appendBounded(std::vector<Track>& list, const Track& track, size_t limit) {
    list.push_back(track);
    if (list.size() > limit) {
        list.erase(list.begin());
    }
}

bool playsOnAir(const DeckState& deck) {
    return deck.audible && !deck.track.title.empty();
}

// The deck that was on air stays on air while it plays; otherwise the
// lowest-numbered deck that plays a titled track.
const DeckState* chooseOnAirDeck(const std::vector<DeckState>& decks, uint32_t lastOnAir) {
    for (const DeckState& deck : decks) {
        if (deck.deck == lastOnAir && playsOnAir(deck)) {
            return &deck;
        }
    }
    for (const DeckState& deck : decks) {
        if (playsOnAir(deck)) {
            return &deck;
        }
    }
    return nullptr;
}

}  // namespace

bool NowPlayingEngine::askNumber(const std::string& command, double& value) {
    value = 0;
    return hostNumber(command, value);
}

void NowPlayingEngine::pollDecks() {
    double sandbox = 0;
    if (askNumber(kSandboxCommand, sandbox) && sandbox > 0.5) {
        return;
    }
    const std::vector<DeckState> decks = scanDecks();
    const DeckState* onAir = chooseOnAirDeck(decks, lastOnAirDeck());
    readUpNext(decks, onAir);
    countOnAirTrack(onAir);
}

std::vector<DeckState> NowPlayingEngine::scanDecks() {
    std::vector<DeckState> decks;
    for (uint32_t n = 1; n <= kDeckCount; ++n) {
        double loaded = 0;
        if (!askNumber(deckCommand(n, "loaded"), loaded)) {
            if (n >= 3) {
                break;
            }
            continue;
        }
        if (loaded < 0.5) {
            continue;
        }
        double audible = 0;
        askNumber(deckCommand(n, "is_audible"), audible);
        DeckState state;
        state.deck = n;
        state.audible = audible > 0.5;
        state.track.title = trim(hostText(deckCommand(n, "get_loaded_song 'title'")));
        state.track.artist = trim(hostText(deckCommand(n, "get_loaded_song 'artist'")));
        decks.push_back(std::move(state));
    }
    return decks;
}

void NowPlayingEngine::countOnAirTrack(const DeckState* onAir) {
    MutexLock lock(engineMutex);
    if (onAir == nullptr) {
        onAirDeck = 0;
        return;
    }
    onAirDeck = onAir->deck;
    const int64_t now = clock();
    notAheadOf(candidateSince, now);
    if (sameTrack(onAir->track, current)) {
        candidate = Track{};
        return;
    }
    if (!sameTrack(onAir->track, candidate)) {
        candidate = Track{onAir->track.title, onAir->track.artist, 0};
        candidateSince = now;
        return;
    }
    if (now - candidateSince < kSecondsToCount) {
        return;
    }
    const Track played{onAir->track.title, onAir->track.artist, candidateSince};
    current = played;
    currentUndelivered = false;
    candidate = Track{};
    appendBounded(recentPlays, played, kRecentPlaysLimit);
    appendBounded(playQueue, played, kPlayQueueLimit);
}
