#include "bladeenc.h"

#include <lame.h>

#include <cstdarg>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "handleregistry.h"

static_assert(sizeof(BE_CONFIG) == BE_CONFIG_SIZE);
static_assert(offsetof(BE_CONFIG, format) == 4);
static_assert(offsetof(BE_CONFIG_MP3_PARAMS, byMode) == 4);
static_assert(offsetof(BE_CONFIG_MP3_PARAMS, wBitrate) == 5);
static_assert(offsetof(BE_CONFIG_MP3_PARAMS, bOriginal) == 19);
static_assert(sizeof(BE_CONFIG_MP3_PARAMS) == 23);
static_assert(sizeof(BE_VERSION) == BE_VERSION_SIZE);

namespace {

constexpr BYTE kLibraryMajor = 1;
constexpr BYTE kLibraryMinor = 0;
constexpr BYTE kReleaseDay = 8;
constexpr BYTE kReleaseMonth = 12;
constexpr WORD kReleaseYear = 2026;

constexpr DWORD kSampleRate = 44100;
// Four MPEG-1 Layer III frames of stereo input per chunk: the caller's per-chunk work
// (status text, event handling) then comes about ten times a second of audio, not forty.
constexpr int kFramesPerChunk = 4 * 1152;
constexpr DWORD kSamplesPerChunk = 2 * kFramesPerChunk;
// LAME's own worst case for one call: 1.25 bytes per input frame plus 7200, which also
// covers the flush (at most 7200 bytes).
constexpr DWORD kOutputBufferSize = kFramesPerChunk * 5 / 4 + 7200;

constexpr WORD kBitrates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};

void quiet(const char*, va_list) {}

struct LameDeleter {
    void operator()(lame_global_flags* gf) const { lame_close(gf); }
};

enum class State { Encoding, Flushed, Failed };

struct Stream {
    std::unique_ptr<lame_global_flags, LameDeleter> lame;
    bool mono = false;
    State state = State::Encoding;
    std::vector<int> left, right;
};

svhandles::HandleRegistry<Stream>& streams() {
    static svhandles::HandleRegistry<Stream> registry(BE_MAX_STREAMS);
    return registry;
}

bool validBitrate(WORD kbps) {
    for (WORD b : kBitrates) {
        if (b == kbps) return true;
    }
    return false;
}

MPEG_mode lameMode(BYTE mode) {
    switch (mode) {
        case BE_MP3_MODE_DUALCHANNEL:
            return DUAL_CHANNEL;
        case BE_MP3_MODE_JSTEREO:
            return JOINT_STEREO;
        case BE_MP3_MODE_MONO:
            return MONO;
        default:
            return STEREO;
    }
}

}  // namespace

extern "C" {

BLADEENC_API BE_ERR beInitStream(PBE_CONFIG pbeConfig, DWORD* dwSamples, DWORD* dwBufferSize,
                                 HBE_STREAM* phbeStream) {
    if (pbeConfig == nullptr || dwSamples == nullptr || dwBufferSize == nullptr ||
        phbeStream == nullptr) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    // Copied field by field: the caller's record is packed and may be as short as 27 bytes.
    DWORD config;
    BE_CONFIG_MP3_PARAMS mp3;
    std::memcpy(&config, pbeConfig, sizeof config);
    if (config != BE_CONFIG_MP3) return BE_ERR_INVALID_FORMAT;
    std::memcpy(&mp3, reinterpret_cast<const BYTE*>(pbeConfig) + 4, sizeof mp3);
    if (mp3.dwSampleRate != kSampleRate || mp3.byMode > BE_MP3_MODE_MONO ||
        !validBitrate(mp3.wBitrate)) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }

    auto stream = std::unique_ptr<Stream>(new (std::nothrow) Stream);
    if (!stream) return BE_ERR_NO_MORE_HANDLES;
    stream->lame.reset(lame_init());
    if (!stream->lame) return BE_ERR_NO_MORE_HANDLES;
    lame_global_flags* gf = stream->lame.get();
    lame_set_errorf(gf, quiet);
    lame_set_debugf(gf, quiet);
    lame_set_msgf(gf, quiet);

    stream->mono = mp3.byMode == BE_MP3_MODE_MONO;
    lame_set_num_channels(gf, stream->mono ? 1 : 2);
    lame_set_in_samplerate(gf, kSampleRate);
    lame_set_out_samplerate(gf, kSampleRate);
    lame_set_mode(gf, lameMode(mp3.byMode));
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, mp3.wBitrate);
    lame_set_extension(gf, mp3.bPrivate != 0);
    lame_set_error_protection(gf, mp3.bCRC != 0);
    lame_set_copyright(gf, mp3.bCopyright != 0);
    lame_set_original(gf, mp3.bOriginal != 0);
    // The file is exactly the frames: no Xing/Info frame, no tag of any kind.
    lame_set_bWriteVbrTag(gf, 0);
    lame_set_write_id3tag_automatic(gf, 0);
    if (lame_init_params(gf) < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;

    try {
        stream->left.resize(kFramesPerChunk);
        if (!stream->mono) stream->right.resize(kFramesPerChunk);
    } catch (const std::bad_alloc&) {
        return BE_ERR_NO_MORE_HANDLES;
    }

    const HBE_STREAM handle = streams().add(std::move(stream));
    if (handle == 0) return BE_ERR_NO_MORE_HANDLES;
    *dwSamples = kSamplesPerChunk;
    *dwBufferSize = kOutputBufferSize;
    *phbeStream = handle;
    return BE_ERR_SUCCESSFUL;
}

BLADEENC_API BE_ERR beEncodeChunk(HBE_STREAM hbeStream, DWORD nSamples, const int16_t* pSamples,
                                  uint8_t* pOutput, DWORD* pdwOutput) {
    if (pdwOutput != nullptr) *pdwOutput = 0;
    Stream* s = streams().find(hbeStream);
    if (s == nullptr || s->state == State::Flushed) return BE_ERR_INVALID_HANDLE;
    if (s->state == State::Failed) return BE_ERR_ENCODER_FAILED;
    if (pOutput == nullptr || pdwOutput == nullptr || (pSamples == nullptr && nSamples > 0) ||
        nSamples % 2 != 0 || nSamples > kSamplesPerChunk) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    const int frames = static_cast<int>(nSamples / 2);
    if (frames == 0) return BE_ERR_SUCCESSFUL;

    // LAME's 32-bit input is full scale: a 16-bit sample times 65536. The downmix keeps the
    // half bit of (L + R) / 2 that a 16-bit average would round away.
    int* l = s->left.data();
    if (s->mono) {
        for (int i = 0; i < frames; ++i) l[i] = (pSamples[2 * i] + pSamples[2 * i + 1]) * 32768;
    } else {
        int* r = s->right.data();
        for (int i = 0; i < frames; ++i) {
            l[i] = pSamples[2 * i] * 65536;
            r[i] = pSamples[2 * i + 1] * 65536;
        }
    }
    const int n = lame_encode_buffer_int(s->lame.get(), l, s->mono ? l : s->right.data(), frames,
                                         pOutput, static_cast<int>(kOutputBufferSize));
    if (n < 0) {
        s->state = State::Failed;
        return BE_ERR_ENCODER_FAILED;
    }
    *pdwOutput = static_cast<DWORD>(n);
    return BE_ERR_SUCCESSFUL;
}

BLADEENC_API BE_ERR beDeinitStream(HBE_STREAM hbeStream, uint8_t* pOutput, DWORD* pdwOutput) {
    if (pdwOutput != nullptr) *pdwOutput = 0;
    Stream* s = streams().find(hbeStream);
    if (s == nullptr || s->state == State::Flushed) return BE_ERR_INVALID_HANDLE;
    if (s->state == State::Failed) return BE_ERR_ENCODER_FAILED;
    if (pOutput == nullptr || pdwOutput == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const int n = lame_encode_flush(s->lame.get(), pOutput, static_cast<int>(kOutputBufferSize));
    if (n < 0) {
        s->state = State::Failed;
        return BE_ERR_ENCODER_FAILED;
    }
    s->state = State::Flushed;
    *pdwOutput = static_cast<DWORD>(n);
    return BE_ERR_SUCCESSFUL;
}

BLADEENC_API BE_ERR beCloseStream(HBE_STREAM hbeStream) {
    return streams().take(hbeStream) ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_HANDLE;
}

BLADEENC_API void beVersion(PBE_VERSION pbeVersion) {
    if (pbeVersion == nullptr) return;
    std::memset(pbeVersion, 0, sizeof *pbeVersion);
    lame_version_t lame;
    get_lame_version_numerical(&lame);
    pbeVersion->byDLLMajorVersion = kLibraryMajor;
    pbeVersion->byDLLMinorVersion = kLibraryMinor;
    pbeVersion->byMajorVersion = static_cast<BYTE>(lame.major);
    pbeVersion->byMinorVersion = static_cast<BYTE>(lame.minor);
    pbeVersion->byDay = kReleaseDay;
    pbeVersion->byMonth = kReleaseMonth;
    pbeVersion->wYear = kReleaseYear;
    const char* text = get_lame_version();
    std::strncpy(pbeVersion->zEngine, text ? text : "", sizeof pbeVersion->zEngine - 1);
}

}  // extern "C"
