// The plug-in's binary contract as every host of ours sees it (the stand-in
// host, the probe, the ABI tests, the validator and its planted plug-ins),
// written down anew here rather than taken from the plug-in's own headers,
// so that a fault in those headers shows: the factory's signature and
// identifiers, the object's seven slots called by position, the two host
// fields after the table pointer, and the two records the plug-in fills.
//
// Threads: a PluginObject may be called from any thread; each call marks its
// thread as being inside that slot for the call's duration, which is how a
// host tells a callback made from inside a host call.
#pragma once

#include <cstdint>

namespace harness {

constexpr uint32_t kResultClassNotAvailable = 0x80040111u;
constexpr uint32_t kResultNotImplemented = 0x80004001u;

constexpr unsigned char kClassId[16] = {0x87, 0x8D, 0x8A, 0xED, 0xF9, 0xF4, 0xCD, 0x4D,
                                        0xBD, 0x24, 0x29, 0x14, 0x12, 0xE9, 0x3B, 0x60};
constexpr unsigned char kInterfaceId[16] = {0xA1, 0x0E, 0xD9, 0xA1, 0x0D, 0x4D, 0xDD, 0x42,
                                            0xA4, 0xD0, 0xB8, 0xF3, 0x37, 0xB3, 0x21, 0xF1};

using Factory = int32_t (*)(const void* classId, const void* interfaceId, void** object);

// Slot numbers of the object's table.
enum Slot : int {
    kOnLoad = 0,
    kOnGetPluginInfo = 1,
    kRelease = 2,
    kDispose = 3,
    kOnParameter = 4,
    kOnGetParameterString = 5,
    kOnGetUserInterface = 6,
};

// The information record: four texts, a pointer-sized field, a 32-bit field.
struct InfoRecord {
    const char* name;
    const char* author;
    const char* description;
    const char* version;
    void* pointerField;
    int32_t intField;
};

// The interface record: kind, XML text, PNG bytes, PNG length.
struct InterfaceRecord {
    int32_t kind;
    const char* xml;
    const void* image;
    int32_t imageSize;
};

// Marks the calling thread as inside `slot` while it lives (no slot: -1).
class SlotScope {
public:
    explicit SlotScope(int slot);
    ~SlotScope();
    SlotScope(const SlotScope&) = delete;
    SlotScope& operator=(const SlotScope&) = delete;

private:
    void* entry_ = nullptr;  // this call's entry in the table of calls in progress
};

// The slot the calling thread is inside, or -1 when it is in no host call.
// (Any thread may ask, the plug-in's own included.)
int currentSlot();

// One plug-in object, reached through raw memory alone.
class PluginObject {
public:
    // `markCalls` false leaves the calls unmarked, for hosts that time them.
    explicit PluginObject(void* object = nullptr, bool markCalls = true)
        : object_(object), markCalls_(markCalls) {}
    void* address() const { return object_; }

    // A new object from `factory` with its two host fields filled: the first
    // (never read) null, the second `callbacks`. No object (a null address)
    // when the factory refuses.
    static PluginObject create(Factory factory, void* callbacks, bool markCalls = true);

    int32_t onLoad();
    int32_t getPluginInfo(InfoRecord* record);
    uint32_t release();
    int32_t dispose();
    int32_t onParameter(int32_t id);
    int32_t getParameterString(int32_t id, char* out, int32_t size);
    int32_t getUserInterface(InterfaceRecord* record);

    // Any slot, by number, with whatever arguments: for hosts that probe
    // the table itself, and wrappers that forward to it.
    template <typename Result, typename... Args>
    Result call(int slot, Args... args);

private:
    void* object_;
    bool markCalls_;
};

template <typename Result, typename... Args>
Result PluginObject::call(int slot, Args... args) {
    SlotScope scope(markCalls_ ? slot : -1);
    void** table = *static_cast<void***>(object_);
    return reinterpret_cast<Result (*)(void*, Args...)>(table[slot])(object_, args...);
}

}  // namespace harness
