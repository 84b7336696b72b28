#include <windows.h>

#include <cstdio>

#include "account/settings_file.h"
#include "service/json_reader.h"

namespace {

constexpr DWORD kAppDataRoom = 260;

}  // namespace

std::string loadSavedKey() {
    wchar_t appData[kAppDataRoom] = {};
    const DWORD length = GetEnvironmentVariableW(L"APPDATA", appData, kAppDataRoom);
    if (length < 1 || length >= kAppDataRoom) {
        return {};
    }
    const std::wstring path = std::wstring(appData, length) + L"\\Orvalink\\now-playing.json";
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) {
        return {};
    }
    std::string content;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        content.append(buffer, got);
    }
    std::fclose(file);
    return jsonStringField(content, "key");
}
