// Adopting a key text handed over by the worker's key intake.
#include <mutex>

#include "account/key_form.h"
#include "plugin/now_playing_engine.h"
#include "service/text_ops.h"

void NowPlayingEngine::setKey(const std::string& text) {
    const std::string found = extractKey(text);
    MutexLock lock(engineMutex);
    if (!found.empty() && found == key) {
        return;
    }
    key = found;
    keyPending = true;
    keyVerified = false;
    accountName.clear();
    if (!found.empty()) {
        status = status::kCheckingKey;
    } else if (!trim(text).empty()) {
        status = status::kNotAKey;
    } else {
        status = status::kPasteKeyToStart;
    }
}
