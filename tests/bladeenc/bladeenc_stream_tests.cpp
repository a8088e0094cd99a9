// What libbladeenc writes: MP3 frames only, at the configured bit rate and mode, that decode
// to the input's audio and length (plus the encoder's delay and padding).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "ToneSignal.h"
#include "bladeenc.h"
#include "mp3check.h"

namespace {

using namespace mp3check;
using namespace tonesignal;

constexpr std::size_t kFrames = 5 * kRate;  // 5 s: not a whole number of chunks
constexpr std::size_t kMp3Frame = 1152;
// Without an Info frame the decoder cannot trim anything: the encoder's delay (576) in
// front and the padding of the last frames behind. An Info frame, even a blank one, would
// add a frame more.
constexpr std::size_t kMaxExtra = 576 + 2 * kMp3Frame;

void expectOnlyFrames(const std::vector<uint8_t>& mp3, const Walk& w) {
    ASSERT_FALSE(w.frames.empty());
    // Every byte belongs to a frame: no ID3v2 in front, no ID3v1 or APE tag behind.
    EXPECT_EQ(w.end, mp3.size());
    EXPECT_NE(std::memcmp(mp3.data(), "ID3", 3), 0);
    EXPECT_FALSE(contains(mp3.data(), mp3.data() + mp3.size(), "APETAGEX"));
    if (mp3.size() >= 128) {
        EXPECT_NE(std::memcmp(mp3.data() + mp3.size() - 128, "TAG", 3), 0);
    }
    // No Xing/Info header frame in front of the audio, and no blank frame kept for one:
    // the first frame carries audio data, not a page of zeros.
    const uint8_t* first = mp3.data();
    const std::size_t len = w.frames[0].length;
    EXPECT_FALSE(contains(first, first + len, "Xing"));
    EXPECT_FALSE(contains(first, first + len, "Info"));
    EXPECT_LT(std::count(first + 4, first + len, 0), std::ptrdiff_t(len / 2));
}

TEST(BladeEncStream, StereoAt192IsCbrFramesOfTheTwoTones) {
    const auto pcm = stereoTone(kFrames, 440, 0.5, 660, 0.5);
    const auto mp3 = encode(mp3Config(BE_MP3_MODE_STEREO, 192), pcm);
    const Walk w = walkFrames(mp3);
    expectOnlyFrames(mp3, w);
    for (const Frame& f : w.frames) {
        ASSERT_EQ(f.kbps, 192) << "frame at " << f.offset;
        ASSERT_EQ(f.mode, 0) << "frame at " << f.offset;
        ASSERT_FALSE(f.crc);
    }

    const Decoded d = decode(mp3, "stereo192.mp3");
    ASSERT_EQ(d.channels, 2);
    EXPECT_EQ(d.rate, 44100);
    EXPECT_EQ(d.frames(), w.frames.size() * kMp3Frame);
    EXPECT_GE(d.frames(), kFrames + 576);
    EXPECT_LE(d.frames(), kFrames + kMaxExtra);

    const auto left = channel(d.pcm, 2, 0), right = channel(d.pcm, 2, 1);
    // One second from the middle: each channel carries its own tone only.
    const std::size_t from = 2 * kRate;
    EXPECT_NEAR(amplitudeAt(left, from, kRate, 440), 0.5, 0.03);
    EXPECT_LT(amplitudeAt(left, from, kRate, 660), 0.01);
    EXPECT_NEAR(amplitudeAt(right, from, kRate, 660), 0.5, 0.03);
    EXPECT_LT(amplitudeAt(right, from, kRate, 440), 0.01);

    const auto srcL = channel(pcm, 2, 0), srcR = channel(pcm, 2, 1);
    const Match mL = bestMatch(srcL, left, kRate, kRate, 0, kMaxExtra);
    const Match mR = bestMatch(srcR, right, kRate, kRate, 0, kMaxExtra);
    EXPECT_GT(mL.snrDb, 25);
    EXPECT_GT(mR.snrDb, 25);
}

TEST(BladeEncStream, MonoAt128IsADownmixOfBothChannels) {
    // Different tones and levels left and right: the mono channel holds half of each.
    const auto pcm = stereoTone(kFrames, 440, 0.6, 660, 0.3);
    const auto mp3 = encode(mp3Config(BE_MP3_MODE_MONO, 128), pcm);
    const Walk w = walkFrames(mp3);
    expectOnlyFrames(mp3, w);
    for (const Frame& f : w.frames) {
        ASSERT_EQ(f.kbps, 128);
        ASSERT_EQ(f.mode, 3);
    }

    const Decoded d = decode(mp3, "mono128.mp3");
    ASSERT_EQ(d.channels, 1);
    EXPECT_GE(d.frames(), kFrames + 576);
    EXPECT_LE(d.frames(), kFrames + kMaxExtra);
    const auto mono = channel(d.pcm, 1, 0);
    EXPECT_NEAR(amplitudeAt(mono, 2 * kRate, kRate, 440), 0.3, 0.02);
    EXPECT_NEAR(amplitudeAt(mono, 2 * kRate, kRate, 660), 0.15, 0.02);

    std::vector<double> mix(kFrames);
    for (std::size_t i = 0; i < kFrames; ++i) mix[i] = (pcm[2 * i] + pcm[2 * i + 1]) / 65536.0;
    EXPECT_GT(bestMatch(mix, mono, kRate, kRate, 0, kMaxExtra).snrDb, 20);
}

TEST(BladeEncStream, MonoOfOppositeChannelsIsSilence) {
    // A downmix cancels a signal that is inverted on the right; taking one channel would not.
    auto pcm = stereoTone(kRate, 440, 0.5, 440, 0.5);
    for (std::size_t i = 1; i < pcm.size(); i += 2) pcm[i] = int16_t(-pcm[i - 1]);
    const Decoded d = decode(encode(mp3Config(BE_MP3_MODE_MONO, 128), pcm), "cancel.mp3");
    ASSERT_EQ(d.channels, 1);
    const auto mono = channel(d.pcm, 1, 0);
    EXPECT_LT(rms(mono, 0, mono.size()), 0.001);
}

TEST(BladeEncStream, JointStereoAndDualChannelGiveStereo) {
    const auto pcm = stereoTone(2 * kRate, 440, 0.5, 660, 0.5);
    for (BYTE mode : {BE_MP3_MODE_JSTEREO, BE_MP3_MODE_DUALCHANNEL}) {
        SCOPED_TRACE(int(mode));
        const auto mp3 = encode(mp3Config(mode, 160), pcm);
        const Walk w = walkFrames(mp3);
        expectOnlyFrames(mp3, w);
        for (const Frame& f : w.frames) {
            ASSERT_EQ(f.kbps, 160);
            ASSERT_EQ(f.mode, mode);
        }
        const Decoded d = decode(mp3, "modes.mp3");
        ASSERT_EQ(d.channels, 2);
        const auto right = channel(d.pcm, 2, 1);
        EXPECT_NEAR(amplitudeAt(right, kRate / 2, kRate, 660), 0.5, 0.03);
        EXPECT_LT(amplitudeAt(right, kRate / 2, kRate, 440), 0.01);
    }
}

TEST(BladeEncStream, EveryMpeg1BitRateIsKept) {
    const auto pcm = stereoTone(kRate / 2, 440, 0.5, 660, 0.5);
    for (WORD kbps : {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}) {
        SCOPED_TRACE(kbps);
        const auto mp3 = encode(mp3Config(BE_MP3_MODE_STEREO, kbps), pcm);
        const Walk w = walkFrames(mp3);
        EXPECT_EQ(w.end, mp3.size());
        for (const Frame& f : w.frames) ASSERT_EQ(f.kbps, kbps);
    }
}

TEST(BladeEncStream, HeaderFlagsFollowTheConfiguration) {
    const auto pcm = stereoTone(kRate / 2, 440, 0.5, 660, 0.5);
    BE_CONFIG c = mp3Config(BE_MP3_MODE_STEREO, 192);
    c.format.mp3.bCRC = 1;
    c.format.mp3.bCopyright = 1;
    c.format.mp3.bOriginal = 1;
    c.format.mp3.bPrivate = 1;
    const auto flagged = encode(c, pcm);
    const Walk w = walkFrames(flagged);
    ASSERT_EQ(w.end, flagged.size());
    for (const Frame& f : w.frames) {
        ASSERT_TRUE(f.crc);
        ASSERT_TRUE(f.copyright);
        ASSERT_TRUE(f.original);
        ASSERT_TRUE(f.privateBit);
    }
    // Cleared flags clear the bits; a CRC-protected stream still decodes.
    const auto plain = encode(mp3Config(BE_MP3_MODE_STEREO, 192), pcm);
    for (const Frame& f : walkFrames(plain).frames) {
        ASSERT_FALSE(f.crc || f.copyright || f.original || f.privateBit);
    }
    EXPECT_EQ(decode(flagged, "crc.mp3").channels, 2);
}

TEST(BladeEncStream, HowTheInputIsCutDoesNotChangeTheOutput) {
    // Short chunks of any even size, and empty ones, give the same bytes as full chunks.
    const auto pcm = stereoTone(kRate, 440, 0.5, 660, 0.5);
    const BE_CONFIG stereo = mp3Config(BE_MP3_MODE_STEREO, 192);
    const BE_CONFIG mono = mp3Config(BE_MP3_MODE_MONO, 128);
    EXPECT_EQ(encode(stereo, pcm), encode(stereo, pcm, 1000));
    EXPECT_EQ(encode(mono, pcm), encode(mono, pcm, 2));

    DWORD samples = 0, bufSize = 0;
    HBE_STREAM h = 0;
    BE_CONFIG c = stereo;
    ASSERT_EQ(beInitStream(&c, &samples, &bufSize, &h), BE_ERR_SUCCESSFUL);
    std::vector<uint8_t> out, buf(bufSize);
    DWORD bytes = 1;
    ASSERT_EQ(beEncodeChunk(h, 0, nullptr, buf.data(), &bytes), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(bytes, 0u);
    for (std::size_t pos = 0; pos < pcm.size(); pos += samples) {
        const DWORD n = DWORD(std::min<std::size_t>(samples, pcm.size() - pos));
        ASSERT_EQ(beEncodeChunk(h, n, pcm.data() + pos, buf.data(), &bytes), BE_ERR_SUCCESSFUL);
        out.insert(out.end(), buf.begin(), buf.begin() + bytes);
        ASSERT_EQ(beEncodeChunk(h, 0, pcm.data(), buf.data(), &bytes), BE_ERR_SUCCESSFUL);
        EXPECT_EQ(bytes, 0u);
    }
    ASSERT_EQ(beDeinitStream(h, buf.data(), &bytes), BE_ERR_SUCCESSFUL);
    out.insert(out.end(), buf.begin(), buf.begin() + bytes);
    EXPECT_EQ(beCloseStream(h), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(out, encode(stereo, pcm));
}

TEST(BladeEncStream, ExtremeSamplesAndShortStreamsEncode) {
    // Full-scale square wave: nothing overflows on the way into LAME, in either mode.
    std::vector<int16_t> square(2 * kRate);
    for (std::size_t i = 0; i < square.size(); ++i) {
        square[i] = (i / 2 / 50) % 2 ? int16_t(32767) : int16_t(-32768);
    }
    for (BYTE mode : {BE_MP3_MODE_STEREO, BE_MP3_MODE_MONO}) {
        const auto mp3 = encode(mp3Config(mode, 128), square);
        EXPECT_EQ(walkFrames(mp3).end, mp3.size());
        const Decoded d = decode(mp3, "square.mp3");
        const auto x = channel(d.pcm, d.channels, 0);
        EXPECT_GT(rms(x, 0, x.size()), 0.5);
    }
    // One sample frame, and no audio at all: still whole frames, nothing else.
    const std::vector<int16_t> one = {1000, -1000};
    for (const auto& pcm : {one, std::vector<int16_t>{}}) {
        const auto mp3 = encode(mp3Config(BE_MP3_MODE_STEREO, 192), pcm);
        const Walk w = walkFrames(mp3);
        EXPECT_EQ(w.end, mp3.size());
        EXPECT_LE(w.frames.size(), 3u);
    }
}

}  // namespace
