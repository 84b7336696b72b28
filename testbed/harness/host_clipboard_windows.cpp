#include <windows.h>

#include <cstring>

#include "host_clipboard.h"

void prepareClipboard() {}

void putTextOnClipboard(const std::string& text) {
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (units <= 0 || !OpenClipboard(nullptr)) {
        return;
    }
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(units) * sizeof(wchar_t));
    if (memory != nullptr) {
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, static_cast<wchar_t*>(GlobalLock(memory)),
                            units);
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
    }
    CloseClipboard();
}
