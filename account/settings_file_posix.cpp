// On POSIX desktops the settings live in the XDG configuration folder:
// $XDG_CONFIG_HOME/Orvalink/now-playing.json, or ~/.config/Orvalink/... .
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "account/settings_file.h"
#include "service/json_reader.h"

namespace {

std::string configFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg != '\0') {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? std::string(home) + "/.config" : std::string();
}

}  // namespace

std::string loadSavedKey() {
    const std::string folder = configFolder();
    if (folder.empty()) {
        return {};
    }
    std::ifstream file(folder + "/Orvalink/now-playing.json", std::ios::binary);
    if (!file) {
        return {};
    }
    const std::string content((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
    return jsonStringField(content, "key");
}
