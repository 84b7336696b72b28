// Posting the queued plays and a changed up-next list, and acting on the reply.
#include <algorithm>
#include <mutex>

#include "plugin/now_playing_engine.h"
#include "service/document.h"

void NowPlayingEngine::sendPending() {
    std::string keyToUse;
    std::string document;
    bool includeUpNext = false;
    size_t sentCount = 0;
    {
        MutexLock lock(engineMutex);
        if ((playQueue.empty() && !upNextChanged) || !keyVerified || !retryDue()) {
            return;
        }
        keyToUse = key;
        includeUpNext = upNextChanged;
        document = nowPlayingDocument(playQueue, includeUpNext ? &upNext : nullptr);
        sentCount = playQueue.size();
    }

    const HttpResult reply = httpPost("POST", keyToUse, document);

    MutexLock lock(engineMutex);
    if (reply.statusCode == 200) {
        playQueue.erase(playQueue.begin(), playQueue.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                   sentCount, playQueue.size())));
        if (includeUpNext) {
            upNextChanged = false;
            upNextSentAt = clock();
        }
        // Only a document that carried plays, or a `current` that got through
        // before, makes the status name it as sent.
        if (!current.title.empty() && (sentCount > 0 || !currentUndelivered)) {
            status = status::kConnectedAs + accountName + status::kSentSeparator + current.title;
        }
    } else if (reply.statusCode == 401) {
        keyVerified = false;
        status = status::kKeyStopped;
    } else if (reply.statusCode == 429) {
        currentUndelivered = currentUndelivered || !playQueue.empty();
        playQueue.clear();
        upNextChanged = false;
        retryAt = clock() + kRetryAfterTooMany;
    } else {
        status = status::kWillResend;
        retryAt = clock() + kRetryAfterFailure;
    }
}
