// The engine: everything that decides what was played and publishes it. It
// reaches the host, the service and the clock only through the four functions
// it is built with, so it runs the same with the real host or with stand-ins.
//
// Threads: the worker thread runs setKey, tick and everything tick calls;
// host threads call setSendEnabled and statusText.
// Locks: engineMutex guards every field from `key` on. It is never held while
// hostNumber, hostText or httpPost runs; clock is called under it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "account/status_texts.h"
#include "plugin/annotated_mutex.h"
#include "service/http_result.h"
#include "tracks/track.h"

// One not-before time serves verification and sending: how far a failed
// exchange pushes it ahead, and how far a 429 does, in seconds. No back-off
// sets it further ahead than the longer of the two.
inline constexpr int64_t kRetryAfterFailure = 15;
inline constexpr int64_t kRetryAfterTooMany = 60;

// The clock is the calendar clock, which the PC may set back (a time service
// correcting a fast clock, a DJ fixing it mid-set). A time stamp that then
// lies ahead of the clock counts from now, so no wait outlasts the step.
inline void notAheadOf(int64_t& stamp, int64_t now) {
    if (stamp > now) {
        stamp = now;
    }
}

// Numeric host query: command text and the value out; true when the host answered.
using HostNumberFunction = std::function<bool(const std::string& command, double& result)>;
// Text host query: the answer, empty when the host did not answer.
using HostTextFunction = std::function<std::string(const std::string& command)>;
// One exchange with the service's now-playing path: method, key, body.
using HttpPostFunction = std::function<HttpResult(const std::string& method, const std::string& key,
                                                  const std::string& body)>;
// Whole seconds since 1970-01-01 00:00:00 UTC.
using ClockFunction = std::function<int64_t()>;

struct NowPlayingEngine {
    NowPlayingEngine(HostNumberFunction hostNumber, HostTextFunction hostText,
                     HttpPostFunction httpPost, ClockFunction clock);

    // Any thread. Mirrors the "Send tracks" switch.
    void setSendEnabled(bool on);
    // Any thread. The status line, or "Paused" while sending is off.
    std::string statusText();

    // Worker thread only: adopts a key text handed over by the key intake.
    void setKey(const std::string& text);
    // Worker thread only: one publishing step (verify, poll, send).
    void tick();
    // Worker thread only; each takes engineMutex itself for short stretches.
    void verifyKey();
    void pollDecks();
    void sendPending();
    std::vector<Track> readAutomixList();
    void updateUpNext(std::vector<Track> list, int64_t settle);

    // Fixed after construction; need no lock.
    const HostNumberFunction hostNumber;
    const HostTextFunction hostText;
    const HttpPostFunction httpPost;
    const ClockFunction clock;

    Mutex engineMutex;
    std::string key GUARDED_BY(engineMutex);
    bool keyPending GUARDED_BY(engineMutex) = false;
    bool keyVerified GUARDED_BY(engineMutex) = false;
    bool sendEnabled GUARDED_BY(engineMutex) = true;
    std::string accountName GUARDED_BY(engineMutex);
    std::string status GUARDED_BY(engineMutex) = status::kPasteKeyToStart;
    // Written under the lock; its only writer, the worker, also reads it without.
    uint32_t onAirDeck GUARDED_BY(engineMutex) = 0;
    Track candidate GUARDED_BY(engineMutex);
    int64_t candidateSince GUARDED_BY(engineMutex) = 0;
    Track current GUARDED_BY(engineMutex);
    std::vector<Track> playQueue GUARDED_BY(engineMutex);  // oldest first, at most 50
    int64_t retryAt GUARDED_BY(engineMutex) = 0;
    // Set when a 429 dropped the queue that held `current`: a later accepted
    // document without plays must not name it as sent. Cleared by the next play.
    bool currentUndelivered GUARDED_BY(engineMutex) = false;
    std::vector<Track> recentPlays GUARDED_BY(engineMutex);  // oldest first, at most 10
    std::vector<Track> upNextPending GUARDED_BY(engineMutex);
    int64_t upNextPendingSince GUARDED_BY(engineMutex) = 0;
    std::vector<Track> upNext GUARDED_BY(engineMutex);
    bool upNextChanged GUARDED_BY(engineMutex) = false;
    int64_t upNextSentAt GUARDED_BY(engineMutex) = 0;

private:
    // Under engineMutex: whether the back-off is over at the clock's reading.
    bool retryDue() REQUIRES(engineMutex);
    bool askNumber(const std::string& command, double& value);
    std::vector<DeckState> scanDecks();
    void readUpNext(const std::vector<DeckState>& decks, const DeckState* onAir);
    void countOnAirTrack(const DeckState* onAir);
    uint32_t lastOnAirDeck() const NO_THREAD_SAFETY_ANALYSIS { return onAirDeck; }
};
