// Binding to the Ogg Vorbis library, libvorbisdll.so, loaded at run time. The library is
// optional: without it the program runs, and only the Ogg Vorbis batch refuses.
//
// All state here is program-wide and used from the user-interface thread only.
#pragma once

#include <cstdint>
#include <string>

#include "vorbisdll.h"

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

extern TVorbisFunctions Vorbis;

constexpr const char* kVorbisLibraryFileName = "libvorbisdll.so";

// What the wrappers below answer for an entry point the library lacks. No code of the
// library has this value, so a message that shows it points at the library's build.
constexpr VbResult kMissingEntryPoint = 0xFFFFFFFFu;

// Loads the library from path (default: libvorbisdll.so in the executable's folder, else in
// <executable's folder>/../lib/sonvale, where it is installed) and fills the cells. A call
// with the library already loaded does nothing. True when the library is loaded.
bool LoadVorbisLibrary(const std::string& path = std::string());
// True while the library is loaded (or a table of functions stands in for it).
bool VorbisLibraryReady();
// Frees the library and empties the cells. Program end; called again it does nothing.
void UnloadVorbisLibrary();
// Puts a table of functions in the library's place (tests); the binding is then ready.
void BindVorbisFunctions(const TVorbisFunctions& functions);

// "Ver 1.02 (Engine Ver : 1.10, Date : 2003-3-5)": the library's version, its engine's
// and its release date. Empty when the library is not loaded or cannot say.
std::string VorbisVersionText();
// The same from a version record.
std::string VersionText(const VbVersionInfo& info);

// The encoder calls, safe with a missing entry point: they answer kMissingEntryPoint.
VbResult vbEncOpen(const VbEncConfig* config, const VbTrackInfo* info, uint32_t* samplesPerChunk,
                   uint32_t* outBufferSize, VbHandle* handle);
VbResult vbEncWrite(VbHandle handle, uint32_t nSamples, const int16_t* samples, uint8_t* output,
                    uint32_t* outputBytes);
VbResult vbEncClose(VbHandle handle, uint8_t* output, uint32_t* outputBytes);

}  // namespace VorbisDll
