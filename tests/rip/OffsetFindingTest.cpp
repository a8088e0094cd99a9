// Finding a drive's read offset: the database's sum of frame 450, found again in a raw read
// made by a drive that delivers every sample k late or early.
#include <gtest/gtest.h>

#include "OffsetFinding.h"

namespace {

// A track's audio as the pressing holds it: words that never repeat in a way a slide could
// mistake for another place.
std::vector<uint32_t> pressing(size_t samples) {
    std::vector<uint32_t> audio(samples);
    uint32_t x = 12345;
    for (uint32_t& s : audio) s = x = x * 1664525u + 1013904223u;
    return audio;
}

// What a drive of read offset k delivers with none applied, over the window the finder
// reads: the library's out[j] = disc[j + k] is the pressing, so disc[i] = pressing[i - k].
std::vector<uint32_t> rawWindow(const std::vector<uint32_t>& audio, int k) {
    std::vector<uint32_t> raw(size_t(Rip::kOffsetFindingSamples));
    for (size_t m = 0; m < raw.size(); ++m)
        raw[m] = audio[size_t(Rip::kOffsetFindingFirst + int64_t(m) - k)];
    return raw;
}

}  // namespace

TEST(OffsetFinding, FindsTheOffsetTheDriveReadsAt) {
    const std::vector<uint32_t> audio = pressing(300000);
    const uint32_t sum =
        Rip::OffsetFindingSum(audio.data() + Rip::kOffsetFindingFrame * Rip::kSamplesPerFrame);
    for (int k : {667, -1164, 5000, -5000, 0, 6}) {
        SCOPED_TRACE(k);
        EXPECT_EQ(Rip::MatchingOffsets(rawWindow(audio, k), {0x1234u, sum}), std::vector<int>{k});
    }
    // A sum the pressing does not hold, and a window cut short, find nothing.
    EXPECT_TRUE(Rip::MatchingOffsets(rawWindow(audio, 667), {sum + 1}).empty());
    std::vector<uint32_t> shortRaw = rawWindow(audio, 667);
    shortRaw.pop_back();
    EXPECT_TRUE(Rip::MatchingOffsets(shortRaw, {sum}).empty());

    // The window reaches 5000 samples past frame 450's end: a track of 460 sectors holds it.
    EXPECT_TRUE(Rip::LongEnoughToFindOffset(460));
    EXPECT_FALSE(Rip::LongEnoughToFindOffset(459));
}

TEST(OffsetFinding, AnOffsetStandsOnlyWhereTheTracksAgreeOnOne) {
    const std::vector<int> first{3, 667};
    const std::vector<int> second{667, 900};
    EXPECT_EQ(Rip::ConfirmedOffset(first, &second), 667);
    const std::vector<int> other{900};
    EXPECT_FALSE(Rip::ConfirmedOffset(first, &other));
    // One long track: its single match stands, an ambiguous one does not.
    EXPECT_EQ(Rip::ConfirmedOffset({667}, nullptr), 667);
    EXPECT_FALSE(Rip::ConfirmedOffset(first, nullptr));
    // Silence at frame 450 matches a sum of 0 at every offset, which tells nothing.
    const std::vector<int> silent =
        Rip::MatchingOffsets(std::vector<uint32_t>(size_t(Rip::kOffsetFindingSamples)), {0});
    EXPECT_EQ(silent.size(), size_t(2 * Rip::kMaxFoundOffset + 1));
    EXPECT_FALSE(Rip::ConfirmedOffset(silent, &silent));
}
