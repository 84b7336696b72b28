#include <windows.h>

#include "plugin_library.h"

namespace harness {

PluginLibrary openPlugin(const std::string& path, std::string& error) {
    const int units = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(units > 0 ? units : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), units);
    PluginLibrary library;
    const HMODULE module = LoadLibraryW(wide.c_str());
    if (module == nullptr) {
        error = "LoadLibraryW failed with error " + std::to_string(GetLastError());
        return library;
    }
    library.handle = module;
    library.factory = reinterpret_cast<Factory>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    if (library.factory == nullptr) {
        error = "no DllGetClassObject export";
    }
    return library;
}

void closePlugin(const PluginLibrary& library) {
    FreeLibrary(static_cast<HMODULE>(library.handle));
}

}  // namespace harness
