// Reading the clipboard: the real Windows clipboard under Wine, or stand-in
// clipboard tools on PATH elsewhere.
#include <gtest/gtest.h>

#include "account/clipboard.h"

#ifdef _WIN32
#include <windows.h>

#include <cstring>
#include <string>

namespace {

// Replaces the clipboard's content with one format's bytes, or empties it,
// through a window of its own, as another program would: a read that left
// the clipboard open makes this fail.
void putOnClipboard(UINT format, const void* bytes, size_t size) {
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(OpenClipboard(window)) << "the clipboard was left open";
    EmptyClipboard();
    if (bytes != nullptr) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
        std::memcpy(GlobalLock(memory), bytes, size);
        GlobalUnlock(memory);
        ASSERT_NE(SetClipboardData(format, memory), nullptr);
    }
    CloseClipboard();
    DestroyWindow(window);
}

TEST(Clipboard, ReadsUnicodeTextAsUtf8) {
    const wchar_t text[] = L"Key: d\u00e9j\u00e0 \U0001F3A7 zvknp_x";
    putOnClipboard(CF_UNICODETEXT, text, sizeof text);
    EXPECT_EQ(readClipboardText(), "Key: d\xC3\xA9j\xC3\xA0 \xF0\x9F\x8E\xA7 zvknp_x");
}

// Another program may put text there without a terminating NUL: the read
// stops at the end of the block, and the conversion's result is checked.
TEST(Clipboard, UnterminatedTextIsReadToTheEndOfItsBlockOnly) {
    std::wstring text = L"zvknp_AnnAnnAnnAnnAnnAnnAnnAnnAnnAnn01";
    text.resize(4096, L'x');
    putOnClipboard(CF_UNICODETEXT, text.data(), text.size() * sizeof(wchar_t));
    // Wine itself ends such text in the block's last unit; Windows need not.
    const std::string read = readClipboardText();
    EXPECT_GE(read.size(), text.size() - 1);
    EXPECT_LE(read.size(), text.size());
    EXPECT_EQ(read.find_first_not_of('x', 38), std::string::npos);
}

TEST(Clipboard, EmptyOrImageOnlyClipboardGivesNothing) {
    putOnClipboard(0, nullptr, 0);
    EXPECT_EQ(readClipboardText(), "");

    BITMAPINFOHEADER image = {};
    image.biSize = sizeof image;
    image.biWidth = 1;
    image.biHeight = 1;
    image.biPlanes = 1;
    image.biBitCount = 32;
    unsigned char dib[sizeof image + 4] = {};
    std::memcpy(dib, &image, sizeof image);
    putOnClipboard(CF_DIB, dib, sizeof dib);
    EXPECT_EQ(readClipboardText(), "");

    const wchar_t empty[] = L"";
    putOnClipboard(CF_UNICODETEXT, empty, sizeof empty);
    EXPECT_EQ(readClipboardText(), "");
    putOnClipboard(0, nullptr, 0);
}

}  // namespace

#else
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

// A folder standing in for PATH with one clipboard tool written as a script.
class ClipboardTools : public ::testing::Test {
protected:
    fs::path bin = fs::temp_directory_path() / "orvalink-clipboard-tools";
    std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";

    void SetUp() override {
        fs::remove_all(bin);
        fs::create_directories(bin);
        setenv("PATH", bin.c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", savedPath.c_str(), 1);
        fs::remove_all(bin);
    }
    void tool(const std::string& name, const std::string& script) {
        std::ofstream(bin / name) << "#!/bin/sh\n" << script << "\n";
        chmod((bin / name).c_str(), 0755);
    }
};

TEST_F(ClipboardTools, NoToolGivesNothing) {
    EXPECT_EQ(readClipboardText(), "");
}

TEST_F(ClipboardTools, TakesTheFirstToolPresentAndPassesItsArguments) {
    tool("xclip", "[ \"$*\" = '-selection clipboard -o' ] && printf 'from xclip \\303\\251'");
    tool("pbpaste", "printf 'from pbpaste'");
    EXPECT_EQ(readClipboardText(), "from xclip \xC3\xA9");
    tool("wl-paste", "printf 'from wl-paste'");
    EXPECT_EQ(readClipboardText(), "from wl-paste");
}

TEST_F(ClipboardTools, FailingOrHangingToolGivesNothing) {
    tool("wl-paste", "printf partial; exit 1");
    EXPECT_EQ(readClipboardText(), "");
    tool("wl-paste", "printf partial; exec /bin/sleep 30");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(readClipboardText(), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
#endif
