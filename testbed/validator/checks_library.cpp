// The library loaded and freed again and again, as a host that unloads its
// plug-ins between uses does: each cycle loads it, makes an object, loads and
// releases it, and frees the library. Afterwards the process must have its
// threads, handles and memory back. It runs on a copy of the library under a
// name of its own, since the run keeps the library under test loaded.
#include <filesystem>
#include <memory>

#include "checks.h"
#include "plugin_library.h"
#include "process_resources.h"

namespace validator {

namespace {

// One cycle; a reason when it went wrong, else empty.
std::string cycle(Context& context, const std::string& copy, int number) {
    std::string error;
    const PluginLibrary library = openPlugin(copy, error);
    if (library.factory == nullptr) {
        if (library.handle != nullptr) {
            closePlugin(library);
        }
        return "cannot load the library: " + error;
    }
    auto host = std::make_unique<FakeHost>();
    Instance instance{PluginObject::create(library.factory, host->callbackObject()), host.get()};
    if (!instance) {
        closePlugin(library);
        return "the factory gave no object";
    }
    host->setScript(steadyDeck("Unloaded title", "Unloaded artist"));
    instance.plugin.onLoad();
    host->writeKeyText(keyFor("Unload", number));
    // A Release that has not returned still runs the library's code: the
    // library stays loaded under it, and its host stays too.
    if (context.timedRelease(instance, false, 5000) < 0) {
        host.release();
        return "Release had not returned after 5 s";
    }
    closePlugin(library);
    return {};
}

void runLibraryChecks(Context& context) {
    const std::filesystem::path copy =
        std::filesystem::path(temporaryFolder()) /
        ("unloaded" + std::filesystem::path(context.options.plugin).extension().string());
    std::error_code failed;
    std::filesystem::copy_file(context.options.plugin, copy,
                               std::filesystem::copy_options::overwrite_existing, failed);
    if (failed) {
        context.report("library.load_unload", false,
                       "cannot copy the library: " + failed.message());
        return;
    }
    const int cycles = context.scaled(100, 2000);
    std::string fault = cycle(context, copy.string(), -1);
    const Resources before = measureResources();
    Resources halfway;
    for (int n = 0; n < cycles && fault.empty(); ++n) {
        if (n == cycles / 2) {
            halfway = measureResources();
        }
        fault = cycle(context, copy.string(), n);
        if (!fault.empty()) {
            fault = "cycle " + std::to_string(n) + ": " + fault;
        }
    }
    if (!fault.empty()) {
        context.report("library.load_unload", false, fault);
        return;
    }
    std::string text;
    const bool back = resourcesBack(before, halfway, cycles - cycles / 2, text);
    context.report("library.load_unload", back,
                   std::to_string(cycles) + " cycles of load, object, Release, free; " + text);
}

}  // namespace

const CheckGroup kLibraryGroup = {
    CheckGroup::Alone,
    "library",
    runLibraryChecks,
    {{"library.load_unload", 1, 0,
      "the library loaded, an object made, loaded, released, the library freed, again and again: "
      "threads, handles and memory back"}}};

}  // namespace validator
