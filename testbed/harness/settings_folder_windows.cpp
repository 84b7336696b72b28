#include <windows.h>

#include "settings_folder.h"

namespace harness {

void useSettingsFolder(const std::string& folder) {
    if (!folder.empty()) {
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    SetEnvironmentVariableA("APPDATA", folder.empty() ? nullptr : folder.c_str());
}

std::string settingsFilePath() {
    char folder[MAX_PATH + 1] = {};
    GetEnvironmentVariableA("APPDATA", folder, sizeof folder);
    return std::string(folder) + "\\Orvalink\\now-playing.json";
}

}  // namespace harness
