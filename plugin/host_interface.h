// The host's plug-in interface as this plug-in uses it: the object's table of
// seven operations with the two fields the host fills in, the host's callback
// object, and the two records the plug-in fills. Layouts and slot orders are
// the binary contract with the host; nothing here may be reordered.
//
// Threads: the host calls the plug-in's operations on threads of its own; the
// plug-in's worker calls GetInfo and GetStringInfo. No lock is held across any
// of these calls.
#pragma once

#include <cstdint>

// Result codes.
inline constexpr int32_t kResultOk = 0;
inline constexpr int32_t kResultNotImplemented = static_cast<int32_t>(0x80004001u);
inline constexpr int32_t kResultClassNotAvailable = static_cast<int32_t>(0x80040111u);
inline constexpr int32_t kResultOutOfMemory = static_cast<int32_t>(0x8007000Eu);

// Parameter kinds that DeclareParameter takes.
inline constexpr int32_t kParameterButton = 0;
inline constexpr int32_t kParameterSwitch = 2;
inline constexpr int32_t kParameterText = 3;

// The host's callback object; its slots are called in this order by position.
class HostCallbacks {
public:
    // Slot 0: never called by this plug-in.
    virtual int32_t SendCommand(const char* command) = 0;
    // Slot 1: numeric script query; 0 means the host answered and wrote *result.
    virtual int32_t GetInfo(const char* command, double* result) = 0;
    // Slot 2: text script query into `buffer` of `size` bytes; 0 means answered.
    virtual int32_t GetStringInfo(const char* command, char* buffer, int32_t size) = 0;
    // Slot 3: declares a parameter whose variable the host then writes directly.
    virtual int32_t DeclareParameter(void* variable, int32_t kind, int32_t id, const char* name,
                                     const char* shortName, float defaultValue) = 0;
};

// Filled by OnGetPluginInfo. The texts are the plug-in's static constants.
struct PluginInfo {
    const char* name;
    const char* author;
    const char* description;
    const char* version;
    void* reserved;  // always null
    int32_t flags;   // always 0
};

// Filled by OnGetUserInterface: a skin given as XML text plus one PNG image.
struct InterfaceRecord {
    int32_t kind;  // 1: XML text and one image
    const char* xml;
    const void* image;
    int32_t imageSize;
};

// The plug-in object as the host sees it. The host owns it from creation and
// ends it through Release (or the disposal slot), never through delete.
class IVdjPlugin8 {
public:
    // Slot 0, host thread: declares the parameters and starts the worker.
    virtual int32_t OnLoad() = 0;
    // Slot 1, host thread: fills the information record.
    virtual int32_t OnGetPluginInfo(PluginInfo* info) = 0;
    // Slot 2, host thread: stops the worker, waits for it, destroys the object.
    virtual uint32_t Release() = 0;
    // Slot 3, host thread: the same as Release.
    virtual int32_t Dispose() = 0;
    // Slot 4, host thread: the host changed parameter `id`.
    virtual int32_t OnParameter(int32_t id) = 0;
    // Slot 5, host thread: the text shown for parameter `id`.
    virtual int32_t OnGetParameterString(int32_t id, char* out, int32_t outSize) = 0;
    // Slot 6, host thread: hands out the embedded skin.
    virtual int32_t OnGetUserInterface(InterfaceRecord* record) = 0;

    // Filled in by the host after creation; the plug-in never writes them.
    void* hostInstance;  // never read by the plug-in
    HostCallbacks* callbacks;

protected:
    IVdjPlugin8() {}  // leaves both host fields to the host
    ~IVdjPlugin8() = default;
};
