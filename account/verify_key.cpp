// Asking the service whether the key in use is good.
#include <mutex>

#include "plugin/now_playing_engine.h"
#include "service/json_reader.h"

void NowPlayingEngine::verifyKey() {
    std::string keyToCheck;
    {
        MutexLock lock(engineMutex);
        if (!keyPending || key.empty() || !retryDue()) {
            return;
        }
        keyToCheck = key;
    }

    const HttpResult reply = httpPost("GET", keyToCheck, "");

    MutexLock lock(engineMutex);
    if (key != keyToCheck) {
        return;
    }
    if (reply.statusCode == 200) {
        keyPending = false;
        keyVerified = true;
        accountName = jsonStringField(reply.body, "name");
        status = status::kConnectedAs + accountName;
    } else if (reply.statusCode == 401) {
        keyPending = false;
        status = status::kKeyRejected;
    } else {
        status = status::kRetrying;
        retryAt = clock() + kRetryAfterFailure;
    }
}
