// One publishing step of a worker pass: verify the key, then poll and send.
#include <mutex>

#include "plugin/now_playing_engine.h"

void NowPlayingEngine::tick() {
    {
        MutexLock lock(engineMutex);
        if (!sendEnabled || key.empty()) {
            return;
        }
    }
    verifyKey();
    {
        MutexLock lock(engineMutex);
        if (!keyVerified) {
            return;
        }
    }
    pollDecks();
    sendPending();
}
