#include "VorbisDll.h"

#include <dlfcn.h>

#include "CDRipIntf.h"

namespace VorbisDll {

TVorbisFunctions Vorbis;

namespace {

void* libraryHandle = nullptr;
bool boundForTests = false;

template <typename Fn>
void lookUp(Fn& cell, const char* name) {
    cell = reinterpret_cast<Fn>(dlsym(libraryHandle, name));
}

// A library still held when the program ends is freed with the binding.
struct TUnloadAtExit {
    ~TUnloadAtExit() { UnloadVorbisLibrary(); }
} unloadAtExit;

std::string twoDigits(unsigned value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
}

}  // namespace

bool LoadVorbisLibrary(const std::string& path) {
    if (libraryHandle) return true;
    libraryHandle = CDRipIntf::OpenProgramLibrary(path, kVorbisLibraryFileName);
    if (!libraryHandle) return false;
    boundForTests = false;
    Vorbis = TVorbisFunctions{};
    lookUp(Vorbis.vbEncOpen, "vbEncOpen");
    lookUp(Vorbis.vbEncWrite, "vbEncWrite");
    lookUp(Vorbis.vbEncClose, "vbEncClose");
    lookUp(Vorbis.vbDecOpen, "vbDecOpen");
    lookUp(Vorbis.vbDecRead, "vbDecRead");
    lookUp(Vorbis.vbDecSeek, "vbDecSeek");
    lookUp(Vorbis.vbDecClose, "vbDecClose");
    lookUp(Vorbis.vbVersion, "vbVersion");
    return true;
}

bool VorbisLibraryReady() {
    return libraryHandle != nullptr || boundForTests;
}

void UnloadVorbisLibrary() {
    Vorbis = TVorbisFunctions{};
    boundForTests = false;
    if (libraryHandle) dlclose(libraryHandle);
    libraryHandle = nullptr;
}

void BindVorbisFunctions(const TVorbisFunctions& functions) {
    UnloadVorbisLibrary();
    Vorbis = functions;
    boundForTests = true;
}

std::string VersionText(const VbVersionInfo& info) {
    return "Ver " + std::to_string(info.byMajor) + "." + twoDigits(info.byMinor) +
           " (Engine Ver : " + std::to_string(info.byEngineMajor) + "." +
           twoDigits(info.byEngineMinor) + ", Date : " + std::to_string(info.wYear) + "-" +
           std::to_string(info.byMonth) + "-" + std::to_string(info.byDay) + ")";
}

std::string VorbisVersionText() {
    if (!VorbisLibraryReady() || !Vorbis.vbVersion) return std::string();
    VbVersionInfo info{};
    if (Vorbis.vbVersion(&info) != VB_OK) return std::string();
    return VersionText(info);
}

VbResult vbEncOpen(const VbEncConfig* config, const VbTrackInfo* info, uint32_t* samplesPerChunk,
                   uint32_t* outBufferSize, VbHandle* handle) {
    if (!Vorbis.vbEncOpen) return kMissingEntryPoint;
    return Vorbis.vbEncOpen(config, info, samplesPerChunk, outBufferSize, handle);
}

VbResult vbEncWrite(VbHandle handle, uint32_t nSamples, const int16_t* samples, uint8_t* output,
                    uint32_t* outputBytes) {
    if (!Vorbis.vbEncWrite) {
        if (outputBytes) *outputBytes = 0;
        return kMissingEntryPoint;
    }
    return Vorbis.vbEncWrite(handle, nSamples, samples, output, outputBytes);
}

VbResult vbEncClose(VbHandle handle, uint8_t* output, uint32_t* outputBytes) {
    if (!Vorbis.vbEncClose) {
        if (outputBytes) *outputBytes = 0;
        return kMissingEntryPoint;
    }
    return Vorbis.vbEncClose(handle, output, outputBytes);
}

}  // namespace VorbisDll
