// Where the plug-in looks for its settings file, as a host of ours sets it
// up: the application-data folder on Windows (APPDATA), the configuration
// folder elsewhere (XDG_CONFIG_HOME, else ~/.config). One file per platform.
// Thread: the host's main thread, before the objects that read it.
#pragma once

#include <string>

namespace harness {

// Points the plug-in's lookup at `folder` (created first); empty: at none.
void useSettingsFolder(const std::string& folder);

// The settings file the plug-in reads, as the lookup stands now.
std::string settingsFilePath();

}  // namespace harness
