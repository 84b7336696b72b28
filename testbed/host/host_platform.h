// What the stand-in host needs from its platform: loading the plug-in library
// and putting text on the clipboard the plug-in reads.
// Thread: the host's main thread.
#pragma once

#include <cstdint>
#include <string>

using GetClassObjectFunction = int32_t (*)(const void* classId, const void* interfaceId,
                                           void** object);

// A loaded library: the system's handle and its DllGetClassObject.
struct PluginLibrary {
    void* handle = nullptr;
    GetClassObjectFunction factory = nullptr;
};

// Loads the library and finds DllGetClassObject; no factory on failure, with
// `error` set (the library may still be loaded: close it).
PluginLibrary openPlugin(const std::string& path, std::string& error);
// Gives the library back to the system: FreeLibrary, or dlclose.
void closePlugin(const PluginLibrary& library);

// openPlugin's factory, for hosts that keep the library to the end.
inline GetClassObjectFunction loadPlugin(const std::string& path, std::string& error) {
    return openPlugin(path, error).factory;
}

// Makes `text` what the plug-in's clipboard read returns.
void putTextOnClipboard(const std::string& text);

// Prepares the clipboard for putTextOnClipboard; called before the plug-in loads.
void prepareClipboard();
