// Text from discs and sheets arrives in whatever encoding its author used; the library
// hands out UTF-8 only.
#pragma once

#include <string>

namespace svdrives::detail {

// True when s is well-formed UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF).
bool isUtf8(const std::string& s);

// Each byte as the Latin-1 character of that value.
std::string latin1ToUtf8(const std::string& s);

// s when it is UTF-8, else s read as Latin-1: the one other encoding old writers used, and
// one in which every byte sequence means something.
std::string asUtf8(const std::string& s);

// The first bytes of s, at most limit, ending on a UTF-8 character's boundary: a field of
// fixed size never ends in half a character.
std::string cutUtf8(const std::string& s, size_t limit);

}  // namespace svdrives::detail
