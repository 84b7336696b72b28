// Natively the plug-in reads the clipboard through a desktop tool; the host
// puts a wl-paste of its own first on PATH, which prints what it was given.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "host_clipboard.h"

namespace {

std::string clipboardFolder() {
    return "/tmp/orvalink-stand-in-host-" + std::to_string(getpid());
}

}  // namespace

void prepareClipboard() {
    const std::string folder = clipboardFolder();
    mkdir(folder.c_str(), 0700);
    std::ofstream(folder + "/wl-paste") << "#!/bin/sh\nexec cat '" << folder << "/clipboard'\n";
    chmod((folder + "/wl-paste").c_str(), 0700);
    std::ofstream(folder + "/clipboard");
    const char* path = std::getenv("PATH");
    setenv("PATH", (folder + ":" + (path ? path : "")).c_str(), 1);
    std::atexit([] {
        const std::string f = clipboardFolder();
        unlink((f + "/wl-paste").c_str());
        unlink((f + "/clipboard").c_str());
        rmdir(f.c_str());
    });
}

void putTextOnClipboard(const std::string& text) {
    std::ofstream(clipboardFolder() + "/clipboard", std::ios::binary) << text;
}
