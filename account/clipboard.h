// Reads the text the user copied, for the "Paste key" button.
// One file per platform: the Windows clipboard's Unicode text, or on POSIX
// desktops the first clipboard tool present (wl-paste, xclip, pbpaste).
//
// Thread: a host thread (the paste runs inside OnParameter); no lock held.
#pragma once

#include <string>

// The clipboard's text as UTF-8, or empty text when it holds none or cannot
// be read.
std::string readClipboardText();
