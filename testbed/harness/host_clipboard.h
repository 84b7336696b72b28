// Putting text on the clipboard the plug-in reads, as a DJ copies a key. One
// file per platform. Thread: the host's main thread.
#pragma once

#include <string>

// Makes `text` what the plug-in's clipboard read returns.
void putTextOnClipboard(const std::string& text);

// Prepares the clipboard for putTextOnClipboard; called before the plug-in loads.
void prepareClipboard();
