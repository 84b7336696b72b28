#include <windows.h>

#include "account/clipboard.h"

namespace {

std::string wideToUtf8(const wchar_t* text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) {
        return {};
    }
    std::string utf8(static_cast<size_t>(bytes - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), bytes - 1, nullptr, nullptr);
    return utf8;
}

}  // namespace

std::string readClipboardText() {
    if (!OpenClipboard(nullptr)) {
        return {};
    }
    std::string text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = wideToUtf8(wide);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}
