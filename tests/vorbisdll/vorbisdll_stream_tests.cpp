// What libvorbisdll writes, read back with libvorbisfile: the input's length to the sample,
// the chosen channels and quality, the track information as comments, and the audio.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ToneSignal.h"
#include "libvorbisdll.h"
#include "oggcheck.h"

namespace {

using namespace oggcheck;
using namespace tonesignal;

constexpr std::size_t kFrames = 5 * kRate;  // not a whole number of chunks

TEST(VorbisDllStream, StereoKeepsLengthChannelsAndBothTones) {
    const auto pcm = stereoTone(kFrames, 440, 0.5, 660, 0.5);
    const Decoded d = decode(encode(config(2, 0.6f), Track{}.info(), pcm), "stereo.ogg");
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.rate, 44100);
    EXPECT_EQ(d.pcmTotal, int64_t(kFrames));
    ASSERT_EQ(d.frames(), kFrames);

    const auto left = channel(d.pcm, 2, 0), right = channel(d.pcm, 2, 1);
    const std::size_t from = 2 * kRate;
    EXPECT_NEAR(amplitudeAt(left, from, kRate, 440), 0.5, 0.02);
    EXPECT_LT(amplitudeAt(left, from, kRate, 660), 0.01);
    EXPECT_NEAR(amplitudeAt(right, from, kRate, 660), 0.5, 0.02);
    EXPECT_LT(amplitudeAt(right, from, kRate, 440), 0.01);
    // Vorbis has no delay to trim: the audio lines up with the input from sample 0 to the
    // last one.
    const auto srcL = channel(pcm, 2, 0), srcR = channel(pcm, 2, 1);
    EXPECT_GT(bestMatch(srcL, left, 0, kFrames, 0, 0).snrDb, 25);
    EXPECT_GT(bestMatch(srcR, right, 0, kFrames, 0, 0).snrDb, 25);
    EXPECT_GT(bestMatch(srcL, left, kFrames - 2000, 2000, 0, 0).snrDb, 20);
}

TEST(VorbisDllStream, MonoIsADownmixOfBothChannels) {
    const auto pcm = stereoTone(kFrames, 440, 0.6, 660, 0.3);
    const Decoded d = decode(encode(config(1, 0.4f), Track{}.info(), pcm), "mono.ogg");
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.channels, 1);
    EXPECT_EQ(d.pcmTotal, int64_t(kFrames));
    ASSERT_EQ(d.frames(), kFrames);
    const auto mono = channel(d.pcm, 1, 0);
    EXPECT_NEAR(amplitudeAt(mono, 2 * kRate, kRate, 440), 0.3, 0.02);
    EXPECT_NEAR(amplitudeAt(mono, 2 * kRate, kRate, 660), 0.15, 0.02);
    std::vector<double> mix(kFrames);
    for (std::size_t i = 0; i < kFrames; ++i) mix[i] = (pcm[2 * i] + pcm[2 * i + 1]) / 65536.0;
    EXPECT_GT(bestMatch(mix, mono, 0, kFrames, 0, 0).snrDb, 20);

    // A signal inverted on the right cancels out.
    auto opposite = stereoTone(kRate, 440, 0.5, 440, 0.5);
    for (std::size_t i = 1; i < opposite.size(); i += 2) opposite[i] = int16_t(-opposite[i - 1]);
    const Decoded silent = decode(encode(config(1, 0.4f), Track{}.info(), opposite), "o.ogg");
    ASSERT_EQ(silent.channels, 1);
    const auto x = channel(silent.pcm, 1, 0);
    EXPECT_LT(rms(x, 0, x.size()), 0.001);
}

TEST(VorbisDllStream, QualityIsLibvorbisencsOwnScale) {
    // The nominal bit rate in the stream header follows the quality handed over as it is:
    // 0.4 and 0.6 are libvorbisenc's levels 4 and 6 (about 128 and 192 kbit/s in stereo).
    const auto pcm = stereoTone(kRate / 4, 440, 0.5, 660, 0.5);
    auto nominal = [&](uint32_t channels, float q) {
        const Decoded d = decode(encode(config(channels, q), Track{}.info(), pcm), "q.ogg");
        EXPECT_TRUE(d.opened);
        return d.bitrateNominal;
    };
    const long q4 = nominal(2, 0.4f), q6 = nominal(2, 0.6f);
    EXPECT_GE(q4, 112000);
    EXPECT_LE(q4, 144000);
    EXPECT_GE(q6, 176000);
    EXPECT_LE(q6, 208000);
    EXPECT_LT(nominal(2, -0.1f), q4);
    EXPECT_GT(nominal(2, 1.0f), q6);
    const long mono4 = nominal(1, 0.4f);
    EXPECT_GT(mono4, 0);
    EXPECT_LT(mono4, q4);
}

TEST(VorbisDllStream, TrackInformationBecomesTheNineComments) {
    const Track t;
    const Decoded d = decode(
        encode(config(2, 0.6f), t.info(), stereoTone(kRate, 440, 0.5, 660, 0.5)), "tags.ogg");
    ASSERT_TRUE(d.opened);
    const std::multimap<std::string, std::string> expected = {
        {"ARTIST", t.artist}, {"ALBUM", t.album},     {"TITLE", t.title},
        {"GENRE", t.genre},   {"TRACKNUMBER", "2"},   {"TRACKTOTAL", "11"},
        {"DATE", t.date},     {"ENCODER", t.encoder}, {"COMMENT", t.comment}};
    EXPECT_EQ(d.comments, expected);
    EXPECT_NE(d.vendor.find("Xiph.Org libVorbis"), std::string::npos) << d.vendor;
}

TEST(VorbisDllStream, Latin1TextsBecomeUtf8AndUtf8StaysAsItIs) {
    Track t;
    t.artist = "Mot\xF6rhead";            // Latin-1 ö
    t.album = "Caf\xC3\xA9 del Mar";      // UTF-8 é
    t.title = "\xC0 la claire fontaine";  // Latin-1 À at the start
    t.genre = "\xC3\x28";                 // not UTF-8: Latin-1 Ã and (
    t.comment = "\xED\xA0\x80";           // an encoded surrogate is not UTF-8 either
    t.date = "";                          // empty texts and null pointers give no comment
    t.number = 0;
    VbTrackInfo info = t.info();
    info.pszEncoder = nullptr;
    const Decoded d = decode(encode(config(2, 0.4f), info, {}), "latin1.ogg");
    ASSERT_TRUE(d.opened);
    const std::multimap<std::string, std::string> expected = {
        {"ARTIST", "Mot\xC3\xB6rhead"},           {"ALBUM", "Caf\xC3\xA9 del Mar"},
        {"TITLE", "\xC3\x80 la claire fontaine"}, {"GENRE", "\xC3\x83("},
        {"COMMENT", "\xC3\xAD\xC2\xA0\xC2\x80"},  {"TRACKTOTAL", "11"}};
    EXPECT_EQ(d.comments, expected);
}

TEST(VorbisDllStream, EveryLengthAndCuttingComesBackToTheSample) {
    // Empty streams, a single sample frame, lengths around the block sizes, and input cut
    // into short, odd-sized pieces: the decoded length is always the input's.
    for (std::size_t frames : {std::size_t(0), std::size_t(1), std::size_t(127), std::size_t(1024),
                               std::size_t(2049), std::size_t(44100 + 3)}) {
        for (uint32_t channels : {1u, 2u}) {
            SCOPED_TRACE(testing::Message() << frames << " frames, " << channels << " ch");
            const auto pcm = stereoTone(frames, 1000, 0.3, 1500, 0.3);
            const Decoded d =
                decode(encode(config(channels, 0.4f), Track{}.info(), pcm, 998), "len.ogg");
            ASSERT_TRUE(d.opened);
            EXPECT_EQ(d.pcmTotal, int64_t(frames));
            EXPECT_EQ(d.frames(), frames);
            EXPECT_EQ(d.comments.size(), 9u);
        }
    }
}

TEST(VorbisDllStream, ExtremeSamplesStayInRange) {
    // A full-scale square wave in both channels: the downmix does not wrap around.
    std::vector<int16_t> square(2 * kRate);
    for (std::size_t i = 0; i < square.size(); ++i) {
        square[i] = (i / 2 / 50) % 2 ? int16_t(32767) : int16_t(-32768);
    }
    for (uint32_t channels : {1u, 2u}) {
        const Decoded d = decode(encode(config(channels, 0.6f), Track{}.info(), square), "sq.ogg");
        ASSERT_EQ(d.frames(), std::size_t(kRate));
        const auto x = channel(d.pcm, d.channels, 0);
        EXPECT_GT(rms(x, 0, x.size()), 0.8);
        std::vector<double> src = channel(square, 2, 0);
        EXPECT_GT(bestMatch(src, x, 0, kRate, 0, 0).snrDb, 10);
    }
}

}  // namespace
