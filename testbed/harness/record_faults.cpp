#include "record_faults.h"

#include <cstring>
#include <vector>

#include "expected_texts.h"

namespace harness {

namespace {

uint32_t bigEndian(const unsigned char* bytes) {
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

std::string pngFault(const unsigned char* bytes, size_t size) {
    if (bytes == nullptr || size < 33 || std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) != 0) {
        return "no PNG signature";
    }
    // Width, height, bit depth, colour type (2: RGB), interlace method.
    if (std::memcmp(bytes + 12, "IHDR", 4) != 0 || bigEndian(bytes + 16) != 400 ||
        bigEndian(bytes + 20) != 780 || bytes[24] != 8 || bytes[25] != 2 || bytes[28] != 0) {
        return "header is not IHDR 400 x 780, 8-bit RGB, not interlaced";
    }
    size_t at = 8;
    while (at + 12 <= size) {
        const size_t length = bigEndian(bytes + at);
        const bool last = std::memcmp(bytes + at + 4, "IEND", 4) == 0;
        at += 12 + length;
        if (last) {
            return at == size ? ""
                              : "IEND ends at byte " + std::to_string(at) + ", record says " +
                                    std::to_string(size);
        }
    }
    return "no IEND within the length the record gives";
}

constexpr unsigned char kGuard = 0xA5;
constexpr size_t kGuardBytes = 64;

// What is wrong with a call's buffer and result, empty when nothing.
std::string parameterBufferFault(const std::vector<unsigned char>& buffer, size_t room,
                                 bool refused, uint32_t result) {
    for (size_t i = 0; i < kGuardBytes; ++i) {
        if (buffer[i] != kGuard || buffer[kGuardBytes + room + i] != kGuard) {
            return "a byte written outside the buffer";
        }
    }
    const char* out = reinterpret_cast<const char*>(buffer.data() + kGuardBytes);
    if (refused) {
        for (size_t i = 0; i < room; ++i) {
            if (buffer[kGuardBytes + i] != kGuard) {
                return "written although refused";
            }
        }
        return result == kResultNotImplemented
                   ? ""
                   : "result " + std::to_string(result) + ", not 0x80004001";
    }
    if (result != 0) {
        return "result " + std::to_string(result);
    }
    const size_t length = strnlen(out, room);
    if (length == room) {
        return "no NUL in the last byte";
    }
    for (size_t i = length; i < room; ++i) {
        if (out[i] != '\0') {
            return "the rest of the buffer is not zero-filled";
        }
    }
    return {};
}

}  // namespace

ParameterText guardedParameterString(PluginObject& plugin, int32_t id, int32_t size) {
    const size_t room = size > 0 ? static_cast<size_t>(size) : 0;
    std::vector<unsigned char> buffer(room + 2 * kGuardBytes, kGuard);
    char* out = reinterpret_cast<char*>(buffer.data() + kGuardBytes);
    const auto result = static_cast<uint32_t>(plugin.getParameterString(id, out, size));
    const bool refused = id < 1 || id > 3 || size <= 0;
    const std::string fault = parameterBufferFault(buffer, room, refused, result);
    if (!fault.empty()) {
        return {"", "id " + std::to_string(id) + ", size " + std::to_string(size) + ": " + fault};
    }
    return {refused ? "" : std::string(out), ""};
}

bool refusedCleanly(Factory factory, const void* classId, const void* interfaceId) {
    void* const canary = reinterpret_cast<void*>(static_cast<uintptr_t>(0x5A5AC0DEu));
    void* slot = canary;
    const auto result = static_cast<uint32_t>(factory(classId, interfaceId, &slot));
    return result == kResultClassNotAvailable && slot == canary;
}

std::string informationFault(const InfoRecord& info) {
    const char* const texts[][2] = {{info.name, expected::kName},
                                    {info.author, expected::kAuthor},
                                    {info.description, expected::kDescription},
                                    {info.version, expected::kVersion}};
    for (const auto& [given, wanted] : texts) {
        if (given == nullptr || std::strcmp(given, wanted) != 0) {
            return std::string("a text is not \"") + wanted + "\"";
        }
    }
    if (info.pointerField != nullptr || info.intField != 0) {
        return "the pointer field is not null or the int field not 0";
    }
    return {};
}

std::string interfaceFault(const InterfaceRecord& skin) {
    if (skin.kind != 1) {
        return "kind is not 1";
    }
    const std::string png = pngFault(static_cast<const unsigned char*>(skin.image),
                                     static_cast<size_t>(skin.imageSize));
    if (!png.empty()) {
        return "PNG: " + png;
    }
    if (skin.xml == nullptr || std::strncmp(skin.xml, "<Skin ", 6) != 0) {
        return "the XML text does not begin with <Skin";
    }
    return {};
}

}  // namespace harness
