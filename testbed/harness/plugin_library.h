// Loading the plug-in library by path, as a host does, and freeing it again.
// One file per platform (LoadLibraryW and FreeLibrary, dlopen and dlclose).
// Any thread; no state of ours.
#pragma once

#include <string>

#include "plugin_object.h"

namespace harness {

// A loaded library: the system's handle and its DllGetClassObject.
struct PluginLibrary {
    void* handle = nullptr;
    Factory factory = nullptr;
};

// Loads the library and finds DllGetClassObject; no factory on failure, with
// `error` set (the library may still be loaded: close it).
PluginLibrary openPlugin(const std::string& path, std::string& error);
// Gives the library back to the system.
void closePlugin(const PluginLibrary& library);

// openPlugin's factory, for hosts that keep the library to the end.
inline Factory loadPlugin(const std::string& path, std::string& error) {
    return openPlugin(path, error).factory;
}

}  // namespace harness
