// The checksums of a track: the published check vectors, the same sums however the audio is
// cut into deliveries, and each vector unit's loop against the plain one.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "ReferenceSums.h"
#include "TrackChecksum.h"
#include "TrackChecksumLoops.h"

namespace {

constexpr uint32_t kSamples = 11760;

// s[i] = i * 2654435761 mod 2^32, little-endian.
std::vector<uint8_t> vectorAudio() {
    std::vector<uint8_t> bytes;
    for (uint32_t i = 0; i < kSamples; ++i) {
        const auto s = static_cast<uint32_t>(uint64_t(i) * 2654435761u);
        for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<uint8_t>(s >> (8 * k)));
    }
    return bytes;
}

}  // namespace

TEST(TrackChecksum, CheckVectorsForEachPlaceOnTheDisc) {
    const std::vector<uint8_t> audio = vectorAudio();
    struct Case {
        const char* place;
        bool first, last;
        uint32_t v1, v2;
    };
    for (const Case& c : {Case{"middle", false, false, 0xe6e2e9b0, 0xe8f26e54},
                          Case{"first", true, false, 0x6d320c58, 0x6f209c86},
                          Case{"last", false, true, 0xcb2c8d04, 0xcc555700},
                          Case{"only", true, true, 0x517bafac, 0x52838532}}) {
        SCOPED_TRACE(c.place);
        Rip::TTrackChecksum sum;
        sum.Start(kSamples, c.first, c.last);
        sum.Add(audio.data(), audio.size());
        EXPECT_EQ(sum.AccurateRipV1(), c.v1);
        EXPECT_EQ(sum.AccurateRipV2(), c.v2);
        EXPECT_EQ(sum.Crc32(), 0x7583bca3u);
        EXPECT_EQ(sum.Samples(), kSamples);
    }
}

TEST(TrackChecksum, DeliveriesOfAnySizeGiveTheSameSums) {
    const std::vector<uint8_t> audio = vectorAudio();
    // Whole sectors, odd sizes that cut samples in two, single bytes.
    for (const size_t piece : {size_t(2352), size_t(4099), size_t(7), size_t(1)}) {
        SCOPED_TRACE(piece);
        Rip::TTrackChecksum sum;
        sum.Start(kSamples, true, true);
        for (size_t at = 0; at < audio.size(); at += piece)
            sum.Add(audio.data() + at, std::min(piece, audio.size() - at));
        EXPECT_EQ(sum.AccurateRipV1(), 0x517bafacu);
        EXPECT_EQ(sum.AccurateRipV2(), 0x52838532u);
        EXPECT_EQ(sum.Crc32(), 0x7583bca3u);
    }
    // A fresh start forgets the last track, a half sample carried over included.
    Rip::TTrackChecksum sum;
    sum.Start(kSamples, false, false);
    sum.Add(audio.data(), 6);
    sum.Start(kSamples, false, false);
    sum.Add(audio.data(), audio.size());
    EXPECT_EQ(sum.AccurateRipV1(), 0xe6e2e9b0u);
    EXPECT_EQ(sum.Crc32(), 0x7583bca3u);
}

namespace {

// Bytes of a xorshift generator: audio whose every bit matters to the sums.
std::vector<uint8_t> randomAudio(size_t bytes, uint32_t seed) {
    std::vector<uint8_t> audio(bytes);
    for (auto& b : audio) {
        seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
        b = static_cast<uint8_t>(seed);
    }
    return audio;
}

}  // namespace

TEST(TrackChecksum, EveryLoopAddsWhatThePlainOneAdds) {
    const std::vector<uint8_t> audio = randomAudio(4 * 1000 + 64, 12345);
    std::mt19937 random(7);
    for (const auto& loop : Rip::SumLoops::Available()) {
        SCOPED_TRACE(loop.Name);
        for (int round = 0; round < 2000; ++round) {
            // Any start within the buffer, so loads need not be aligned; counts on both
            // sides of each loop's vector width; positions up to the last there is, where
            // the products' high halves are largest.
            const size_t offset = random() % 64;
            const size_t count = random() % 2 ? random() % 40 : random() % 990;
            const uint32_t position = round % 3 == 0 ? static_cast<uint32_t>(UINT32_MAX - count + 1)
                                                     : static_cast<uint32_t>(random() % 100000 + 1);
            Rip::SumLoops::TSums expected{static_cast<uint32_t>(random()),
                                          static_cast<uint32_t>(random())};
            Rip::SumLoops::TSums got = expected;
            Rip::SumLoops::AddPlain(audio.data() + offset, count, position, expected);
            loop.Loop(audio.data() + offset, count, position, got);
            ASSERT_EQ(got.Low, expected.Low) << offset << " " << count << " " << position;
            ASSERT_EQ(got.High, expected.High) << offset << " " << count << " " << position;
        }
    }
}

TEST(TrackChecksum, RandomDeliveriesGiveTheWholeTracksSums) {
    std::mt19937 random(11);
    for (int round = 0; round < 60; ++round) {
        // Short tracks too, where what is left out at both ends meets or overlaps.
        const uint32_t samples = round < 6 ? uint32_t(round) * 1200 : random() % 40000;
        const bool first = random() % 2, last = random() % 2;
        SCOPED_TRACE(testing::Message()
                     << samples << " samples, first " << first << ", last " << last);
        const std::vector<uint8_t> audio = randomAudio(4 * size_t(samples), random());
        const testsums::Sums expected = testsums::OfTrack(audio, first, last);
        Rip::TTrackChecksum sum;
        sum.Start(samples, first, last);
        // Pieces from a byte to more than a track's ends, so 2940 and N - 2940 fall inside
        // them as well as on their edges.
        for (size_t at = 0; at < audio.size();) {
            const size_t piece =
                std::min<size_t>(random() % 3 ? random() % 13000 : random() % 9, audio.size() - at);
            sum.Add(audio.data() + at, piece);
            at += piece;
        }
        EXPECT_EQ(sum.Samples(), samples);
        EXPECT_EQ(sum.AccurateRipV1(), expected.v1);
        EXPECT_EQ(sum.AccurateRipV2(), expected.v2);
        EXPECT_EQ(sum.Crc32(), expected.crc32);
    }
}
