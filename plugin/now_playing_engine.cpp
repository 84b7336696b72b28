#include "plugin/now_playing_engine.h"

#include <utility>

NowPlayingEngine::NowPlayingEngine(HostNumberFunction hostNumber, HostTextFunction hostText,
                                   HttpPostFunction httpPost, ClockFunction clock)
    : hostNumber(std::move(hostNumber)),
      hostText(std::move(hostText)),
      httpPost(std::move(httpPost)),
      clock(std::move(clock)) {}

void NowPlayingEngine::setSendEnabled(bool on) {
    MutexLock lock(engineMutex);
    sendEnabled = on;
}

std::string NowPlayingEngine::statusText() {
    MutexLock lock(engineMutex);
    return sendEnabled ? status : std::string(status::kPaused);
}

bool NowPlayingEngine::retryDue() {
    const int64_t now = clock();
    // Further ahead than any back-off sets it: the clock was set back.
    if (retryAt - now > kRetryAfterTooMany) {
        retryAt = now;
    }
    return retryAt <= now;
}
