#include "Encoders.h"

#include <dlfcn.h>

#include "CDRipIntf.h"

namespace Rip {

using VorbisDll::kMissingEntryPoint;

TEncoders::~TEncoders() {
    UnloadVorbisLibrary();
}

namespace {
template <typename Fn>
void lookUp(void* handle, Fn& cell, const char* name) {
    cell = reinterpret_cast<Fn>(dlsym(handle, name));
}
}  // namespace

bool TEncoders::LoadVorbisLibrary(const std::string& path) {
    if (vorbisHandle_) return true;
    vorbisHandle_ = CDRipIntf::OpenProgramLibrary(path, VorbisDll::kVorbisLibraryFileName);
    if (!vorbisHandle_) return false;
    vorbisBound_ = false;
    VorbisDll::TVorbisFunctions& f = vorbis_;
    f = VorbisDll::TVorbisFunctions{};
    lookUp(vorbisHandle_, f.vbEncOpen, "vbEncOpen");
    lookUp(vorbisHandle_, f.vbEncWrite, "vbEncWrite");
    lookUp(vorbisHandle_, f.vbEncClose, "vbEncClose");
    lookUp(vorbisHandle_, f.vbDecOpen, "vbDecOpen");
    lookUp(vorbisHandle_, f.vbDecRead, "vbDecRead");
    lookUp(vorbisHandle_, f.vbDecSeek, "vbDecSeek");
    lookUp(vorbisHandle_, f.vbDecClose, "vbDecClose");
    lookUp(vorbisHandle_, f.vbVersion, "vbVersion");
    return true;
}

void TEncoders::UnloadVorbisLibrary() {
    vorbis_ = VorbisDll::TVorbisFunctions{};
    vorbisBound_ = false;
    if (vorbisHandle_) dlclose(vorbisHandle_);
    vorbisHandle_ = nullptr;
}

void TEncoders::BindVorbisFunctions(const VorbisDll::TVorbisFunctions& functions) {
    UnloadVorbisLibrary();
    vorbis_ = functions;
    vorbisBound_ = true;
}

std::string TEncoders::VorbisVersionText() const {
    if (!VorbisLibraryReady() || !vorbis_.vbVersion) return std::string();
    VbVersionInfo info{};
    if (vorbis_.vbVersion(&info) != VB_OK) return std::string();
    return VorbisDll::VersionText(info);
}

VbResult TEncoders::vbEncOpen(const VbEncConfig* config, const VbTrackInfo* info,
                              uint32_t* samplesPerChunk, uint32_t* outBufferSize,
                              VbHandle* handle) const {
    if (!vorbis_.vbEncOpen) return kMissingEntryPoint;
    return vorbis_.vbEncOpen(config, info, samplesPerChunk, outBufferSize, handle);
}

VbResult TEncoders::vbEncWrite(VbHandle handle, uint32_t nSamples, const int16_t* samples,
                               uint8_t* output, uint32_t* outputBytes) const {
    if (!vorbis_.vbEncWrite) {
        if (outputBytes) *outputBytes = 0;
        return kMissingEntryPoint;
    }
    return vorbis_.vbEncWrite(handle, nSamples, samples, output, outputBytes);
}

VbResult TEncoders::vbEncClose(VbHandle handle, uint8_t* output, uint32_t* outputBytes) const {
    if (!vorbis_.vbEncClose) {
        if (outputBytes) *outputBytes = 0;
        return kMissingEntryPoint;
    }
    return vorbis_.vbEncClose(handle, output, outputBytes);
}

}  // namespace Rip
