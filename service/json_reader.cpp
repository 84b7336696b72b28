#include "service/json_reader.h"

#include <cstdint>

namespace {

void appendUtf8(std::string& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The four characters at `at` read as far as they are hexadecimal digits;
// no sign, space or prefix is accepted, so "zz12" reads as 0.
uint32_t readHex4(const std::string& json, size_t at) {
    uint32_t value = 0;
    for (size_t i = at; i < at + 4; ++i) {
        const int digit = hexDigitValue(json[i]);
        if (digit < 0) {
            break;
        }
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

bool isHighSurrogate(uint32_t v) {
    return v >= 0xD800 && v <= 0xDBFF;
}
bool isLowSurrogate(uint32_t v) {
    return v >= 0xDC00 && v <= 0xDFFF;
}

// Decodes the \u escape whose 'u' stands at `u` (four characters are known to
// follow). A high surrogate directly followed by an escaped low one becomes one
// four-byte character; a lone surrogate becomes U+FFFD. Returns the index just
// past what was consumed.
size_t appendUnicodeEscape(std::string& out, const std::string& json, size_t u) {
    const uint32_t first = readHex4(json, u + 1);
    size_t next = u + 5;
    if (isHighSurrogate(first) && next + 6 <= json.size() && json[next] == '\\' &&
        json[next + 1] == 'u') {
        const uint32_t second = readHex4(json, next + 2);
        if (isLowSurrogate(second)) {
            appendUtf8(out, 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00));
            return next + 6;
        }
    }
    appendUtf8(out, isHighSurrogate(first) || isLowSurrogate(first) ? 0xFFFD : first);
    return next;
}

char simpleEscape(char letter) {
    switch (letter) {
        case 'n':
            return '\n';
        case 't':
            return '\t';
        case 'r':
            return '\r';
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        default:
            return letter;
    }
}

}  // namespace

std::string jsonStringField(const std::string& json, const std::string& name) {
    const size_t nameAt = json.find('"' + name + '"');
    if (nameAt == std::string::npos) {
        return {};
    }
    const size_t colon = json.find(':', nameAt);
    if (colon == std::string::npos) {
        return {};
    }
    const size_t open = json.find('"', colon);
    if (open == std::string::npos || open + 1 >= json.size()) {
        return {};
    }

    std::string value;
    size_t i = open + 1;
    while (i < json.size()) {
        const char c = json[i];
        if (c == '"') {
            break;
        }
        if (c != '\\' || i + 1 >= json.size()) {
            value += c;
            ++i;
            continue;
        }
        const char letter = json[i + 1];
        if (letter == 'u' && i + 6 <= json.size()) {
            i = appendUnicodeEscape(value, json, i + 1);
        } else {
            value += simpleEscape(letter);
            i += 2;
        }
    }
    return value;
}
