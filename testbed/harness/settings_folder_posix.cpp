#include <sys/stat.h>

#include <cstdlib>

#include "settings_folder.h"

namespace harness {

void useSettingsFolder(const std::string& folder) {
    if (folder.empty()) {
        unsetenv("XDG_CONFIG_HOME");
        return;
    }
    mkdir(folder.c_str(), 0700);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
}

std::string settingsFilePath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    return (config != nullptr ? std::string(config)
                              : std::string(home != nullptr ? home : "") + "/.config") +
           "/Orvalink/now-playing.json";
}

}  // namespace harness
