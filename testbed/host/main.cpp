// orvalink-stand-in-host: loads the plug-in as the DJ application does and
// plays a scripted DJ set to it, printing the status line as a skin shows it.
//   orvalink-stand-in-host --plugin LIBRARY --set SET_FILE
// It answers the plug-in's script queries from the set's deck state, writes
// parameter variables through the addresses the plug-in declared and then
// calls OnParameter, and reads the status line every 100 ms; "savekey KEY"
// saves a key in the settings file, as a DJ would by hand.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

#include "dj_set.h"
#include "host_clipboard.h"
#include "plugin_library.h"
#include "settings_folder.h"

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point started = Clock::now();

void say(const std::string& what) {
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf("[%7.1fs] %s\n", seconds, what.c_str());
    std::fflush(stdout);
}

// What a DJ does by hand: saves a key in the settings file the plug-in
// reads. Its folder must exist.
void saveKey(const std::string& key) {
    std::ofstream(harness::settingsFilePath()) << "{\"key\": \"" << key << "\"}\n";
}

// The recording host, and each declaration shown as the plug-in makes it.
class StandInHost : public harness::FakeHost {
    void declared(int32_t id, int32_t kind, const char* name, const char* shortName,
                  float defaultValue) override {
        FakeHost::declared(id, kind, name, shortName, defaultValue);
        say("declared parameter " + std::to_string(id) + " \"" + name + "\" (\"" + shortName +
            "\", kind " + std::to_string(kind) + ", default " +
            std::to_string(static_cast<int>(defaultValue)) + ")");
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::string pluginPath, setPath;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--plugin") == 0)
            pluginPath = argv[i + 1];
        if (std::strcmp(argv[i], "--set") == 0)
            setPath = argv[i + 1];
    }
    if (pluginPath.empty() || setPath.empty()) {
        std::fprintf(stderr, "usage: orvalink-stand-in-host --plugin LIBRARY --set SET_FILE\n");
        return 2;
    }
    std::string error;
    const auto events = readSet(setPath, error);
    if (!events) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    prepareClipboard();
    const harness::Factory getClassObject = harness::loadPlugin(pluginPath, error);
    if (getClassObject == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", pluginPath.c_str(), error.c_str());
        return 1;
    }
    DeckState decks;
    StandInHost callbacks;
    callbacks.setScript(decks.script());
    harness::PluginObject plugin =
        harness::PluginObject::create(getClassObject, callbacks.callbackObject());
    if (plugin.address() == nullptr) {
        std::fprintf(stderr, "DllGetClassObject refused to create the plug-in\n");
        return 1;
    }

    harness::InfoRecord info = {};
    plugin.getPluginInfo(&info);
    say(std::string("loaded ") + info.name + " " + info.version + " by " + info.author);
    harness::InterfaceRecord skin = {};
    plugin.getUserInterface(&skin);
    say("skin: " + std::to_string(std::strlen(skin.xml)) + " bytes of XML, " +
        std::to_string(skin.imageSize) + " bytes of PNG");

    started = Clock::now();
    plugin.onLoad();
    if (callbacks.variable(1) == nullptr || callbacks.variable(2) == nullptr ||
        callbacks.variable(3) == nullptr) {
        std::fprintf(stderr, "the plug-in did not declare its three parameters\n");
        return 1;
    }

    std::atomic<bool> reading{true};
    std::thread statusReader([&] {
        std::string shown;
        while (reading) {
            char text[512];
            plugin.getParameterString(1, text, sizeof text);
            if (shown != text) {
                shown = text;
                say("status: " + shown);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });

    for (const SetEvent& event : *events) {
        std::this_thread::sleep_until(started + std::chrono::duration<double>(event.at));
        say("set: " + event.action + (event.rest.empty() ? "" : " " + event.rest));
        if (event.action == "key" || event.action == "clearkey") {
            callbacks.typeKey(plugin, event.action == "key" ? event.rest : "");
        } else if (event.action == "paste") {
            callbacks.paste(plugin, event.rest);
        } else if (event.action == "savekey") {
            saveKey(event.rest);
        } else if (event.action == "switch") {
            callbacks.setSwitch(plugin, event.rest == "on" ? 1 : 0);
        } else if (event.action == "end") {
            break;
        } else if (!decks.apply(event)) {
            std::fprintf(stderr, "unknown set action \"%s\"\n", event.action.c_str());
        }
    }

    reading = false;
    statusReader.join();
    const auto releaseStart = Clock::now();
    plugin.release();
    const auto releaseTook =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - releaseStart);
    say("released in " + std::to_string(releaseTook.count()) + " ms after " +
        std::to_string(callbacks.findings().queries) + " host queries");
    return 0;
}
