#include "plugin_object.h"

#include <atomic>

#include "thread_number.h"

namespace harness {

namespace {

// Which threads are inside which slot: an entry per call in progress, taken
// without a lock so that timing a call does not time a lock as well. More
// calls at once than entries go unmarked.
struct InsideEntry {
    std::atomic<uint64_t> thread{0};
    std::atomic<int> slot{-1};
};
constexpr int kEntries = 256;

InsideEntry* insideTable() {
    static InsideEntry entries[kEntries];
    return entries;
}

}  // namespace

int currentSlot() {
    const uint64_t self = currentThreadNumber();
    for (int i = 0; i < kEntries; ++i) {
        if (insideTable()[i].thread.load() == self) {
            return insideTable()[i].slot.load();
        }
    }
    return -1;
}

SlotScope::SlotScope(int slot) {
    if (slot < 0) {
        return;
    }
    const uint64_t self = currentThreadNumber();
    for (int i = 0; i < kEntries && entry_ == nullptr; ++i) {
        uint64_t free = 0;
        if (insideTable()[i].thread.compare_exchange_strong(free, self)) {
            entry_ = &insideTable()[i];
            static_cast<InsideEntry*>(entry_)->slot = slot;
        }
    }
}

SlotScope::~SlotScope() {
    if (entry_ != nullptr) {
        static_cast<InsideEntry*>(entry_)->slot = -1;
        static_cast<InsideEntry*>(entry_)->thread = 0;
    }
}

PluginObject PluginObject::create(Factory factory, void* callbacks, bool markCalls) {
    void* object = nullptr;
    if (factory == nullptr || factory(kClassId, kInterfaceId, &object) != 0 || object == nullptr) {
        return PluginObject();
    }
    void** fields = static_cast<void**>(object) + 1;
    fields[0] = nullptr;
    fields[1] = callbacks;
    return PluginObject(object, markCalls);
}

int32_t PluginObject::onLoad() {
    return call<int32_t>(kOnLoad);
}
int32_t PluginObject::getPluginInfo(InfoRecord* record) {
    return call<int32_t>(kOnGetPluginInfo, record);
}
uint32_t PluginObject::release() {
    return call<uint32_t>(kRelease);
}
int32_t PluginObject::dispose() {
    return call<int32_t>(kDispose);
}
int32_t PluginObject::onParameter(int32_t id) {
    return call<int32_t>(kOnParameter, id);
}
int32_t PluginObject::getParameterString(int32_t id, char* out, int32_t size) {
    return call<int32_t>(kOnGetParameterString, id, out, size);
}
int32_t PluginObject::getUserInterface(InterfaceRecord* record) {
    return call<int32_t>(kOnGetUserInterface, record);
}

}  // namespace harness
