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
