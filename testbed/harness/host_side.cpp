#include "host_side.h"

#include <algorithm>
#include <cstring>

#include "host_clipboard.h"

namespace harness {

namespace {

constexpr size_t kKeyTextSize = 64;

}  // namespace

HostSide::HostSide() {
    static void* const table[4] = {reinterpret_cast<void*>(&HostSide::sendCommandEntry),
                                   reinterpret_cast<void*>(&HostSide::getInfoEntry),
                                   reinterpret_cast<void*>(&HostSide::getStringInfoEntry),
                                   reinterpret_cast<void*>(&HostSide::declareParameter)};
    callbacks_ = {table, this};
}

int32_t HostSide::sendCommand(const char*) {
    return 1;
}

void HostSide::declared(int32_t, int32_t, const char*, const char*, float) {}

void HostSide::writeKeyText(const std::string& text) {
    char* bytes = static_cast<char*>(variable(1));
    for (size_t i = 0; i < kKeyTextSize; ++i) {
        std::atomic_ref<char>(bytes[i]).store(i < text.size() && i < kKeyTextSize - 1 ? text[i]
                                                                                      : '\0');
    }
}

void HostSide::writeInt(int id, int32_t value) {
    std::atomic_ref<int32_t>(*static_cast<int32_t*>(variable(id))).store(value);
}

void HostSide::typeKey(PluginObject& plugin, const std::string& key) {
    writeKeyText(key);
    plugin.onParameter(1);
}

void HostSide::paste(PluginObject& plugin, const std::string& clipboard) {
    putTextOnClipboard(clipboard);
    writeInt(2, 1);
    plugin.onParameter(2);
    writeInt(2, 0);
    plugin.onParameter(2);
}

void HostSide::setSwitch(PluginObject& plugin, int32_t value) {
    writeInt(3, value);
    plugin.onParameter(3);
}

int32_t HostSide::declareParameter(CallbackObject* self, void* variable, int32_t kind, int32_t id,
                                   const char* name, const char* shortName, float defaultValue) {
    if (id >= 1 && id <= 3) {
        self->host->variables_[id] = variable;
        self->host->kinds_[id] = kind;
    }
    self->host->declared(id, kind, name, shortName, defaultValue);
    return 0;
}

int32_t HostSide::sendCommandEntry(CallbackObject* self, const char* command) {
    return self->host->sendCommand(command);
}

int32_t HostSide::getInfoEntry(CallbackObject* self, const char* command, double* value) {
    return self->host->getInfo(command, value);
}

int32_t HostSide::getStringInfoEntry(CallbackObject* self, const char* command, char* buffer,
                                     int32_t size) {
    return self->host->getStringInfo(command, buffer, size);
}

int32_t answerText(const std::string& text, char* buffer, int32_t size) {
    if (size <= 0) {
        return 1;
    }
    const size_t length = std::min(text.size(), static_cast<size_t>(size) - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return 0;
}

}  // namespace harness
