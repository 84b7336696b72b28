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
#include "host_side.h"
#include "plugin_library.h"
#include "record_faults.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
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
constexpr uint32_t kNotImplemented = harness::kResultNotImplemented;

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// OnGetParameterString's result as the unsigned code it is.
uint32_t parameterString(PluginObject& plugin, int32_t id, char* out, int32_t size) {
    return static_cast<uint32_t>(plugin.getParameterString(id, out, size));
}

// A host that answers no query, counting them.
class QuietHost : public harness::HostSide {
public:
    int32_t getInfo(const char*, double*) override {
        ++queries;
        return 1;
    }
    int32_t getStringInfo(const char*, char*, int32_t) override {
        ++queries;
        return 1;
    }
    std::atomic<int> queries{0};
};

class Abi : public ::testing::Test {
protected:
    std::string error;
    Factory factory = harness::loadPlugin(libraryPath, error);
    QuietHost callbacks;

    PluginObject create() {
        void* object = nullptr;
        EXPECT_EQ(factory(kClassId, kInterfaceId, &object), 0);
        PluginObject plugin(object);
        plugin.setHostFields(callbacks.callbackObject());
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
    char out[600];
    for (const int id : {0, 4}) {
        std::memset(out, 'x', sizeof out);
        EXPECT_EQ(parameterString(plugin, id, out, sizeof out), kNotImplemented);
        EXPECT_EQ(out[0], 'x');
    }
    for (const int id : {1, 2}) {
        std::memset(out, 'x', sizeof out);
        EXPECT_EQ(parameterString(plugin, id, out, 0), kNotImplemented);
        EXPECT_EQ(parameterString(plugin, id, out, -5), kNotImplemented);
        EXPECT_EQ(out[0], 'x');
        EXPECT_EQ(parameterString(plugin, id, out, 1), 0u);
        EXPECT_EQ(out[0], '\0');
        EXPECT_EQ(out[1], 'x');
        EXPECT_EQ(parameterString(plugin, id, out, 10), 0u);
        EXPECT_EQ(std::string(out, 10), status.substr(0, 9) + '\0');
        EXPECT_EQ(out[10], 'x');
        EXPECT_EQ(parameterString(plugin, id, out, sizeof out), 0u);
        EXPECT_EQ(std::string(out), status);
        EXPECT_EQ(std::string(out + status.size(), sizeof out - status.size()),
                  std::string(sizeof out - status.size(), '\0'));
    }
    EXPECT_EQ(parameterString(plugin, 3, out, sizeof out), 0u);
    EXPECT_STREQ(out, expected::kSwitchOn);

    callbacks.writeInt(3, -7);
    parameterString(plugin, 3, out, sizeof out);
    EXPECT_STREQ(out, expected::kSwitchOn);
    callbacks.writeInt(3, 0);
    EXPECT_EQ(plugin.onParameter(3), 0);
    parameterString(plugin, 3, out, sizeof out);
    EXPECT_STREQ(out, expected::kSwitchOff);
    parameterString(plugin, 1, out, sizeof out);
    EXPECT_STREQ(out, expected::kPaused);
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
    EXPECT_EQ(callbacks.queries, 0);
}

// Points the plug-in's settings lookup at `folder` (empty: back to none).
void setSettingsFolder(const std::string& folder) {
#ifdef _WIN32
    SetEnvironmentVariableA("APPDATA", folder.empty() ? nullptr : folder.c_str());
#else
    if (folder.empty()) {
        unsetenv("XDG_CONFIG_HOME");
    } else {
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }
#endif
}

TEST_F(Abi, SavedKeyReplacesWhateverFollowsTheNulInTheKeyStorage) {
    const std::string key = "zvknp_AbCdEfGhIjKlMnOpQrStUvWxYz012_-9";
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "orvalink-abi-settings";
    std::filesystem::create_directories(folder / "Orvalink");
    std::ofstream(folder / "Orvalink" / "now-playing.json") << "{\"key\":\"" << key << "\"}";
    setSettingsFolder(folder.string());

    PluginObject plugin = create();
    plugin.onLoad();
    plugin.onLoad();  // a second load starts no second worker
    callbacks.writeInt(3, 0);
    plugin.onParameter(3);  // sending off: no request at all
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
    char out[128];
    parameterString(plugin, 1, out, sizeof out);
    plugin.release();
    setSettingsFolder("");
    std::filesystem::remove_all(folder);

    EXPECT_EQ(stored, key + std::string(64 - key.size(), '\0'));
    EXPECT_STREQ(out, expected::kPaused);
    EXPECT_EQ(callbacks.queries, 0);
}

TEST_F(Abi, ObjectsAreIndependentAndReleasableUnloaded) {
    PluginObject first = create();
    PluginObject second = create();
    EXPECT_NE(first.address(), second.address());
    first.onLoad();
    second.onLoad();
    callbacks.writeInt(3, 0);  // the second object's switch
    second.onParameter(3);
    char out[64];
    parameterString(first, 1, out, sizeof out);
    EXPECT_STREQ(out, expected::kPasteKey);
    parameterString(second, 1, out, sizeof out);
    EXPECT_STREQ(out, expected::kPaused);
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
