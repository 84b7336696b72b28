// The plug-in object the host loads, and the library's one exported function.
//
// Threads: the host calls the seven operations on threads of its own; one
// worker thread, started by OnLoad and joined by Release, runs every pass.
// Locks: engineMutex (inside the engine) guards the engine's fields; keyMutex
// guards the plug-in's own accesses to keyText; wakeMutex guards
// stopRequested and the worker's waits. No two are ever held together, and
// none is held while the host or the network is called. The host writes
// keyText, pasteButton and sendSwitch directly, without any of these locks.
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>

#include "account/clipboard.h"
#include "account/key_form.h"
#include "account/settings_file.h"
#include "plugin/host_bridge.h"
#include "plugin/host_interface.h"
#include "plugin/library_pin.h"
#include "plugin/now_playing_engine.h"
#include "plugin/skin/skin.h"
#include "service/text_ops.h"
#include "service/transport.h"
#include "worker/worker_loop.h"

namespace {

constexpr unsigned char kPluginClassId[16] = {0x87, 0x8D, 0x8A, 0xED, 0xF9, 0xF4, 0xCD, 0x4D,
                                              0xBD, 0x24, 0x29, 0x14, 0x12, 0xE9, 0x3B, 0x60};
constexpr unsigned char kPluginInterfaceId[16] = {0xA1, 0x0E, 0xD9, 0xA1, 0x0D, 0x4D, 0xDD, 0x42,
                                                  0xA4, 0xD0, 0xB8, 0xF3, 0x37, 0xB3, 0x21, 0xF1};

constexpr char kName[] = "Orvalink Now Playing";
constexpr char kAuthor[] = "Orvalink";
constexpr char kDescription[] = "Shows the track you're playing on your Orvalink DJ page.";
constexpr char kVersion[] = ORVALINK_VERSION;

constexpr int32_t kKeyParameter = 1;
constexpr int32_t kPasteParameter = 2;
constexpr int32_t kSendParameter = 3;
constexpr size_t kKeyTextSize = 64;

// The host writes these variables itself, so every read and write of ours
// is an atomic access of one value.
int32_t loadHostValue(int32_t& value) {
    return std::atomic_ref<int32_t>(value).load(std::memory_order_relaxed);
}

class NowPlayingPlugin final : public IVdjPlugin8 {
public:
    NowPlayingPlugin()
        : engine([this](const std::string& command,
                        double& result) { return hostNumber(*this, command, result); },
                 [this](const std::string& command) { return hostText(*this, command); }, httpPost,
                 [] { return static_cast<int64_t>(std::time(nullptr)); }) {}

    int32_t OnLoad() override {
        try {
            callbacks->DeclareParameter(keyText, kParameterText, kKeyParameter, "Key", "Key",
                                        static_cast<float>(kKeyTextSize));
            callbacks->DeclareParameter(&pasteButton, kParameterButton, kPasteParameter,
                                        "Paste key", "Paste", 0.0f);
            callbacks->DeclareParameter(&sendSwitch, kParameterSwitch, kSendParameter,
                                        "Send tracks", "On", 1.0f);
            if (!worker.joinable()) {
                worker = std::thread([this] { workerLoop(); });
            }
        } catch (...) {
        }
        return kResultOk;
    }

    int32_t OnGetPluginInfo(PluginInfo* info) override {
        info->name = kName;
        info->author = kAuthor;
        info->description = kDescription;
        info->version = kVersion;
        info->reserved = nullptr;
        info->flags = 0;
        return kResultOk;
    }

    uint32_t Release() override {
        try {
            {
                std::lock_guard lock(wakeMutex);
                stopRequested = true;
            }
            wakeCondition.notify_all();
            if (worker.joinable()) {
                worker.join();
            }
        } catch (...) {
            // A worker that could not be joined may still be running on this
            // object (a host that releases it from inside one of our queries,
            // on the worker itself): keeping the object is the only safe end.
            return 0;
        }
        delete this;
        return 0;
    }

    int32_t Dispose() override {
        Release();
        return kResultOk;
    }

    int32_t OnParameter(int32_t id) override {
        try {
            if (id == kPasteParameter && loadHostValue(pasteButton) != 0) {
                pasteKey();
            } else if (id == kSendParameter) {
                engine.setSendEnabled(loadHostValue(sendSwitch) != 0);
            }
        } catch (...) {
        }
        wakeCondition.notify_all();
        return kResultOk;
    }

    int32_t OnGetParameterString(int32_t id, char* out, int32_t outSize) override {
        std::string text;
        try {
            if (id == kKeyParameter || id == kPasteParameter) {
                text = pasteFoundNoKey.load() ? status::kCopyKeyFirst : engine.statusText();
            } else if (id == kSendParameter) {
                text = loadHostValue(sendSwitch) != 0 ? "On" : "Off";
            } else {
                return kResultNotImplemented;
            }
        } catch (...) {
        }
        if (outSize <= 0) {
            return kResultNotImplemented;
        }
        copyFixedSize(text, out, static_cast<size_t>(outSize));
        return kResultOk;
    }

    int32_t OnGetUserInterface(InterfaceRecord* record) override {
        record->kind = 1;
        record->xml = reinterpret_cast<const char*>(kSkinXml);
        record->image = kSkinPng;
        record->imageSize = static_cast<int32_t>(kSkinPngSize);
        return kResultOk;
    }

private:
    // Writes the first size - 1 bytes of the text, zero-filled, then a NUL.
    // A cut that would split a character stops before it instead.
    static void copyFixedSize(const std::string& text, char* out, size_t size) {
        size_t length = std::min(text.size(), size - 1);
        if (length < text.size()) {
            length = completeUtf8Length(text.data(), length);
        }
        std::memset(out, 0, size);
        std::memcpy(out, text.data(), length);
    }

    // keyText as text: the bytes before the first NUL within its 64.
    std::string readKeyText() REQUIRES(keyMutex) {
        std::string text;
        for (char& byte : keyText) {
            const char value = std::atomic_ref<char>(byte).load(std::memory_order_relaxed);
            if (value == '\0') {
                break;
            }
            text += value;
        }
        return text;
    }

    // Replaces keyText with the key, zero-filled.
    void writeKeyText(const std::string& key) REQUIRES(keyMutex) {
        for (size_t i = 0; i < kKeyTextSize; ++i) {
            const char value = i < key.size() && i < kKeyTextSize - 1 ? key[i] : '\0';
            std::atomic_ref<char>(keyText[i]).store(value, std::memory_order_relaxed);
        }
    }

    // "Paste key": a key from the clipboard into keyText, or the paste message.
    // A paste of the key keyText already holds ends the message here: the
    // worker, which ends it for a changed key, would never see a change.
    void pasteKey() {
        const std::string key = extractKey(readClipboardText());
        MutexLock lock(keyMutex);
        if (key.empty()) {
            pasteFoundNoKey.exchange(true);
        } else if (key == readKeyText()) {
            pasteFoundNoKey.exchange(false);
        } else {
            writeKeyText(key);
        }
    }

    // The worker's key intake, first in every pass.
    void syncKeyText(bool& settingsTried) {
        std::string text;
        {
            MutexLock lock(keyMutex);
            text = readKeyText();
        }
        if (text.empty() && !settingsTried) {
            // Marked first, so that a pass that fails while reading still
            // reads the file at most once in the worker's life.
            settingsTried = true;
            const std::string saved = extractKey(loadSavedKey());
            if (!saved.empty()) {
                MutexLock lock(keyMutex);
                writeKeyText(saved);
                text = saved;
            }
        }
        if (text == lastKeyText) {
            return;
        }
        lastKeyText = text;
        pasteFoundNoKey.exchange(false);
        engine.setKey(text);
    }

    void workerLoop() {
        bool settingsTried = false;
        runWorkerLoop(wakeMutex, wakeCondition, stopRequested, kWorkerPacing, [&] {
            try {
                syncKeyText(settingsTried);
                engine.setSendEnabled(loadHostValue(sendSwitch) != 0);
                engine.tick();
            } catch (...) {
            }
        });
    }

    NowPlayingEngine engine;
    char keyText[kKeyTextSize] GUARDED_BY(keyMutex) = {};  // the host writes it without
    int32_t pasteButton = 0;
    int32_t sendSwitch = 1;
    std::atomic<bool> pasteFoundNoKey{false};
    std::string lastKeyText;  // worker thread only
    Mutex keyMutex;
    std::mutex wakeMutex;
    std::condition_variable wakeCondition;
    bool stopRequested = false;
    std::thread worker;
};

}  // namespace

extern "C" ORVALINK_EXPORT int32_t DllGetClassObject(const void* classId, const void* interfaceId,
                                                     void** object) {
    if (std::memcmp(classId, kPluginClassId, sizeof kPluginClassId) != 0 ||
        std::memcmp(interfaceId, kPluginInterfaceId, sizeof kPluginInterfaceId) != 0) {
        return kResultClassNotAvailable;
    }
    try {
        *object = static_cast<IVdjPlugin8*>(new NowPlayingPlugin());
    } catch (...) {
        return kResultOutOfMemory;
    }
    pinLibrary();
    return kResultOk;
}
