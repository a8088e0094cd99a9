#include "libvorbisdll.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "handleregistry.h"

static_assert(sizeof(VbEncConfig) == VB_ENC_CONFIG_SIZE);
static_assert(offsetof(VbEncConfig, dwChannels) == 12);
static_assert(offsetof(VbEncConfig, dwSampleRate) == 16);
static_assert(offsetof(VbEncConfig, fQuality) == 36);
static_assert(sizeof(VbVersionInfo) == VB_VERSION_INFO_SIZE);
static_assert(offsetof(VbVersionInfo, wYear) == 6);
static_assert(sizeof(VbDecInfo) == VB_DEC_INFO_SIZE);
static_assert(offsetof(VbDecInfo, qwFrames) == 16);
#if UINTPTR_MAX == UINT64_MAX
static_assert(sizeof(VbTrackInfo) == 88);
static_assert(offsetof(VbTrackInfo, pszArtist) == 24);
static_assert(offsetof(VbTrackInfo, dwTrackNumber) == 56);
static_assert(offsetof(VbTrackInfo, pszDate) == 80);
#endif

namespace {

constexpr uint8_t kLibraryMajor = 1;
constexpr uint8_t kLibraryMinor = 0;
constexpr uint8_t kReleaseDay = 8;
constexpr uint8_t kReleaseMonth = 12;
constexpr uint16_t kReleaseYear = 2026;

constexpr uint32_t kSampleRate = 44100;
// About a tenth of a second of audio per chunk, as the MP3 library gives.
constexpr uint32_t kFramesPerChunk = 4096;
constexpr uint32_t kSamplesPerChunk = 2 * kFramesPerChunk;
// Vorbis at its best quality stays well below the 16-bit input's own size, and what the
// encoder holds back between calls is at most a long block and one page. A write hands
// out its chunk's data, possibly the previous one's remainder and, the first time, the
// headers (the setup header is a few kilobytes): twice the chunk's input size plus 64 KiB
// leaves ample room. Should a write ever produce more, the rest waits for the next call.
constexpr uint32_t kOutputBufferSize = 2 * kSamplesPerChunk * 2 + 65536;

struct Object {
    virtual ~Object() = default;
};

struct Encoder : Object {
    vorbis_info vi{};
    vorbis_comment vc{};
    vorbis_dsp_state vd{};
    vorbis_block vb{};
    ogg_stream_state os{};
    bool infoReady = false, commentReady = false, dspReady = false, blockReady = false,
         streamReady = false;
    int channels = 2;
    bool failed = false;
    std::vector<uint8_t> pending;  // Ogg bytes not yet handed out

    ~Encoder() override {
        if (streamReady) ogg_stream_clear(&os);
        if (blockReady) vorbis_block_clear(&vb);
        if (dspReady) vorbis_dsp_clear(&vd);
        if (commentReady) vorbis_comment_clear(&vc);
        if (infoReady) vorbis_info_clear(&vi);
    }
};

struct Decoder : Object {
    OggVorbis_File vf{};
    bool open = false;
    int channels = 0;

    ~Decoder() override {
        if (open) ov_clear(&vf);
    }
};

svhandles::HandleRegistry<Object>& handles() {
    static svhandles::HandleRegistry<Object> registry(VB_MAX_HANDLES);
    return registry;
}

template <class T>
T* lookup(VbHandle h) {
    return dynamic_cast<T*>(handles().find(h));
}

// A handle of the other kind stays open under its number.
template <class T>
std::unique_ptr<Object> takeIfA(VbHandle h) {
    return handles().takeUnless(h, [](Object& o) { return dynamic_cast<T*>(&o) == nullptr; });
}

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool validUtf8(const unsigned char* s) {
    while (*s) {
        const unsigned char c = *s;
        int extra;
        uint32_t cp;
        if (c < 0x80) {
            ++s;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        for (int i = 1; i <= extra; ++i) {
            if ((s[i] & 0xC0) != 0x80) return false;  // also stops at the terminator
            cp = (cp << 6) | (s[i] & 0x3F);
        }
        static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        s += extra + 1;
    }
    return true;
}

// The program's texts are 8-bit; what is not UTF-8 already is taken as Latin-1.
std::string commentText(const char* text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    if (validUtf8(s)) return text;
    std::string out;
    for (; *s; ++s) {
        if (*s < 0x80) {
            out += char(*s);
        } else {
            out += char(0xC0 | (*s >> 6));
            out += char(0x80 | (*s & 0x3F));
        }
    }
    return out;
}

void addText(vorbis_comment* vc, const char* tag, const char* text) {
    if (text == nullptr || *text == '\0') return;
    vorbis_comment_add_tag(vc, tag, commentText(text).c_str());
}

void addNumber(vorbis_comment* vc, const char* tag, uint32_t n) {
    if (n == 0) return;
    vorbis_comment_add_tag(vc, tag, std::to_string(n).c_str());
}

void appendPage(Encoder& e, const ogg_page& page) {
    e.pending.insert(e.pending.end(), page.header, page.header + page.header_len);
    e.pending.insert(e.pending.end(), page.body, page.body + page.body_len);
}

// Runs the analysis on whatever the encoder has buffered and queues the finished pages.
bool drain(Encoder& e) {
    ogg_packet packet;
    ogg_page page;
    while (vorbis_analysis_blockout(&e.vd, &e.vb) == 1) {
        if (vorbis_analysis(&e.vb, nullptr) != 0) return false;
        if (vorbis_bitrate_addblock(&e.vb) != 0) return false;
        int r;
        while ((r = vorbis_bitrate_flushpacket(&e.vd, &packet)) == 1) {
            if (ogg_stream_packetin(&e.os, &packet) != 0) return false;
            while (ogg_stream_pageout(&e.os, &page) != 0) appendPage(e, page);
        }
        if (r < 0) return false;
    }
    return true;
}

uint32_t handOut(Encoder& e, uint8_t* output) {
    const size_t n = std::min<size_t>(e.pending.size(), kOutputBufferSize);
    std::memcpy(output, e.pending.data(), n);
    e.pending.erase(e.pending.begin(), e.pending.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<uint32_t>(n);
}

int randomSerial() {
    try {
        std::random_device rd;
        return static_cast<int>(rd() & 0x7FFFFFFF);
    } catch (...) {
        static int counter = 0;
        return ++counter;
    }
}

void parseEngineVersion(const char* text, uint8_t* major, uint8_t* minor) {
    *major = *minor = 0;
    if (text == nullptr) return;
    // "Xiph.Org libVorbis 1.3.7": the numbers are the last word.
    const char* word = std::strrchr(text, ' ');
    word = word ? word + 1 : text;
    unsigned ma = 0, mi = 0;
    if (std::sscanf(word, "%u.%u", &ma, &mi) == 2 && ma < 256 && mi < 256) {
        *major = static_cast<uint8_t>(ma);
        *minor = static_cast<uint8_t>(mi);
    }
}

VbResult openEncoder(const VbEncConfig& config, const VbTrackInfo& info, Encoder& e) {
    e.channels = static_cast<int>(config.dwChannels);
    vorbis_info_init(&e.vi);
    e.infoReady = true;
    if (vorbis_encode_init_vbr(&e.vi, e.channels, kSampleRate, config.fQuality) != 0) {
        return VB_ERR_ENCODER;
    }
    vorbis_comment_init(&e.vc);
    e.commentReady = true;
    addText(&e.vc, "ARTIST", info.pszArtist);
    addText(&e.vc, "ALBUM", info.pszAlbum);
    addText(&e.vc, "TITLE", info.pszTitle);
    addText(&e.vc, "GENRE", info.pszGenre);
    addNumber(&e.vc, "TRACKNUMBER", info.dwTrackNumber);
    addNumber(&e.vc, "TRACKTOTAL", info.dwTrackCount);
    addText(&e.vc, "DATE", info.pszDate);
    addText(&e.vc, "ENCODER", info.pszEncoder);
    addText(&e.vc, "COMMENT", info.pszComment);

    if (vorbis_analysis_init(&e.vd, &e.vi) != 0) return VB_ERR_ENCODER;
    e.dspReady = true;
    if (vorbis_block_init(&e.vd, &e.vb) != 0) return VB_ERR_ENCODER;
    e.blockReady = true;
    if (ogg_stream_init(&e.os, randomSerial()) != 0) return VB_ERR_ENCODER;
    e.streamReady = true;

    ogg_packet id, comment, setup;
    if (vorbis_analysis_headerout(&e.vd, &e.vc, &id, &comment, &setup) != 0) {
        return VB_ERR_ENCODER;
    }
    ogg_stream_packetin(&e.os, &id);
    ogg_stream_packetin(&e.os, &comment);
    ogg_stream_packetin(&e.os, &setup);
    // Audio starts on a page of its own, as decoders expect.
    ogg_page page;
    while (ogg_stream_flush(&e.os, &page) != 0) appendPage(e, page);
    return VB_OK;
}

bool nativeBigEndian() {
    return std::endian::native == std::endian::big;
}

}  // namespace

extern "C" {

VORBISDLL_API VbResult vbEncOpen(const VbEncConfig* config, const VbTrackInfo* info,
                                 uint32_t* samplesPerChunk, uint32_t* outBufferSize,
                                 VbHandle* handle) {
    if (config == nullptr || info == nullptr || samplesPerChunk == nullptr ||
        outBufferSize == nullptr || handle == nullptr) {
        return VB_ERR_INVALID_ARGUMENT;
    }
    if (config->dwKind != VB_CONFIG_KIND || config->dwSize != VB_ENC_CONFIG_SIZE) {
        return VB_ERR_CONFIG_SIZE;
    }
    if ((config->dwChannels != 1 && config->dwChannels != 2) ||
        config->dwSampleRate != kSampleRate) {
        return VB_ERR_CONFIG_FORMAT;
    }
    const float q = config->fQuality;
    if (!std::isfinite(q) || q < -0.1f || q > 1.0f) return VB_ERR_QUALITY;
    if (info->dwSize != sizeof(VbTrackInfo)) return VB_ERR_TRACKINFO_SIZE;

    std::unique_ptr<Encoder> e(new (std::nothrow) Encoder);
    if (!e) return VB_ERR_NO_MORE_HANDLES;
    try {
        const VbResult r = openEncoder(*config, *info, *e);
        if (r != VB_OK) return r;
    } catch (const std::bad_alloc&) {
        return VB_ERR_NO_MORE_HANDLES;
    }
    const VbHandle h = handles().add(std::move(e));
    if (h == 0) return VB_ERR_NO_MORE_HANDLES;
    *samplesPerChunk = kSamplesPerChunk;
    *outBufferSize = kOutputBufferSize;
    *handle = h;
    return VB_OK;
}

VORBISDLL_API VbResult vbEncWrite(VbHandle handle, uint32_t nSamples, const int16_t* samples,
                                  uint8_t* output, uint32_t* outputBytes) {
    if (outputBytes != nullptr) *outputBytes = 0;
    Encoder* e = lookup<Encoder>(handle);
    if (e == nullptr) return VB_ERR_INVALID_HANDLE;
    if (output == nullptr || outputBytes == nullptr || (samples == nullptr && nSamples > 0) ||
        nSamples % 2 != 0 || nSamples > kSamplesPerChunk) {
        return VB_ERR_INVALID_ARGUMENT;
    }
    if (e->failed) return VB_ERR_ENCODER;
    const int frames = static_cast<int>(nSamples / 2);
    try {
        // vorbis_analysis_wrote(0) would end the stream, so an empty write only hands out.
        if (frames > 0) {
            float** buf = vorbis_analysis_buffer(&e->vd, frames);
            if (e->channels == 1) {
                for (int i = 0; i < frames; ++i) {
                    buf[0][i] = (samples[2 * i] + samples[2 * i + 1]) / 65536.0f;
                }
            } else {
                for (int i = 0; i < frames; ++i) {
                    buf[0][i] = samples[2 * i] / 32768.0f;
                    buf[1][i] = samples[2 * i + 1] / 32768.0f;
                }
            }
            if (vorbis_analysis_wrote(&e->vd, frames) != 0 || !drain(*e)) {
                e->failed = true;
                return VB_ERR_ENCODER;
            }
        }
        *outputBytes = handOut(*e, output);
    } catch (const std::bad_alloc&) {
        e->failed = true;
        return VB_ERR_ENCODER;
    }
    return VB_OK;
}

VORBISDLL_API VbResult vbEncClose(VbHandle handle, uint8_t* output, uint32_t* outputBytes) {
    if (outputBytes != nullptr) *outputBytes = 0;
    std::unique_ptr<Object> obj = takeIfA<Encoder>(handle);
    auto* e = static_cast<Encoder*>(obj.get());
    if (e == nullptr) return VB_ERR_INVALID_HANDLE;
    if (output == nullptr && outputBytes == nullptr) return VB_OK;
    if (output == nullptr || outputBytes == nullptr) return VB_ERR_INVALID_ARGUMENT;
    if (e->failed) return VB_ERR_ENCODER;
    try {
        if (vorbis_analysis_wrote(&e->vd, 0) != 0 || !drain(*e)) return VB_ERR_ENCODER;
        ogg_page page;
        while (ogg_stream_flush(&e->os, &page) != 0) appendPage(*e, page);
        if (e->pending.size() > kOutputBufferSize) return VB_ERR_OUTPUT_OVERFLOW;
        *outputBytes = handOut(*e, output);
    } catch (const std::bad_alloc&) {
        return VB_ERR_ENCODER;
    }
    return VB_OK;
}

VORBISDLL_API VbResult vbVersion(VbVersionInfo* info) {
    if (info == nullptr) return VB_ERR_INVALID_ARGUMENT;
    std::memset(info, 0, sizeof *info);
    info->byMajor = kLibraryMajor;
    info->byMinor = kLibraryMinor;
    const char* engine = vorbis_version_string();
    parseEngineVersion(engine, &info->byEngineMajor, &info->byEngineMinor);
    info->byDay = kReleaseDay;
    info->byMonth = kReleaseMonth;
    info->wYear = kReleaseYear;
    std::strncpy(info->szEngine, engine ? engine : "", sizeof info->szEngine - 1);
    return VB_OK;
}

VORBISDLL_API VbResult vbDecOpen(const char* path, VbDecInfo* info, VbHandle* handle) {
    if (path == nullptr || info == nullptr || handle == nullptr ||
        info->dwSize != VB_DEC_INFO_SIZE) {
        return VB_ERR_INVALID_ARGUMENT;
    }
    std::unique_ptr<Decoder> d(new (std::nothrow) Decoder);
    if (!d) return VB_ERR_NO_MORE_HANDLES;
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return VB_ERR_FILE_OPEN;
    if (ov_open_callbacks(f, &d->vf, nullptr, 0, OV_CALLBACKS_DEFAULT) != 0) {
        std::fclose(f);  // not taken over on failure
        return VB_ERR_NOT_VORBIS;
    }
    d->open = true;
    const vorbis_info* first = ov_info(&d->vf, 0);
    if (first == nullptr || first->channels < 1 || first->channels > 2 || !ov_seekable(&d->vf)) {
        return VB_ERR_NOT_VORBIS;
    }
    for (long link = 1; link < ov_streams(&d->vf); ++link) {
        const vorbis_info* vi = ov_info(&d->vf, static_cast<int>(link));
        if (vi == nullptr || vi->channels != first->channels || vi->rate != first->rate) {
            return VB_ERR_NOT_VORBIS;
        }
    }
    const ogg_int64_t total = ov_pcm_total(&d->vf, -1);
    if (total < 0) return VB_ERR_NOT_VORBIS;
    d->channels = first->channels;

    VbDecInfo out{};
    out.dwSize = VB_DEC_INFO_SIZE;
    out.dwChannels = static_cast<uint32_t>(first->channels);
    out.dwSampleRate = static_cast<uint32_t>(first->rate);
    out.lBitrateNominal = static_cast<int32_t>(std::max(0L, first->bitrate_nominal));
    out.lBitrateUpper = static_cast<int32_t>(std::max(0L, first->bitrate_upper));
    out.lBitrateLower = static_cast<int32_t>(std::max(0L, first->bitrate_lower));
    out.qwFrames = static_cast<uint64_t>(total);

    const VbHandle h = handles().add(std::move(d));
    if (h == 0) return VB_ERR_NO_MORE_HANDLES;
    *info = out;
    *handle = h;
    return VB_OK;
}

VORBISDLL_API VbResult vbDecRead(VbHandle handle, int16_t* out, uint32_t maxSamples,
                                 uint32_t* samplesRead) {
    if (samplesRead != nullptr) *samplesRead = 0;
    Decoder* d = lookup<Decoder>(handle);
    if (d == nullptr) return VB_ERR_INVALID_HANDLE;
    if (out == nullptr || samplesRead == nullptr ||
        maxSamples < static_cast<uint32_t>(d->channels)) {
        return VB_ERR_INVALID_ARGUMENT;
    }
    const uint64_t wanted = maxSamples - maxSamples % static_cast<uint32_t>(d->channels);
    uint64_t got = 0;
    while (got < wanted) {
        const int bytes = static_cast<int>(std::min<uint64_t>((wanted - got) * 2, 1 << 20));
        int link = 0;
        const long n = ov_read(&d->vf, reinterpret_cast<char*>(out + got), bytes,
                               nativeBigEndian() ? 1 : 0, 2, 1, &link);
        if (n == 0) break;
        if (n == OV_HOLE) continue;  // a gap in the data; decoding goes on after it
        if (n < 0) return VB_ERR_DECODE;
        got += static_cast<uint64_t>(n) / 2;
    }
    *samplesRead = static_cast<uint32_t>(got);
    return VB_OK;
}

VORBISDLL_API VbResult vbDecSeek(VbHandle handle, uint64_t frame) {
    Decoder* d = lookup<Decoder>(handle);
    if (d == nullptr) return VB_ERR_INVALID_HANDLE;
    const ogg_int64_t total = ov_pcm_total(&d->vf, -1);
    if (frame > static_cast<uint64_t>(total)) return VB_ERR_INVALID_ARGUMENT;
    return ov_pcm_seek(&d->vf, static_cast<ogg_int64_t>(frame)) == 0 ? VB_OK : VB_ERR_SEEK;
}

VORBISDLL_API VbResult vbDecClose(VbHandle handle) {
    return takeIfA<Decoder>(handle) ? VB_OK : VB_ERR_INVALID_HANDLE;
}

}  // extern "C"
