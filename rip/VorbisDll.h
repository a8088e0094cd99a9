// What the binding to the Ogg Vorbis library, libvorbisdll.so (loaded at run time), is made
// of: its entry-point cells, the answer for a missing one and the version text. The loaded
// library itself belongs to a Rip::TEncoders (Encoders.h). The library is optional: without
// it the program runs, and only the Ogg Vorbis batch refuses.
#pragma once

#include <cstdint>
#include <string>

#include "libvorbisdll.h"

namespace VorbisDll {

// The library's entry points, one cell each, looked up by name; a cell stays null when the
// library lacks that entry point. The decoder cells are looked up but the program never
// calls them.
struct TVorbisFunctions {
    decltype(&::vbEncOpen) vbEncOpen = nullptr;
    decltype(&::vbEncWrite) vbEncWrite = nullptr;
    decltype(&::vbEncClose) vbEncClose = nullptr;
    decltype(&::vbDecOpen) vbDecOpen = nullptr;
    decltype(&::vbDecRead) vbDecRead = nullptr;
    decltype(&::vbDecSeek) vbDecSeek = nullptr;
    decltype(&::vbDecClose) vbDecClose = nullptr;
    decltype(&::vbVersion) vbVersion = nullptr;
};

constexpr const char* kVorbisLibraryFileName = "libvorbisdll.so";

// What the wrappers answer for an entry point the library lacks. No code of the library has
// this value, so a message that shows it points at the library's build.
constexpr VbResult kMissingEntryPoint = 0xFFFFFFFFu;

// "Ver 1.02 (Engine Ver : 1.10, Date : 2003-3-5)" from a version record: the library's
// version, its engine's and its release date.
std::string VersionText(const VbVersionInfo& info);

}  // namespace VorbisDll
