#include "raw_plugin.h"

namespace validator {

namespace {

thread_local int insideSlot = -1;

// Marks the thread as inside `slot` until the call returns.
class SlotScope {
public:
    explicit SlotScope(int slot) : outer_(insideSlot) { insideSlot = slot; }
    ~SlotScope() { insideSlot = outer_; }

private:
    int outer_;
};

}  // namespace

int currentSlot() {
    return insideSlot;
}

template <typename Result, typename... Args>
Result PluginObject::call(int slot, Args... args) {
    SlotScope scope(slot);
    void** table = *static_cast<void***>(object_);
    return reinterpret_cast<Result (*)(void*, Args...)>(table[slot])(object_, args...);
}

void PluginObject::setHostFields(void* callbacks) {
    void** fields = static_cast<void**>(object_) + 1;
    fields[0] = nullptr;
    fields[1] = callbacks;
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

}  // namespace validator
