// A deliberately broken plug-in, built only for the validator's self-test and
// never shipped: it loads the real library named by ORVALINK_PLANTED_TARGET
// and hands out each of its objects wrapped in one planted fault, chosen at
// build time by PLANTED_FAULT:
//   1  OnParameter queries the host (GetInfo) from the host's own thread;
//   2  OnGetParameterString writes one byte past the size it was given;
//   3  OnLoad leaks a thread that never ends, one per object;
//   4  Release never returns;
//   5  OnGetParameterString stalls for 2 ms once in every 200 calls.
// Threads: as the real library's; the wrapper adds no state of its own but
// the wrapped object.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include "plugin_library.h"

namespace {

// The wrapper as the host sees it: our table, the two host fields, then the
// real object.
struct Wrapper {
    void* const* table;
    void* hostInstance;
    void* callbacks;
    void* real;
    std::atomic<int> stringCalls{0};
};

template <typename Result, typename... Args>
Result forward(Wrapper* self, int slot, Args... args) {
    void** realFields = static_cast<void**>(self->real);
    realFields[1] = self->hostInstance;
    realFields[2] = self->callbacks;
    return harness::PluginObject(self->real).call<Result>(slot, args...);
}

[[noreturn]] void blockForever() {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}

int32_t onLoad(Wrapper* self) {
    if (PLANTED_FAULT == 3) {
        std::thread(blockForever).detach();
    }
    return forward<int32_t>(self, harness::kOnLoad);
}

int32_t getPluginInfo(Wrapper* self, void* record) {
    return forward<int32_t>(self, harness::kOnGetPluginInfo, record);
}

uint32_t release(Wrapper* self) {
    if (PLANTED_FAULT == 4) {
        blockForever();
    }
    const uint32_t result = forward<uint32_t>(self, harness::kRelease);
    delete self;
    return result;
}

int32_t dispose(Wrapper* self) {
    release(self);
    return 0;
}

int32_t onParameter(Wrapper* self, int32_t id) {
    if (PLANTED_FAULT == 1 && self->callbacks != nullptr) {
        void** table = *static_cast<void***>(self->callbacks);
        double value = 0;
        reinterpret_cast<int32_t (*)(void*, const char*, double*)>(table[1])(self->callbacks,
                                                                             "sandbox", &value);
    }
    return forward<int32_t>(self, harness::kOnParameter, id);
}

int32_t getParameterString(Wrapper* self, int32_t id, char* out, int32_t size) {
    if (PLANTED_FAULT == 5 && ++self->stringCalls % 200 == 0) {
        // Busy: a platform's sleep may round a short wait either way.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
        while (std::chrono::steady_clock::now() < until) {
        }
    }
    const int32_t result = forward<int32_t>(self, harness::kOnGetParameterString, id, out, size);
    if (PLANTED_FAULT == 2 && result == 0 && size > 0) {
        out[size] = '\0';
    }
    return result;
}

int32_t getUserInterface(Wrapper* self, void* record) {
    return forward<int32_t>(self, harness::kOnGetUserInterface, record);
}

void* const kTable[7] = {
    reinterpret_cast<void*>(&onLoad),          reinterpret_cast<void*>(&getPluginInfo),
    reinterpret_cast<void*>(&release),         reinterpret_cast<void*>(&dispose),
    reinterpret_cast<void*>(&onParameter),     reinterpret_cast<void*>(&getParameterString),
    reinterpret_cast<void*>(&getUserInterface)};

}  // namespace

#ifdef _WIN32
#define PLANTED_EXPORT __declspec(dllexport)
#else
#define PLANTED_EXPORT __attribute__((visibility("default")))
#endif

extern "C" PLANTED_EXPORT int32_t DllGetClassObject(const void* classId, const void* interfaceId,
                                                    void** object) {
    static const harness::Factory real = [] {
        const char* target = std::getenv("ORVALINK_PLANTED_TARGET");
        std::string error;
        return target != nullptr ? harness::loadPlugin(target, error) : nullptr;
    }();
    void* made = nullptr;
    const int32_t result = real != nullptr ? real(classId, interfaceId, &made) : -1;
    if (result != 0) {
        return result;
    }
    *object = new Wrapper{kTable, nullptr, nullptr, made, {}};
    return 0;
}
