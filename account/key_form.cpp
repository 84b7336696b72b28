#include "account/key_form.h"

namespace {

bool isKeyBodyByte(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           (byte >= '0' && byte <= '9') || byte == '_' || byte == '-';
}

}  // namespace

std::string extractKey(const std::string& text) {
    const size_t at = text.find(kKeyPrefix);
    if (at == std::string::npos || text.size() - at < kKeyLength) {
        return {};
    }
    const std::string piece = text.substr(at, kKeyLength);
    for (size_t i = sizeof kKeyPrefix - 1; i < kKeyLength; ++i) {
        if (!isKeyBodyByte(static_cast<unsigned char>(piece[i]))) {
            return {};
        }
    }
    return piece;
}
