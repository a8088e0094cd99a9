// The checksums of a track: the published check vectors, and the same sums however the
// audio is cut into deliveries.
#include <gtest/gtest.h>

#include <vector>

#include "TrackChecksum.h"

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
