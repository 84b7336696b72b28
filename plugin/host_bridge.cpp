#include "plugin/host_bridge.h"

#include <cstring>

#include "service/text_ops.h"

namespace {

constexpr int32_t kTextRoom = 512;

}  // namespace

bool hostNumber(IVdjPlugin8& plugin, const std::string& command, double& result) {
    return plugin.callbacks->GetInfo(command.c_str(), &result) == kResultOk;
}

std::string hostText(IVdjPlugin8& plugin, const std::string& command) {
    char buffer[kTextRoom] = {};
    if (plugin.callbacks->GetStringInfo(command.c_str(), buffer, kTextRoom) != kResultOk) {
        return {};
    }
    buffer[kTextRoom - 1] = '\0';
    return validUtf8(buffer, std::strlen(buffer));
}
