#include <dlfcn.h>

#include "plugin_library.h"

namespace harness {

PluginLibrary openPlugin(const std::string& path, std::string& error) {
    PluginLibrary library;
    library.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library.handle == nullptr) {
        error = dlerror();
        return library;
    }
    library.factory = reinterpret_cast<Factory>(dlsym(library.handle, "DllGetClassObject"));
    if (library.factory == nullptr) {
        error = "no DllGetClassObject export";
    }
    return library;
}

void closePlugin(const PluginLibrary& library) {
    dlclose(library.handle);
}

}  // namespace harness
