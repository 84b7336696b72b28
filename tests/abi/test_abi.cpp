// The plug-in library through its binary interface alone, as the DJ
// application sees it: the exported factory, the object's table of seven
// operations called by position, the two host fields after the table
// pointer, the host's callback table, and the records the plug-in fills.
// Deliberately includes none of the plug-in's own headers: the records and
// identifiers are the validator's own account of the contract.
//   abi_tests LIBRARY SKIN_XML SKIN_PNG
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "expected_texts.h"
#include "fake_host.h"
#include "plugin_library.h"
#include "record_faults.h"
#include "settings_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::string libraryPath, skinXmlPath, skinPngPath;

using harness::Factory;
using harness::InfoRecord;
using harness::InterfaceRecord;
using harness::kClassId;
using harness::kInterfaceId;
using harness::PluginObject;
namespace expected = harness::expected;

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The text of parameter `id` in a roomy buffer, or what was wrong with the call.
std::string shown(PluginObject& plugin, int32_t id) {
    const harness::ParameterText answer = harness::guardedParameterString(plugin, id, 600);
    return answer.fault.empty() ? answer.shown : answer.fault;
}

class Abi : public ::testing::Test {
protected:
    std::string error;
    Factory factory = harness::loadPlugin(libraryPath, error);
    harness::FakeHost callbacks;  // answers no query, records every one

    PluginObject create() {
        PluginObject plugin = PluginObject::create(factory, callbacks.callbackObject());
        EXPECT_NE(plugin.address(), nullptr);
        return plugin;
    }
    void SetUp() override { ASSERT_NE(factory, nullptr) << libraryPath; }
};

TEST_F(Abi, WrongClassOrInterfaceIsRefusedAndTheSlotLeftAlone) {
    unsigned char otherClass[16];
    std::memcpy(otherClass, kClassId, 16);
    otherClass[15] ^= 1;
    unsigned char otherInterface[16];
    std::memcpy(otherInterface, kInterfaceId, 16);
    otherInterface[0] ^= 0x80;
    EXPECT_TRUE(harness::refusedCleanly(factory, otherClass, kInterfaceId));
    EXPECT_TRUE(harness::refusedCleanly(factory, otherClass, otherInterface));
    EXPECT_TRUE(harness::refusedCleanly(factory, kClassId, otherInterface));
}

TEST_F(Abi, InformationRecordHasItsSixFields) {
    PluginObject plugin = create();
    InfoRecord info;
    std::memset(&info, 0xAB, sizeof info);
    EXPECT_EQ(plugin.getPluginInfo(&info), 0);
    EXPECT_EQ(harness::informationFault(info), "");
    EXPECT_EQ(plugin.release(), 0u);
}

#ifdef _WIN32
// What Windows shows in the file's properties, and security tools go by.
TEST(VersionResource, CarriesTheBuildsVersionAndNames) {
    const DWORD size = GetFileVersionInfoSizeA(libraryPath.c_str(), nullptr);
    ASSERT_GT(size, 0u) << "the library has no version resource";
    std::string data(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(libraryPath.c_str(), 0, size, data.data()));
    const auto text = [&](const char* name) {
        char* value = nullptr;
        UINT length = 0;
        const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
        return VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)
                   ? std::string(value)
                   : std::string("(none)");
    };
    EXPECT_EQ(text("ProductVersion"), ORVALINK_VERSION);
    EXPECT_EQ(text("FileVersion"), ORVALINK_VERSION);
    EXPECT_EQ(text("ProductName"), expected::kName);
    EXPECT_EQ(text("CompanyName"), expected::kAuthor);
    EXPECT_EQ(text("OriginalFilename"), "Orvalink Now Playing.dll");
    EXPECT_FALSE(text("FileDescription").empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    const std::string numbers = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(LOWORD(fixed->dwFileVersionMS));
    EXPECT_EQ(numbers, ORVALINK_VERSION);
}
#endif

TEST_F(Abi, InterfaceRecordCarriesTheSkinXmlAndTheWholePng) {
    PluginObject plugin = create();
    InterfaceRecord record = {};
    EXPECT_EQ(plugin.getUserInterface(&record), 0);
    EXPECT_EQ(harness::interfaceFault(record), "");
    EXPECT_EQ(std::string(record.xml), readFile(skinXmlPath));
    const std::string png = readFile(skinPngPath);
    ASSERT_EQ(static_cast<size_t>(record.imageSize), png.size());
    EXPECT_EQ(std::memcmp(record.image, png.data(), png.size()), 0);
    plugin.release();
}

TEST_F(Abi, ParameterStringsForEveryIdAndBufferSize) {
    PluginObject plugin = create();
    plugin.onLoad();
    ASSERT_EQ(callbacks.kind(1), 3);
    ASSERT_EQ(callbacks.kind(2), 0);
    ASSERT_EQ(callbacks.kind(3), 2);
    const std::string status = expected::kPasteKey;
    struct Row {
        int32_t id, size;
        std::string shown;
    };
    std::vector<Row> rows = {{0, 600, ""}, {4, 600, ""}, {3, 600, expected::kSwitchOn}};
    for (const int32_t id : {1, 2}) {
        for (const Row& row : std::vector<Row>{{id, 0, ""},
                                               {id, -5, ""},
                                               {id, 1, ""},
                                               {id, 10, status.substr(0, 9)},
                                               {id, 600, status}}) {
            rows.push_back(row);
        }
    }
    for (const Row& row : rows) {
        const harness::ParameterText answer =
            harness::guardedParameterString(plugin, row.id, row.size);
        EXPECT_EQ(answer.fault, "");
        EXPECT_EQ(answer.shown, row.shown) << "id " << row.id << ", size " << row.size;
    }

    callbacks.writeInt(3, -7);
    EXPECT_EQ(shown(plugin, 3), expected::kSwitchOn);
    callbacks.writeInt(3, 0);
    EXPECT_EQ(plugin.onParameter(3), 0);
    EXPECT_EQ(shown(plugin, 3), expected::kSwitchOff);
    EXPECT_EQ(shown(plugin, 1), expected::kPaused);
    EXPECT_EQ(plugin.onParameter(99), 0);
    plugin.release();
}

TEST_F(Abi, ReleaseDuringTheInitialWaitIsPromptAndQuiet) {
    for (const bool dispose : {false, true}) {
        PluginObject plugin = create();
        EXPECT_EQ(plugin.onLoad(), 0);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(dispose ? static_cast<uint32_t>(plugin.dispose()) : plugin.release(), 0u);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    }
    EXPECT_EQ(callbacks.findings().queries, 0);
}

TEST_F(Abi, SavedKeyReplacesWhateverFollowsTheNulInTheKeyStorage) {
    const std::string key = "zvknp_AbCdEfGhIjKlMnOpQrStUvWxYz012_-9";
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "orvalink-abi-settings";
    harness::useSettingsFolder(folder.string());
    const std::filesystem::path file = harness::settingsFilePath();
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << "{\"key\":\"" << key << "\"}";

    PluginObject plugin = create();
    plugin.onLoad();
    plugin.onLoad();                 // a second load starts no second worker
    callbacks.setSwitch(plugin, 0);  // sending off: no request at all
    // The host cleared the key by writing a NUL over an older, longer text.
    char* keyText = static_cast<char*>(callbacks.variable(1));
    for (size_t i = 0; i < 64; ++i) {  // the host writes while the worker may read
        std::atomic_ref<char>(keyText[i]).store(i == 0 ? '\0' : 'Z');
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::atomic_ref<char>(keyText[0]).load() == '\0' &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::string stored;
    for (size_t i = 0; i < 64; ++i) {
        stored += std::atomic_ref<char>(keyText[i]).load();
    }
    const std::string status = shown(plugin, 1);
    plugin.release();
    harness::useSettingsFolder("");
    std::filesystem::remove_all(folder);

    EXPECT_EQ(stored, key + std::string(64 - key.size(), '\0'));
    EXPECT_EQ(status, expected::kPaused);
    EXPECT_EQ(callbacks.findings().queries, 0);
}

TEST_F(Abi, ObjectsAreIndependentAndReleasableUnloaded) {
    PluginObject first = create();
    PluginObject second = create();
    EXPECT_NE(first.address(), second.address());
    first.onLoad();
    second.onLoad();
    callbacks.setSwitch(second, 0);
    EXPECT_EQ(shown(first, 1), expected::kPasteKey);
    EXPECT_EQ(shown(second, 1), expected::kPaused);
    EXPECT_EQ(first.release(), 0u);
    EXPECT_EQ(second.release(), 0u);
    PluginObject neverLoaded = create();
    EXPECT_EQ(neverLoaded.release(), 0u);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: abi_tests LIBRARY SKIN_XML SKIN_PNG\n");
        return 2;
    }
    libraryPath = argv[1];
    skinXmlPath = argv[2];
    skinPngPath = argv[3];
    return RUN_ALL_TESTS();
}
