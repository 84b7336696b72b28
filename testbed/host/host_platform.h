// What the stand-in host needs from its platform: loading the plug-in library
// and putting text on the clipboard the plug-in reads.
// Thread: the host's main thread.
#pragma once

#include <cstdint>
#include <string>

using GetClassObjectFunction = int32_t (*)(const void* classId, const void* interfaceId,
                                           void** object);

// Loads the library and finds DllGetClassObject; null on failure, with `error` set.
GetClassObjectFunction loadPlugin(const std::string& path, std::string& error);

// Makes `text` what the plug-in's clipboard read returns.
void putTextOnClipboard(const std::string& text);

// Prepares the clipboard for putTextOnClipboard; called before the plug-in loads.
void prepareClipboard();
