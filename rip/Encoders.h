// The program's hold on its two encoder libraries: the cells of the MP3 encoder, libbladeenc
// (linked at load time, so its cells start out holding the library's own functions), and the
// binding to the Ogg Vorbis library, libvorbisdll (loaded at run time; optional). The program
// owns one, made before its window and torn down after it; tests make their own and bind
// scripted tables into it.
//
// Threads: the bindings are set (LoadVorbisLibrary, Bind..., Unload...) on the user-interface
// thread while no batch runs; the encode calls only read the cells, so a rip thread may make
// them then.
#pragma once

#include <string>

#include "VorbisDll.h"
#include "bladedll.h"

namespace Rip {

class TEncoders {
public:
    TEncoders() = default;
    // A Vorbis library still held is freed with its binding.
    ~TEncoders();
    TEncoders(const TEncoders&) = delete;
    TEncoders& operator=(const TEncoders&) = delete;

    // ---------------------------------------------------------------------------------
    // MP3

    // The cells the MP3 ripper calls through.
    const bladedll::TBladeFunctions& Blade() const { return blade_; }
    // Puts a table of functions in the library's place (tests).
    void BindBladeFunctions(const bladedll::TBladeFunctions& functions) { blade_ = functions; }
    // Back to the library's own functions.
    void RestoreBladeFunctions() { blade_ = bladedll::TBladeFunctions{}; }

    // ---------------------------------------------------------------------------------
    // Ogg Vorbis

    // Loads the library from path (default: libvorbisdll.so in the executable's folder, else
    // in <executable's folder>/../lib/sonvale, where it is installed) and fills the cells. A
    // call with the library already loaded does nothing. True when the library is loaded.
    bool LoadVorbisLibrary(const std::string& path = std::string());
    // True while the library is loaded (or a table of functions stands in for it).
    bool VorbisLibraryReady() const { return vorbisHandle_ != nullptr || vorbisBound_; }
    // Frees the library and empties the cells. Program end; called again it does nothing.
    void UnloadVorbisLibrary();
    // Puts a table of functions in the library's place (tests); the binding is then ready.
    void BindVorbisFunctions(const VorbisDll::TVorbisFunctions& functions);

    // The cells the wrappers below call through.
    const VorbisDll::TVorbisFunctions& Vorbis() const { return vorbis_; }

    // The library's version text (VorbisDll::VersionText). Empty when the library is not
    // loaded or cannot say.
    std::string VorbisVersionText() const;

    // The encoder calls, safe with a missing entry point: they answer
    // VorbisDll::kMissingEntryPoint.
    VbResult vbEncOpen(const VbEncConfig* config, const VbTrackInfo* info,
                       uint32_t* samplesPerChunk, uint32_t* outBufferSize, VbHandle* handle) const;
    VbResult vbEncWrite(VbHandle handle, uint32_t nSamples, const int16_t* samples, uint8_t* output,
                        uint32_t* outputBytes) const;
    VbResult vbEncClose(VbHandle handle, uint8_t* output, uint32_t* outputBytes) const;

private:
    bladedll::TBladeFunctions blade_;
    void* vorbisHandle_ = nullptr;
    bool vorbisBound_ = false;  // a test table is in use instead of the library
    VorbisDll::TVorbisFunctions vorbis_;
};

}  // namespace Rip
