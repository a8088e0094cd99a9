// libvorbisdll's calls at their edges: records, sample counts and handles it refuses, the
// version record, loading by name as the program does, and the decoder calls.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <vorbis/codec.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "ToneSignal.h"
#include "libvorbisdll.h"
#include "oggcheck.h"

namespace {

using namespace oggcheck;

struct Opened {
    VbResult result = 0;
    uint32_t samples = 0, bufSize = 0;
    VbHandle handle = 0;
};

const Track kTrack;

Opened open(const VbEncConfig& c, const VbTrackInfo& info = kTrack.info()) {
    Opened o;
    o.result = vbEncOpen(&c, &info, &o.samples, &o.bufSize, &o.handle);
    return o;
}

TEST(VorbisDllConfig, RefusesRecordsItDoesNotKnow) {
    VbEncConfig c = config(2, 0.6f);
    for (uint32_t size : {0u, 56u, 259u, 261u}) {
        c.dwSize = size;
        EXPECT_EQ(open(c).result, VB_ERR_CONFIG_SIZE) << size;
    }
    c = config(2, 0.6f);
    c.dwKind = 0;
    EXPECT_EQ(open(c).result, VB_ERR_CONFIG_SIZE);

    for (uint32_t channels : {0u, 3u, 6u}) {
        EXPECT_EQ(open(config(channels, 0.6f)).result, VB_ERR_CONFIG_FORMAT) << channels;
    }
    for (uint32_t rate : {0u, 22050u, 48000u}) {
        c = config(2, 0.6f);
        c.dwSampleRate = rate;
        EXPECT_EQ(open(c).result, VB_ERR_CONFIG_FORMAT) << rate;
    }
    for (float q : {-0.2f, 1.01f, 6.0f, std::numeric_limits<float>::quiet_NaN(),
                    std::numeric_limits<float>::infinity()}) {
        EXPECT_EQ(open(config(2, q)).result, VB_ERR_QUALITY) << q;
    }
}

TEST(VorbisDllConfig, TrackInfoMustCarryItsNativeSize) {
    const Track track;
    VbTrackInfo info = track.info();
    // 56 is the size of the record with 32-bit pointers: not this library's layout.
    for (uint32_t size : {0u, 56u, uint32_t(sizeof(VbTrackInfo) - 1), uint32_t(sizeof info + 8)}) {
        info.dwSize = size;
        EXPECT_EQ(open(config(2, 0.6f), info).result, VB_ERR_TRACKINFO_SIZE) << size;
    }
}

TEST(VorbisDllConfig, RefusedOpenLeavesOutputsAloneAndNullsAreRefused) {
    const VbEncConfig c = config(2, 0.6f);
    const Track track;
    const VbTrackInfo info = track.info();
    VbEncConfig bad = config(3, 0.6f);
    uint32_t samples = 7, bufSize = 8;
    VbHandle h = 9;
    EXPECT_EQ(vbEncOpen(&bad, &info, &samples, &bufSize, &h), VB_ERR_CONFIG_FORMAT);
    EXPECT_EQ(samples, 7u);
    EXPECT_EQ(bufSize, 8u);
    EXPECT_EQ(h, 9u);
    EXPECT_EQ(vbEncOpen(nullptr, &info, &samples, &bufSize, &h), VB_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(vbEncOpen(&c, nullptr, &samples, &bufSize, &h), VB_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(vbEncOpen(&c, &info, nullptr, &bufSize, &h), VB_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(vbEncOpen(&c, &info, &samples, nullptr, &h), VB_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(vbEncOpen(&c, &info, &samples, &bufSize, nullptr), VB_ERR_INVALID_ARGUMENT);
}

TEST(VorbisDllConfig, OnlyTheNamedFieldsMatter) {
    // The reserved words of both records are ignored: the program fills its own values.
    VbEncConfig noisy = config(2, 0.4f);
    noisy.dwFlags = 0xFFFFFFFF;
    std::memset(noisy.reserved1, 0x5A, sizeof noisy.reserved1);
    std::memset(noisy.reserved2, 0xA5, sizeof noisy.reserved2);
    const Track track;
    VbTrackInfo info = track.info();
    info.dwReserved1 = info.dwReserved2 = info.dwReserved3 = info.dwReserved4 = 0xDEADBEEF;
    const auto pcm = tonesignal::stereoTone(4410, 440, 0.5, 660, 0.5);
    const Decoded d = decode(encode(noisy, info, pcm), "noisy.ogg");
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.frames(), 4410u);
    EXPECT_EQ(d.comments.size(), 9u);
}

class VorbisDllCalls : public testing::Test {
protected:
    void SetUp() override {
        o_ = open(config(2, 0.6f));
        ASSERT_EQ(o_.result, VB_OK);
        EXPECT_NE(o_.handle, 0u);
        EXPECT_EQ(o_.samples % 2, 0u);
        EXPECT_GT(o_.samples, 0u);
        buf_.resize(o_.bufSize);
        pcm_.assign(o_.samples + 2, 100);
    }
    void TearDown() override { vbEncClose(o_.handle, nullptr, nullptr); }

    Opened o_;
    std::vector<uint8_t> buf_;
    std::vector<int16_t> pcm_;
};

TEST_F(VorbisDllCalls, SampleCountsMustBeEvenAndFitAChunk) {
    uint32_t bytes = 99;
    EXPECT_EQ(vbEncWrite(o_.handle, 1, pcm_.data(), buf_.data(), &bytes), VB_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(vbEncWrite(o_.handle, o_.samples - 1, pcm_.data(), buf_.data(), &bytes),
              VB_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(vbEncWrite(o_.handle, o_.samples + 2, pcm_.data(), buf_.data(), &bytes),
              VB_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(vbEncWrite(o_.handle, 2, nullptr, buf_.data(), &bytes), VB_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(vbEncWrite(o_.handle, 2, pcm_.data(), nullptr, &bytes), VB_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(vbEncWrite(o_.handle, 2, pcm_.data(), buf_.data(), nullptr), VB_ERR_INVALID_ARGUMENT);
    // Refused writes change nothing: the stream holds exactly what was accepted.
    std::vector<uint8_t> out;
    ASSERT_EQ(vbEncWrite(o_.handle, 0, nullptr, buf_.data(), &bytes), VB_OK);
    out.insert(out.end(), buf_.begin(), buf_.begin() + bytes);
    ASSERT_EQ(vbEncWrite(o_.handle, o_.samples, pcm_.data(), buf_.data(), &bytes), VB_OK);
    out.insert(out.end(), buf_.begin(), buf_.begin() + bytes);
    ASSERT_EQ(vbEncWrite(o_.handle, 6, pcm_.data(), buf_.data(), &bytes), VB_OK);
    out.insert(out.end(), buf_.begin(), buf_.begin() + bytes);
    ASSERT_EQ(vbEncClose(o_.handle, buf_.data(), &bytes), VB_OK);
    out.insert(out.end(), buf_.begin(), buf_.begin() + bytes);
    EXPECT_EQ(decode(out, "refused.ogg").pcmTotal, int64_t(o_.samples / 2 + 3));
}

TEST_F(VorbisDllCalls, HeadersComeWithTheFirstWrite) {
    uint32_t bytes = 0;
    ASSERT_EQ(vbEncWrite(o_.handle, 0, nullptr, buf_.data(), &bytes), VB_OK);
    ASSERT_GT(bytes, 58u);
    EXPECT_EQ(std::memcmp(buf_.data(), "OggS", 4), 0);
    EXPECT_EQ(std::memcmp(buf_.data() + 28, "\x01vorbis", 7), 0);
    // Nothing more until audio comes.
    ASSERT_EQ(vbEncWrite(o_.handle, 0, nullptr, buf_.data(), &bytes), VB_OK);
    EXPECT_EQ(bytes, 0u);
}

TEST_F(VorbisDllCalls, NullUnknownClosedAndForeignHandlesAreRefused) {
    uint32_t bytes = 5;
    for (VbHandle bad : {VbHandle(0), o_.handle + 1000, VbHandle(0xFFFFFFFF)}) {
        EXPECT_EQ(vbEncWrite(bad, 2, pcm_.data(), buf_.data(), &bytes), VB_ERR_INVALID_HANDLE);
        EXPECT_EQ(bytes, 0u);
        EXPECT_EQ(vbEncClose(bad, buf_.data(), &bytes), VB_ERR_INVALID_HANDLE);
        EXPECT_EQ(vbDecClose(bad), VB_ERR_INVALID_HANDLE);
    }
    // An encoder handle is no decoder handle; the refused calls leave the encoder open.
    int16_t out[4];
    uint32_t got = 0;
    EXPECT_EQ(vbDecRead(o_.handle, out, 4, &got), VB_ERR_INVALID_HANDLE);
    EXPECT_EQ(vbDecSeek(o_.handle, 0), VB_ERR_INVALID_HANDLE);
    EXPECT_EQ(vbDecClose(o_.handle), VB_ERR_INVALID_HANDLE);
    EXPECT_EQ(vbEncWrite(o_.handle, 2, pcm_.data(), buf_.data(), &bytes), VB_OK);

    const VbHandle stale = o_.handle;
    ASSERT_EQ(vbEncClose(stale, buf_.data(), &bytes), VB_OK);
    EXPECT_EQ(vbEncWrite(stale, 2, pcm_.data(), buf_.data(), &bytes), VB_ERR_INVALID_HANDLE);
    EXPECT_EQ(vbEncClose(stale, buf_.data(), &bytes), VB_ERR_INVALID_HANDLE);
    o_ = open(config(1, 0.4f));
    ASSERT_EQ(o_.result, VB_OK);
    EXPECT_NE(o_.handle, stale);
    EXPECT_EQ(vbEncWrite(stale, 2, pcm_.data(), buf_.data(), &bytes), VB_ERR_INVALID_HANDLE);
}

TEST_F(VorbisDllCalls, CloseFreesTheStreamOnEveryPath) {
    uint32_t bytes = 0;
    // Only one of the two output pointers: refused, yet the stream is gone.
    EXPECT_EQ(vbEncClose(o_.handle, buf_.data(), nullptr), VB_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(vbEncWrite(o_.handle, 2, pcm_.data(), buf_.data(), &bytes), VB_ERR_INVALID_HANDLE);
    o_ = open(config(2, 0.6f));
    EXPECT_EQ(vbEncClose(o_.handle, nullptr, &bytes), VB_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(vbEncClose(o_.handle, nullptr, nullptr), VB_ERR_INVALID_HANDLE);
    // Both null: dropped without an ending, after audio was written.
    o_ = open(config(2, 0.6f));
    ASSERT_EQ(vbEncWrite(o_.handle, o_.samples, pcm_.data(), buf_.data(), &bytes), VB_OK);
    EXPECT_EQ(vbEncClose(o_.handle, nullptr, nullptr), VB_OK);
    EXPECT_EQ(vbEncClose(o_.handle, nullptr, nullptr), VB_ERR_INVALID_HANDLE);
}

TEST(VorbisDllHandles, LiveHandlesAreLimitedAndClosingFreesTheirPlaces) {
    const auto pcm = tonesignal::stereoTone(44100, 440, 0.5, 660, 0.5);
    const auto path = writeFile(encode(config(2, 0.4f), Track{}.info(), pcm), "pool.ogg");
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        // Encoders and decoders share the pool.
        std::vector<VbHandle> enc, dec;
        for (int i = 0; i < VB_MAX_HANDLES; ++i) {
            if (i % 4 == 0) {
                VbDecInfo info{};
                info.dwSize = sizeof info;
                VbHandle h = 0;
                ASSERT_EQ(vbDecOpen(path.c_str(), &info, &h), VB_OK) << i;
                dec.push_back(h);
            } else {
                const Opened o = open(config(i % 2 ? 1 : 2, 0.5f));
                ASSERT_EQ(o.result, VB_OK) << i;
                enc.push_back(o.handle);
            }
        }
        EXPECT_EQ(open(config(2, 0.5f)).result, VB_ERR_NO_MORE_HANDLES);
        VbDecInfo info{};
        info.dwSize = sizeof info;
        VbHandle h = 0;
        EXPECT_EQ(vbDecOpen(path.c_str(), &info, &h), VB_ERR_NO_MORE_HANDLES);
        std::vector<uint8_t> buf(200000);
        uint32_t bytes = 0;
        for (std::size_t i = 0; i < enc.size(); ++i) {
            EXPECT_EQ(i % 2 ? vbEncClose(enc[i], nullptr, nullptr)
                            : vbEncClose(enc[i], buf.data(), &bytes),
                      VB_OK);
        }
        for (VbHandle d : dec) EXPECT_EQ(vbDecClose(d), VB_OK);
    }
    std::filesystem::remove(path);
}

TEST(VorbisDllVersion, NamesThisLibraryAndLibvorbis) {
    VbVersionInfo v;
    std::memset(&v, 0xEE, sizeof v);
    ASSERT_EQ(vbVersion(&v), VB_OK);
    EXPECT_EQ(v.byMajor, 1);
    EXPECT_EQ(v.byMinor, 0);
    EXPECT_GE(v.wYear, 2026);
    EXPECT_GE(v.byMonth, 1);
    EXPECT_LE(v.byMonth, 12);
    EXPECT_GE(v.byDay, 1);
    EXPECT_LE(v.byDay, 31);
    // The engine is the libvorbis this process runs, and its numbers are that version's.
    EXPECT_STREQ(v.szEngine, vorbis_version_string());
    const std::string numbers =
        " " + std::to_string(v.byEngineMajor) + "." + std::to_string(v.byEngineMinor) + ".";
    EXPECT_NE(std::string(v.szEngine).find(numbers), std::string::npos) << v.szEngine;
    EXPECT_EQ(v.byEngineMajor, 1);
    // The rest of the 265 bytes is defined too.
    for (uint8_t b : v.reserved) ASSERT_EQ(b, 0);
    EXPECT_EQ(vbVersion(nullptr), VB_ERR_INVALID_ARGUMENT);
}

TEST(VorbisDllLoading, TheProgramFindsAllEightCallsByName) {
    const std::string path = std::string(SONVALE_BIN_DIR) + "/libvorbisdll.so";
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const char* name : {"vbEncOpen", "vbEncWrite", "vbEncClose", "vbDecOpen", "vbDecRead",
                             "vbDecSeek", "vbDecClose", "vbVersion"}) {
        EXPECT_NE(dlsym(lib, name), nullptr) << name;
    }
    using VersionFn = VbResult (*)(VbVersionInfo*);
    auto version = reinterpret_cast<VersionFn>(dlsym(lib, "vbVersion"));
    ASSERT_NE(version, nullptr);
    VbVersionInfo v{};
    EXPECT_EQ(version(&v), VB_OK);
    EXPECT_EQ(v.byMajor, 1);
    dlclose(lib);
}

class VorbisDllDecoder : public testing::Test {
protected:
    static constexpr std::size_t kFrames = 3 * 44100 + 17;

    void SetUp() override {
        pcm_ = tonesignal::stereoTone(kFrames, 440, 0.5, 660, 0.5);
        stereo_ = writeFile(encode(config(2, 0.6f), Track{}.info(), pcm_), "dec2.ogg");
        mono_ = writeFile(encode(config(1, 0.4f), Track{}.info(), pcm_), "dec1.ogg");
    }
    void TearDown() override {
        std::filesystem::remove(stereo_);
        std::filesystem::remove(mono_);
    }

    // Everything from the current position, read in pieces of `piece` samples.
    static std::vector<int16_t> readAll(VbHandle h, uint32_t piece) {
        std::vector<int16_t> all, buf(piece);
        for (;;) {
            uint32_t got = 0;
            EXPECT_EQ(vbDecRead(h, buf.data(), piece, &got), VB_OK);
            if (got == 0) break;
            EXPECT_LE(got, piece);
            all.insert(all.end(), buf.begin(), buf.begin() + got);
        }
        return all;
    }

    std::vector<int16_t> pcm_;
    std::filesystem::path stereo_, mono_;
};

TEST_F(VorbisDllDecoder, DecodesWhatTheEncoderWrote) {
    VbDecInfo info{};
    info.dwSize = sizeof info;
    VbHandle h = 0;
    ASSERT_EQ(vbDecOpen(stereo_.c_str(), &info, &h), VB_OK);
    EXPECT_EQ(info.dwChannels, 2u);
    EXPECT_EQ(info.dwSampleRate, 44100u);
    EXPECT_EQ(info.qwFrames, kFrames);
    EXPECT_GT(info.lBitrateNominal, 150000);
    // The same samples libvorbisfile gives, whatever the piece size; odd sizes are cut
    // to whole frames.
    std::vector<uint8_t> bytes(std::filesystem::file_size(stereo_));
    {
        std::ifstream f(stereo_, std::ios::binary);
        f.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    const Decoded ref = decode(bytes, "ref.ogg");
    const auto all = readAll(h, 4096);
    EXPECT_EQ(all.size(), 2 * kFrames);
    ASSERT_EQ(vbDecSeek(h, 0), VB_OK);
    EXPECT_EQ(readAll(h, 7), all);
    const auto srcL = tonesignal::channel(pcm_, 2, 0);
    EXPECT_GT(tonesignal::bestMatch(srcL, tonesignal::channel(all, 2, 0), 0, kFrames, 0, 0).snrDb,
              25);
    EXPECT_EQ(all, ref.pcm);
    EXPECT_EQ(vbDecClose(h), VB_OK);
    EXPECT_EQ(vbDecClose(h), VB_ERR_INVALID_HANDLE);

    ASSERT_EQ(vbDecOpen(mono_.c_str(), &info, &h), VB_OK);
    EXPECT_EQ(info.dwChannels, 1u);
    EXPECT_EQ(info.qwFrames, kFrames);
    EXPECT_EQ(readAll(h, 1000).size(), kFrames);
    EXPECT_EQ(vbDecClose(h), VB_OK);
}

TEST_F(VorbisDllDecoder, SeeksToTheSample) {
    VbDecInfo info{};
    info.dwSize = sizeof info;
    VbHandle h = 0;
    ASSERT_EQ(vbDecOpen(stereo_.c_str(), &info, &h), VB_OK);
    const auto all = readAll(h, 8192);
    ASSERT_EQ(all.size(), 2 * kFrames);
    for (uint64_t frame : {uint64_t(1), uint64_t(44100), uint64_t(kFrames - 5), uint64_t(0)}) {
        SCOPED_TRACE(frame);
        ASSERT_EQ(vbDecSeek(h, frame), VB_OK);
        std::vector<int16_t> piece(200);
        uint32_t got = 0;
        ASSERT_EQ(vbDecRead(h, piece.data(), 200, &got), VB_OK);
        ASSERT_EQ(got, std::min<uint64_t>(200, 2 * (kFrames - frame)));
        // Decoding after a seek may differ from a straight run by rounding only.
        for (uint32_t i = 0; i < got; ++i) ASSERT_NEAR(piece[i], all[2 * frame + i], 2) << i;
    }
    ASSERT_EQ(vbDecSeek(h, kFrames), VB_OK);
    int16_t one[2];
    uint32_t got = 9;
    EXPECT_EQ(vbDecRead(h, one, 2, &got), VB_OK);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(vbDecSeek(h, kFrames + 1), VB_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(vbDecClose(h), VB_OK);
}

TEST_F(VorbisDllDecoder, RefusesWhatItCannotDecode) {
    VbDecInfo info{};
    info.dwSize = sizeof info;
    VbHandle h = 0;
    const auto missing = std::filesystem::path(testing::TempDir()) / "no-such-file.ogg";
    EXPECT_EQ(vbDecOpen(missing.c_str(), &info, &h), VB_ERR_FILE_OPEN);
    const auto text = writeFile(std::vector<uint8_t>(5000, 'x'), "not-vorbis.ogg");
    EXPECT_EQ(vbDecOpen(text.c_str(), &info, &h), VB_ERR_NOT_VORBIS);
    // A file cut off in the middle of its headers.
    std::vector<uint8_t> head(1000);
    {
        std::ifstream f(stereo_, std::ios::binary);
        f.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()));
    }
    const auto cut = writeFile(head, "cut.ogg");
    EXPECT_EQ(vbDecOpen(cut.c_str(), &info, &h), VB_ERR_NOT_VORBIS);
    std::filesystem::remove(text);
    std::filesystem::remove(cut);

    EXPECT_EQ(vbDecOpen(nullptr, &info, &h), VB_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(vbDecOpen(stereo_.c_str(), nullptr, &h), VB_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(vbDecOpen(stereo_.c_str(), &info, nullptr), VB_ERR_INVALID_ARGUMENT);
    info.dwSize = 16;
    EXPECT_EQ(vbDecOpen(stereo_.c_str(), &info, &h), VB_ERR_INVALID_ARGUMENT);

    info.dwSize = sizeof info;
    ASSERT_EQ(vbDecOpen(stereo_.c_str(), &info, &h), VB_OK);
    int16_t out[8];
    uint32_t got = 0;
    EXPECT_EQ(vbDecRead(h, out, 1, &got), VB_ERR_INVALID_ARGUMENT);  // less than a frame
    EXPECT_EQ(vbDecRead(h, nullptr, 8, &got), VB_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(vbDecRead(h, out, 8, nullptr), VB_ERR_INVALID_ARGUMENT);
    // A decoder handle is no encoder handle.
    uint32_t bytes = 0;
    EXPECT_EQ(vbEncWrite(h, 2, out, reinterpret_cast<uint8_t*>(out), &bytes),
              VB_ERR_INVALID_HANDLE);
    EXPECT_EQ(vbEncClose(h, nullptr, nullptr), VB_ERR_INVALID_HANDLE);
    EXPECT_EQ(vbDecRead(h, out, 8, &got), VB_OK);
    EXPECT_EQ(got, 8u);
    EXPECT_EQ(vbDecClose(h), VB_OK);
}

}  // namespace
