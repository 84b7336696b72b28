// The saved-key lookup against real files in a scratch folder: the Windows
// build through APPDATA (wide paths end to end), elsewhere XDG_CONFIG_HOME.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "account/settings_file.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;

const std::string kKey = "zvknp_AbCdEfGhIjKlMnOpQrStUvWxYz012_-9";

// Points the settings lookup at `folder`, or at nothing.
void setConfigRoot(const fs::path* folder) {
#ifdef _WIN32
    SetEnvironmentVariableW(L"APPDATA", folder ? folder->wstring().c_str() : nullptr);
#else
    if (folder) {
        setenv("XDG_CONFIG_HOME", folder->string().c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("HOME");
    }
#endif
}

class SettingsFile : public ::testing::Test {
protected:
    fs::path scratch =
        fs::temp_directory_path() /
        ("orvalink-settings-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    void SetUp() override { fs::create_directories(scratch); }
    void TearDown() override { fs::remove_all(scratch); }

    void writeSettings(const fs::path& root, const std::string& content) {
        fs::create_directories(root / "Orvalink");
        std::ofstream(root / "Orvalink" / "now-playing.json", std::ios::binary) << content;
    }
};

TEST_F(SettingsFile, NoFolderSetGivesNothing) {
    setConfigRoot(nullptr);
    EXPECT_EQ(loadSavedKey(), "");
}

TEST_F(SettingsFile, MissingFolderGivesNothingAndCreatesNothing) {
    const fs::path root = scratch / "missing";
    setConfigRoot(&root);
    EXPECT_EQ(loadSavedKey(), "");
    EXPECT_FALSE(fs::exists(root));
}

TEST_F(SettingsFile, ReadsTheKeyAmongOtherMembersOverSeveralLines) {
    writeSettings(scratch, "{\r\n  \"theme\": \"dark\",\r\n  \"key\" : \"" + kKey +
                               "\",\n  \"volume\": 3\n}\n");
    setConfigRoot(&scratch);
    EXPECT_EQ(loadSavedKey(), kKey);
}

TEST_F(SettingsFile, FolderWithNonAsciiNameWorks) {
    const fs::path root = scratch / fs::u8path("D\xC3\xA9j\xC3\xA0 \xE2\x99\xAB \xF0\x9F\x8E\xA7");
    writeSettings(root, "{\"key\":\"" + kKey + "\"}");
    setConfigRoot(&root);
    EXPECT_EQ(loadSavedKey(), kKey);
}

TEST_F(SettingsFile, FileWithoutKeyGivesNothing) {
    writeSettings(scratch, "{\"name\":\"Ann\"}");
    setConfigRoot(&scratch);
    EXPECT_EQ(loadSavedKey(), "");
}

}  // namespace
