// The host's side of the plug-in's binary contract: the callback object the
// plug-in reaches through its second host field, and what the host answers.
// The object begins with a table of four functions the plug-in calls by
// position (send a command, a number query, a text query, declare a
// parameter); a HostSide is what those functions lead to. Each host of ours
// derives from it and answers in its own way. The parameters the plug-in
// declares are noted here, and written the way the DJ application writes
// them: directly, one atomic value at a time, while the plug-in's worker
// reads them.
//
// Threads: callbacks come on whatever thread the plug-in makes them from; a
// derived host guards its own state. The noted variables are atomics.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "plugin_object.h"

namespace harness {

class HostSide {
public:
    HostSide();
    virtual ~HostSide() = default;
    HostSide(const HostSide&) = delete;
    HostSide& operator=(const HostSide&) = delete;

    // What goes into the plug-in object's second host field.
    void* callbackObject() { return &callbacks_; }

    virtual int32_t sendCommand(const char* command);
    virtual int32_t getInfo(const char* command, double* value) = 0;
    virtual int32_t getStringInfo(const char* command, char* buffer, int32_t size) = 0;
    // After the declaration of parameter `id` was noted: for hosts that
    // record or report it.
    virtual void declared(int32_t id, int32_t kind, const char* name, const char* shortName,
                          float defaultValue);

    // The variable declared as parameter `id` (1 to 3), null until then; its kind.
    void* variable(int id) const { return variables_[id].load(); }
    int32_t kind(int id) const { return kinds_[id].load(); }
    // The host's own writes of the variables.
    void writeKeyText(const std::string& text);
    void writeInt(int id, int32_t value);

    // What the DJ does in the plug-in's panel: the variable written as the
    // host writes it, then the plug-in told. A paste puts `clipboard` on the
    // clipboard, then presses and releases the button.
    void typeKey(PluginObject& plugin, const std::string& key);
    void paste(PluginObject& plugin, const std::string& clipboard);
    void setSwitch(PluginObject& plugin, int32_t value);

private:
    struct CallbackObject {
        void* const* table;
        HostSide* host;
    };
    static int32_t declareParameter(CallbackObject* self, void* variable, int32_t kind, int32_t id,
                                    const char* name, const char* shortName, float defaultValue);
    static int32_t sendCommandEntry(CallbackObject* self, const char* command);
    static int32_t getInfoEntry(CallbackObject* self, const char* command, double* value);
    static int32_t getStringInfoEntry(CallbackObject* self, const char* command, char* buffer,
                                      int32_t size);

    CallbackObject callbacks_;
    std::atomic<void*> variables_[4] = {};
    std::atomic<int32_t> kinds_[4] = {-1, -1, -1, -1};
};

// Copies `text` into a host buffer as a host would: NUL-terminated, cut to
// fit; 1 (no answer) when the buffer holds nothing.
int32_t answerText(const std::string& text, char* buffer, int32_t size);

}  // namespace harness
