#include "service/text_ops.h"

#include <cstdio>

#include "service/utc_time.h"

namespace {

std::string foldAsciiCase(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

constexpr char kReplacementCharacter[] = "\xEF\xBF\xBD";

// The byte range a continuation byte must fall in at `position` (1 to 3) of a
// sequence that starts with `lead`; the second byte's range is what rules
// out overlong forms, surrogates and code points above U+10FFFF.
bool fitsAt(unsigned char lead, size_t position, unsigned char byte) {
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (position == 1) {
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;
        } else if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
    }
    return byte >= low && byte <= high;
}

// How many bytes a well-formed sequence with this lead byte has; 0 for a
// byte that can never start one.
size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

}  // namespace

std::string jsonEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte <= 0x1F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

std::string formatTimestamp(int64_t seconds) {
    std::tm calendar{};
    toUtcCalendar(seconds, calendar);
    char buffer[32] = {};
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &calendar);
    return buffer;
}

bool isAsciiSpace(unsigned char byte) {
    return byte == ' ' || (byte >= 0x09 && byte <= 0x0D);
}

std::string trim(const std::string& text) {
    size_t begin = 0;
    while (begin < text.size() && isAsciiSpace(static_cast<unsigned char>(text[begin]))) {
        ++begin;
    }
    if (begin == text.size()) {
        return {};
    }
    size_t end = text.size();
    while (end > begin && isAsciiSpace(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    return text.substr(begin, end - begin);
}

size_t completeUtf8Length(const char* bytes, size_t length) {
    // Find the lead byte of the last character (at most three continuation
    // bytes back) and keep the character only if all of its bytes are there.
    size_t lead = length;
    while (lead > 0 && length - lead < 4 &&
           (static_cast<unsigned char>(bytes[lead - 1]) & 0xC0) == 0x80) {
        --lead;
    }
    if (lead == 0) {
        return length;
    }
    const auto first = static_cast<unsigned char>(bytes[lead - 1]);
    const size_t needed = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    return length - (lead - 1) < needed ? lead - 1 : length;
}

std::string validUtf8(const char* bytes, size_t length) {
    std::string text;
    text.reserve(length);
    size_t at = 0;
    while (at < length) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        const size_t needed = sequenceLength(lead);
        size_t have = needed == 0 ? 0 : 1;
        while (have < needed && at + have < length &&
               fitsAt(lead, have, static_cast<unsigned char>(bytes[at + have]))) {
            ++have;
        }
        if (have == needed && needed > 0) {
            text.append(bytes + at, needed);
        } else if (at + have == length && have > 0) {
            break;
        } else {
            text += kReplacementCharacter;
        }
        at += have == 0 ? 1 : have;
    }
    return text;
}

bool sameTrack(const Track& a, const Track& b) {
    return foldAsciiCase(a.title) == foldAsciiCase(b.title) &&
           foldAsciiCase(a.artist) == foldAsciiCase(b.artist);
}

bool sameTrackList(const std::vector<Track>& a, const std::vector<Track>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (!sameTrack(a[i], b[i])) {
            return false;
        }
    }
    return true;
}
