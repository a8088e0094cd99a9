// libbladeenc's calls at their edges: what a configuration, a sample count or a handle must
// be, the sizes it reports, and that streams are freed on every path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ToneSignal.h"
#include "bladeenc.h"
#include "mp3check.h"

namespace {

using mp3check::mp3Config;

struct Opened {
    BE_ERR result = 0;
    DWORD samples = 0, bufSize = 0;
    HBE_STREAM handle = 0;
};

Opened open(BE_CONFIG c) {
    Opened o;
    o.result = beInitStream(&c, &o.samples, &o.bufSize, &o.handle);
    return o;
}

TEST(BladeEncConfig, RefusesWhatItCannotEncode) {
    BE_CONFIG c = mp3Config(BE_MP3_MODE_STEREO, 192);
    c.dwConfig = 1;
    EXPECT_EQ(open(c).result, BE_ERR_INVALID_FORMAT);
    c.dwConfig = 256;
    EXPECT_EQ(open(c).result, BE_ERR_INVALID_FORMAT);

    for (DWORD rate : {0u, 22050u, 32000u, 48000u, 44101u}) {
        c = mp3Config(BE_MP3_MODE_STEREO, 192);
        c.format.mp3.dwSampleRate = rate;
        EXPECT_EQ(open(c).result, BE_ERR_INVALID_FORMAT_PARAMETERS) << rate;
    }
    for (BYTE mode : {4, 5, 255}) {
        EXPECT_EQ(open(mp3Config(mode, 192)).result, BE_ERR_INVALID_FORMAT_PARAMETERS) << mode;
    }
    for (WORD kbps : {0, 8, 16, 24, 100, 144, 191, 384, 65535}) {
        EXPECT_EQ(open(mp3Config(BE_MP3_MODE_STEREO, kbps)).result,
                  BE_ERR_INVALID_FORMAT_PARAMETERS)
            << kbps;
    }
}

TEST(BladeEncConfig, RefusedInitLeavesOutputsAlone) {
    BE_CONFIG c = mp3Config(BE_MP3_MODE_STEREO, 100);
    DWORD samples = 7, bufSize = 8;
    HBE_STREAM h = 9;
    EXPECT_EQ(beInitStream(&c, &samples, &bufSize, &h), BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(samples, 7u);
    EXPECT_EQ(bufSize, 8u);
    EXPECT_EQ(h, 9u);

    c = mp3Config(BE_MP3_MODE_STEREO, 192);
    EXPECT_EQ(beInitStream(nullptr, &samples, &bufSize, &h), BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(beInitStream(&c, nullptr, &bufSize, &h), BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(beInitStream(&c, &samples, nullptr, &h), BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(beInitStream(&c, &samples, &bufSize, nullptr), BE_ERR_INVALID_FORMAT_PARAMETERS);
}

TEST(BladeEncConfig, ReadsOnlyTheMp3Fields) {
    // The program's record may be just the 27 bytes of the MP3 variant.
    const BE_CONFIG full = mp3Config(BE_MP3_MODE_MONO, 128);
    std::vector<uint8_t> shortRecord(27);
    std::memcpy(shortRecord.data(), &full, 27);
    DWORD samples = 0, bufSize = 0;
    HBE_STREAM h = 0;
    ASSERT_EQ(
        beInitStream(reinterpret_cast<PBE_CONFIG>(shortRecord.data()), &samples, &bufSize, &h),
        BE_ERR_SUCCESSFUL);
    EXPECT_EQ(beCloseStream(h), BE_ERR_SUCCESSFUL);
    // Bytes beyond them do not matter.
    BE_CONFIG noisy = full;
    std::memset(noisy.format.reserved + sizeof(BE_CONFIG_MP3_PARAMS), 0xA5,
                sizeof noisy.format.reserved - sizeof(BE_CONFIG_MP3_PARAMS));
    const std::vector<int16_t> pcm = tonesignal::stereoTone(4410, 440, 0.5, 660, 0.5);
    EXPECT_EQ(mp3check::encode(noisy, pcm), mp3check::encode(full, pcm));
}

TEST(BladeEncConfig, ReportsChunkAndBufferThatFitEachOther) {
    for (BYTE mode : {BE_MP3_MODE_STEREO, BE_MP3_MODE_MONO}) {
        const Opened o = open(mp3Config(mode, 320));
        ASSERT_EQ(o.result, BE_ERR_SUCCESSFUL);
        EXPECT_NE(o.handle, 0u);
        EXPECT_GT(o.samples, 0u);
        EXPECT_EQ(o.samples % 2, 0u);
        // Whole MP3 frames of stereo samples, so full chunks do not leave LAME a remainder.
        EXPECT_EQ(o.samples % (2 * 1152), 0u);
        // LAME's rule for one call: 1.25 bytes per sample frame plus 7200.
        EXPECT_GE(o.bufSize, o.samples / 2 * 5 / 4 + 7200);
        EXPECT_EQ(beCloseStream(o.handle), BE_ERR_SUCCESSFUL);
    }
}

class BladeEncCalls : public testing::Test {
protected:
    void SetUp() override {
        o_ = open(mp3Config(BE_MP3_MODE_STEREO, 192));
        ASSERT_EQ(o_.result, BE_ERR_SUCCESSFUL);
        buf_.resize(o_.bufSize);
        pcm_.assign(o_.samples + 2, 100);
    }
    void TearDown() override { beCloseStream(o_.handle); }

    Opened o_;
    std::vector<uint8_t> buf_;
    std::vector<int16_t> pcm_;
};

TEST_F(BladeEncCalls, SampleCountsMustBeEvenAndFitAChunk) {
    DWORD bytes = 99;
    EXPECT_EQ(beEncodeChunk(o_.handle, 1, pcm_.data(), buf_.data(), &bytes),
              BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(beEncodeChunk(o_.handle, o_.samples - 1, pcm_.data(), buf_.data(), &bytes),
              BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(beEncodeChunk(o_.handle, o_.samples + 2, pcm_.data(), buf_.data(), &bytes),
              BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(beEncodeChunk(o_.handle, 2, nullptr, buf_.data(), &bytes),
              BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(beEncodeChunk(o_.handle, 2, pcm_.data(), nullptr, &bytes),
              BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(beEncodeChunk(o_.handle, 2, pcm_.data(), buf_.data(), nullptr),
              BE_ERR_INVALID_FORMAT_PARAMETERS);
    // A refused chunk leaves the stream usable.
    EXPECT_EQ(beEncodeChunk(o_.handle, o_.samples, pcm_.data(), buf_.data(), &bytes),
              BE_ERR_SUCCESSFUL);
    EXPECT_EQ(beEncodeChunk(o_.handle, 2, pcm_.data(), buf_.data(), &bytes), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(beDeinitStream(o_.handle, nullptr, &bytes), BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(beDeinitStream(o_.handle, buf_.data(), nullptr), BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(beDeinitStream(o_.handle, buf_.data(), &bytes), BE_ERR_SUCCESSFUL);
    EXPECT_GT(bytes, 0u);
}

TEST_F(BladeEncCalls, AFlushedStreamTakesNoMoreAudio) {
    DWORD bytes = 0;
    ASSERT_EQ(beDeinitStream(o_.handle, buf_.data(), &bytes), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(beEncodeChunk(o_.handle, 2, pcm_.data(), buf_.data(), &bytes), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(beDeinitStream(o_.handle, buf_.data(), &bytes), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(beCloseStream(o_.handle), BE_ERR_SUCCESSFUL);
}

TEST_F(BladeEncCalls, NullUnknownAndClosedHandlesAreRefused) {
    DWORD bytes = 5;
    for (HBE_STREAM bad : {HBE_STREAM(0), o_.handle + 1000, HBE_STREAM(0xFFFFFFFF)}) {
        EXPECT_EQ(beEncodeChunk(bad, 2, pcm_.data(), buf_.data(), &bytes), BE_ERR_INVALID_HANDLE);
        EXPECT_EQ(bytes, 0u);
        EXPECT_EQ(beDeinitStream(bad, buf_.data(), &bytes), BE_ERR_INVALID_HANDLE);
        EXPECT_EQ(beCloseStream(bad), BE_ERR_INVALID_HANDLE);
    }
    const HBE_STREAM stale = o_.handle;
    ASSERT_EQ(beCloseStream(stale), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(beEncodeChunk(stale, 2, pcm_.data(), buf_.data(), &bytes), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(beDeinitStream(stale, buf_.data(), &bytes), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(beCloseStream(stale), BE_ERR_INVALID_HANDLE);
    // The next stream gets a new number, so the stale one stays dead.
    o_ = open(mp3Config(BE_MP3_MODE_STEREO, 192));
    ASSERT_EQ(o_.result, BE_ERR_SUCCESSFUL);
    EXPECT_NE(o_.handle, stale);
    EXPECT_EQ(beCloseStream(stale), BE_ERR_INVALID_HANDLE);
}

TEST(BladeEncHandles, LiveStreamsAreLimitedAndClosingFreesTheirPlaces) {
    // Streams left in every state are closed: encoding, flushed, never used. Their places
    // come back, so a second round opens as many.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        std::vector<Opened> open_;
        for (int i = 0; i < BE_MAX_STREAMS; ++i) {
            open_.push_back(open(mp3Config(i % 2 ? BE_MP3_MODE_MONO : BE_MP3_MODE_STEREO, 128)));
            ASSERT_EQ(open_.back().result, BE_ERR_SUCCESSFUL) << i;
        }
        EXPECT_EQ(open(mp3Config(BE_MP3_MODE_STEREO, 128)).result, BE_ERR_NO_MORE_HANDLES);
        std::vector<int16_t> pcm(open_[0].samples, 500);
        std::vector<uint8_t> buf(open_[0].bufSize);
        DWORD bytes = 0;
        for (int i = 0; i < BE_MAX_STREAMS; ++i) {
            if (i % 3 >= 1) {
                ASSERT_EQ(beEncodeChunk(open_[i].handle, DWORD(pcm.size()), pcm.data(), buf.data(),
                                        &bytes),
                          BE_ERR_SUCCESSFUL);
            }
            if (i % 3 == 2) {
                ASSERT_EQ(beDeinitStream(open_[i].handle, buf.data(), &bytes), BE_ERR_SUCCESSFUL);
            }
            EXPECT_EQ(beCloseStream(open_[i].handle), BE_ERR_SUCCESSFUL);
        }
    }
}

TEST(BladeEncVersion, NamesThisLibraryAndLame) {
    BE_VERSION v;
    std::memset(&v, 0xEE, sizeof v);
    beVersion(&v);
    EXPECT_EQ(v.byDLLMajorVersion, 1);
    EXPECT_EQ(v.byDLLMinorVersion, 0);
    EXPECT_GE(v.wYear, 2026);
    EXPECT_GE(v.byMonth, 1);
    EXPECT_LE(v.byMonth, 12);
    EXPECT_GE(v.byDay, 1);
    EXPECT_LE(v.byDay, 31);
    // The engine text is LAME's own version, and the numbers are the same version.
    ASSERT_NE(std::memchr(v.zEngine, '\0', sizeof v.zEngine), nullptr);
    const std::string engine = v.zEngine;
    EXPECT_EQ(
        engine.rfind(std::to_string(v.byMajorVersion) + "." + std::to_string(v.byMinorVersion), 0),
        0u)
        << engine;
    EXPECT_EQ(v.byMajorVersion, 3);
    beVersion(nullptr);
}

}  // namespace
