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

// The clipboard, open for as long as this lives. It closes on every way out,
// a failed allocation included: left open, no program on the PC could copy or
// paste until the host exits.
class OpenClipboardScope {
public:
    OpenClipboardScope() : open_(OpenClipboard(nullptr) != 0) {}
    ~OpenClipboardScope() {
        if (open_) {
            CloseClipboard();
        }
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    bool isOpen() const { return open_; }

private:
    const bool open_;
};

// A clipboard block's memory, locked for as long as this lives.
class GlobalLockScope {
public:
    explicit GlobalLockScope(HANDLE block) : block_(block), data_(GlobalLock(block)) {}
    ~GlobalLockScope() {
        if (data_ != nullptr) {
            GlobalUnlock(block_);
        }
    }
    GlobalLockScope(const GlobalLockScope&) = delete;
    GlobalLockScope& operator=(const GlobalLockScope&) = delete;
    const wchar_t* text() const { return static_cast<const wchar_t*>(data_); }
    size_t units() const { return GlobalSize(block_) / sizeof(wchar_t); }

private:
    const HANDLE block_;
    void* const data_;
};

}  // namespace

std::string readClipboardText() {
    const OpenClipboardScope clipboard;
    if (!clipboard.isOpen()) {
        return {};
    }
    HANDLE block = GetClipboardData(CF_UNICODETEXT);
    if (block == nullptr) {
        return {};
    }
    const GlobalLockScope locked(block);
    if (locked.text() == nullptr) {
        return {};
    }
    return wideToUtf8(locked.text(), unitsBeforeNul(locked.text(), locked.units()));
}
