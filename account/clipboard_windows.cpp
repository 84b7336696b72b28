#include <windows.h>

#include "account/clipboard.h"

namespace {

// The UTF-16 text up to its first NUL, but never past the end of the block:
// another program may have put text there without a terminator.
size_t unitsBeforeNul(const wchar_t* text, size_t room) {
    size_t units = 0;
    while (units < room && text[units] != L'\0') {
        ++units;
    }
    return units;
}

// Converts with the explicit length, so the terminator is not part of the
// conversion and the room asked for is exactly the room given.
std::string wideToUtf8(const wchar_t* text, size_t units) {
    if (units == 0) {
        return {};
    }
    const int length = static_cast<int>(units);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return {};
    }
    std::string utf8(static_cast<size_t>(bytes), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), bytes, nullptr, nullptr) !=
        bytes) {
        return {};
    }
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
            const size_t room = GlobalSize(data) / sizeof(wchar_t);
            text = wideToUtf8(wide, unitsBeforeNul(wide, room));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}
