#include "textencoding.h"

#include <cstdint>

namespace svdrives::detail {

bool isUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto b = uint8_t(s[i]);
        int more = 0;
        uint32_t cp = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            more = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2;
            cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            more = 3;
            cp = b & 0x07;
        } else {
            return false;  // a continuation byte first, 0xC0/0xC1 (overlong) or 0xF5..0xFF
        }
        if (i + size_t(more) >= s.size()) return false;  // cut short
        for (int k = 1; k <= more; ++k) {
            const auto c = uint8_t(s[i + size_t(k)]);
            if ((c & 0xC0) != 0x80) return false;
            cp = cp << 6 | (c & 0x3F);
        }
        const uint32_t least = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += size_t(more) + 1;
    }
    return true;
}

std::string latin1ToUtf8(const std::string& s) {
    std::string out;
    out.reserve(s.size() * 2);
    for (const char ch : s) {
        const auto b = uint8_t(ch);
        if (b < 0x80) {
            out += ch;
        } else {
            out += char(0xC0 | b >> 6);
            out += char(0x80 | (b & 0x3F));
        }
    }
    return out;
}

std::string asUtf8(const std::string& s) {
    return isUtf8(s) ? s : latin1ToUtf8(s);
}

std::string cutUtf8(const std::string& s, size_t limit) {
    if (s.size() <= limit) return s;
    size_t end = limit;
    // Back over the continuation bytes of the character the cut falls in.
    while (end > 0 && (uint8_t(s[end]) & 0xC0) == 0x80) --end;
    return s.substr(0, end);
}

}  // namespace svdrives::detail
