#include "ScriptedEncoders.h"

#include <algorithm>
#include <cstring>

namespace {

ScriptedEncoder* g = nullptr;
ScriptedEncoder fallback;
ScriptedEncoder& s() {
    return g ? *g : fallback;
}

// One stream at a time: the rippers never open a second.
uint32_t liveHandle = 0;
bool ended = false;
uint32_t nextHandle = 100;

uint32_t openStream(uint32_t* samples, uint32_t* size, uint32_t* handle) {
    if (s().openResult != 0) return s().openResult;
    if (s().live != 0) ++s().badCalls;
    ++s().opens;
    ++s().live;
    liveHandle = nextHandle++;
    ended = false;
    *samples = s().samplesPerChunk;
    *size = s().outBufferSize;
    *handle = liveHandle;
    return 0;
}

bool usable(uint32_t handle) {
    if (handle != liveHandle || s().live == 0) {
        ++s().badCalls;
        return false;
    }
    return true;
}

uint32_t encode(uint32_t handle, uint32_t n, const int16_t* in, uint8_t* out, uint32_t* bytes) {
    *bytes = 0;
    if (!usable(handle) || ended) {
        ++s().badCalls;
        return 4;
    }
    s().chunkSamples.push_back(n);
    if (s().failEncodeAt == static_cast<int>(s().chunkSamples.size())) return s().encodeResult;
    if (n % 2 != 0 || n > s().samplesPerChunk || n * 2 > s().outBufferSize) return 2;
    if (s().silent) return 0;
    std::memcpy(out, in, n * 2);
    *bytes = n * 2;
    return 0;
}

uint32_t finish(uint8_t* out, uint32_t* bytes) {
    ++s().finishes;
    ended = true;
    *bytes = 0;
    if (s().finishResult != 0) return s().finishResult;
    std::memcpy(out, s().ending.data(), s().ending.size());
    *bytes = static_cast<uint32_t>(s().ending.size());
    return 0;
}

void freeStream() {
    --s().live;
    liveHandle = 0;
}

BE_ERR beInit(PBE_CONFIG config, DWORD* samples, DWORD* size, HBE_STREAM* handle) {
    s().calls.emplace_back("beInitStream");
    s().mp3Config = *config;
    return openStream(samples, size, handle);
}
BE_ERR beEncode(HBE_STREAM h, DWORD n, const int16_t* in, uint8_t* out, DWORD* bytes) {
    s().calls.emplace_back("beEncodeChunk");
    return encode(h, n, in, out, bytes);
}
BE_ERR beDeinit(HBE_STREAM h, uint8_t* out, DWORD* bytes) {
    s().calls.emplace_back("beDeinitStream");
    if (!usable(h) || ended) return 4;
    return finish(out, bytes);
}
BE_ERR beClose(HBE_STREAM h) {
    s().calls.emplace_back("beCloseStream");
    if (!usable(h)) return 4;
    freeStream();
    return 0;
}

std::string text(const char* p) {
    return p ? p : "(null)";
}

VbResult vbOpen(const VbEncConfig* config, const VbTrackInfo* info, uint32_t* samples,
                uint32_t* size, VbHandle* handle) {
    s().calls.emplace_back("vbEncOpen");
    s().oggConfig = *config;
    s().infoWords[0] = info->dwSize;
    s().infoWords[1] = info->dwReserved1;
    s().infoWords[2] = info->dwReserved2;
    s().infoWords[3] = info->dwReserved3;
    s().infoWords[4] = info->dwReserved4;
    s().infoNumber = info->dwTrackNumber;
    s().infoCount = info->dwTrackCount;
    s().artist = text(info->pszArtist);
    s().album = text(info->pszAlbum);
    s().title = text(info->pszTitle);
    s().encoder = text(info->pszEncoder);
    s().genre = text(info->pszGenre);
    s().comment = text(info->pszComment);
    s().date = text(info->pszDate);
    return openStream(samples, size, handle);
}
VbResult vbWrite(VbHandle h, uint32_t n, const int16_t* in, uint8_t* out, uint32_t* bytes) {
    s().calls.emplace_back("vbEncWrite");
    return encode(h, n, in, out, bytes);
}
VbResult vbClose(VbHandle h, uint8_t* out, uint32_t* bytes) {
    s().calls.emplace_back(out ? "vbEncClose" : "vbEncClose(drop)");
    if (!usable(h)) return 6;
    freeStream();
    if (!out && !bytes) {
        ++s().drops;
        return 0;
    }
    return finish(out, bytes);
}
VbResult vbVer(VbVersionInfo* info) {
    s().calls.emplace_back("vbVersion");
    *info = s().version;
    return s().versionResult;
}
// Never called by the program: a call is a fault.
VbResult vbDecOpenNever(const char*, VbDecInfo*, VbHandle*) {
    ++s().badCalls;
    return 6;
}

}  // namespace

ScriptedEncoder& ScriptedEncoder::current() {
    return s();
}

void ScriptedEncoder::InstallBlade(Rip::TEncoders& encoders) {
    g = this;
    liveHandle = 0;
    bladedll::TBladeFunctions f;
    f.InitStream = beInit;
    f.EncodeChunk = beEncode;
    f.DeinitStream = beDeinit;
    f.CloseStream = beClose;
    encoders.BindBladeFunctions(f);
}

void ScriptedEncoder::InstallVorbis(Rip::TEncoders& encoders) {
    g = this;
    liveHandle = 0;
    VorbisDll::TVorbisFunctions f;
    f.vbEncOpen = vbOpen;
    f.vbEncWrite = vbWrite;
    f.vbEncClose = vbClose;
    f.vbDecOpen = vbDecOpenNever;
    f.vbVersion = vbVer;
    encoders.BindVorbisFunctions(f);
}

int ScriptedEncoder::Count(const std::string& call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}
