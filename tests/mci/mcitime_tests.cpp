// The MCI time values of mcitime.h: packing and round trips.
#include <gtest/gtest.h>

#include "mcitime.h"

using namespace svmci;

namespace {

svdrives::Toc sampleToc() {
    svdrives::Toc toc;
    toc.tracks.push_back({1, false, 0, 1});
    toc.tracks.push_back({2, false, 4500, 1});  // 1 minute in
    toc.tracks.push_back({3, false, 9000 + 37, 1});
    toc.tracks.push_back({4, true, 9037 + 800 + svdrives::kSessionGapSectors, 2});
    toc.leadOut = toc.tracks[3].startSector + 1000;
    return toc;
}

}  // namespace

TEST(MciTime, PackMsf) {
    EXPECT_EQ(packMsf(0), MCI_MAKE_MSF(0, 0, 0));
    EXPECT_EQ(packMsf(150), MCI_MAKE_MSF(0, 2, 0));
    EXPECT_EQ(packMsf(74), MCI_MAKE_MSF(0, 0, 74));
    EXPECT_EQ(packMsf(4500 * 73 + 75 * 59 + 74), MCI_MAKE_MSF(73, 59, 74));
    EXPECT_EQ(MCI_MSF_MINUTE(packMsf(4500 * 12 + 75 * 34 + 56)), 12);
    EXPECT_EQ(MCI_MSF_SECOND(packMsf(4500 * 12 + 75 * 34 + 56)), 34);
    EXPECT_EQ(MCI_MSF_FRAME(packMsf(4500 * 12 + 75 * 34 + 56)), 56);
}

TEST(MciTime, MsfRoundTrip) {
    for (uint32_t f = 0; f < 100 * 4500; f += 7) {
        uint32_t back = 0;
        ASSERT_TRUE(unpackMsf(packMsf(f), &back));
        ASSERT_EQ(back, f);
    }
    uint32_t out = 0;
    EXPECT_FALSE(unpackMsf(MCI_MAKE_MSF(1, 60, 0), &out));
    EXPECT_FALSE(unpackMsf(MCI_MAKE_MSF(1, 0, 75), &out));
}

TEST(MciTime, MillisecondsRoundTrip) {
    for (uint32_t f = 0; f < 100 * 4500; ++f) {
        ASSERT_EQ(msToFrames(framesToMs(f)), f) << f;
    }
    EXPECT_EQ(framesToMs(75), 1000u);
    EXPECT_EQ(framesToMs(1), 13u);  // 13.33 rounded down
    EXPECT_EQ(framesToMs(150), 2000u);
    EXPECT_EQ(msToFrames(1000), 75u);
    EXPECT_EQ(msToFrames(6), 0u);
    EXPECT_EQ(msToFrames(7), 1u);
}

TEST(MciTime, PositionsInEveryFormat) {
    const auto toc = sampleToc();
    // Sector 4500 + 80: track 2, 00:01:05 in; absolute 01:03:05 (+150 frames).
    const uint32_t lsn = 4580;
    EXPECT_EQ(encodePosition(MCI_FORMAT_MSF, lsn, toc), MCI_MAKE_MSF(1, 3, 5));
    EXPECT_EQ(encodePosition(MCI_FORMAT_TMSF, lsn, toc), MCI_MAKE_TMSF(2, 0, 1, 5));
    EXPECT_EQ(encodePosition(MCI_FORMAT_FRAMES, lsn, toc), 4730u);
    EXPECT_EQ(encodePosition(MCI_FORMAT_MILLISECONDS, lsn, toc), 4730u * 1000 / 75);
    EXPECT_EQ(encodePosition(MCI_FORMAT_TMSF, 0, toc), MCI_MAKE_TMSF(1, 0, 0, 0));
    EXPECT_EQ(encodePosition(MCI_FORMAT_MSF, 0, toc), MCI_MAKE_MSF(0, 2, 0));
}

TEST(MciTime, PositionRoundTrips) {
    const auto toc = sampleToc();
    for (DWORD format :
         {MCI_FORMAT_MSF, MCI_FORMAT_TMSF, MCI_FORMAT_MILLISECONDS, MCI_FORMAT_FRAMES}) {
        for (uint32_t lsn = 0; lsn < toc.leadOut; lsn += 13) {
            uint32_t back = 0;
            ASSERT_EQ(decodePosition(format, encodePosition(format, lsn, toc), toc, &back), 0u);
            ASSERT_EQ(back, lsn) << "format " << format;
        }
    }
}

TEST(MciTime, DecodeRejectsBadValues) {
    const auto toc = sampleToc();
    uint32_t lsn = 0;
    EXPECT_EQ(decodePosition(MCI_FORMAT_MSF, MCI_MAKE_MSF(0, 1, 74), toc, &lsn),
              MCIERR_OUTOFRANGE);  // before 00:02:00
    EXPECT_EQ(decodePosition(MCI_FORMAT_MSF, MCI_MAKE_MSF(3, 61, 0), toc, &lsn), MCIERR_OUTOFRANGE);
    EXPECT_EQ(decodePosition(MCI_FORMAT_TMSF, MCI_MAKE_TMSF(0, 0, 0, 0), toc, &lsn),
              MCIERR_OUTOFRANGE);
    EXPECT_EQ(decodePosition(MCI_FORMAT_TMSF, MCI_MAKE_TMSF(5, 0, 0, 0), toc, &lsn),
              MCIERR_OUTOFRANGE);
    EXPECT_EQ(decodePosition(MCI_FORMAT_HMS, 0, toc, &lsn), MCIERR_BAD_TIME_FORMAT);
    EXPECT_EQ(decodePosition(MCI_FORMAT_TMSF, MCI_MAKE_TMSF(4, 0, 0, 0), toc, &lsn), 0u);
    EXPECT_EQ(lsn, toc.tracks[3].startSector);
}

TEST(MciTime, TrackLengths) {
    const auto toc = sampleToc();
    EXPECT_EQ(trackSectors(toc, 0), 4500u);
    EXPECT_EQ(trackSectors(toc, 1), 4537u);
    EXPECT_EQ(trackSectors(toc, 2), 800u);  // without the session gap
    EXPECT_EQ(trackSectors(toc, 3), 1000u);
    EXPECT_EQ(encodeLength(MCI_FORMAT_MSF, 4537), MCI_MAKE_MSF(1, 0, 37));
    EXPECT_EQ(encodeLength(MCI_FORMAT_TMSF, 4537), MCI_MAKE_MSF(1, 0, 37));
    EXPECT_EQ(encodeLength(MCI_FORMAT_FRAMES, 4537), 4537u);
    EXPECT_EQ(encodeLength(MCI_FORMAT_MILLISECONDS, 4537), 4537u * 1000 / 75);
    EXPECT_TRUE(supportedTimeFormat(MCI_FORMAT_TMSF));
    EXPECT_FALSE(supportedTimeFormat(MCI_FORMAT_HMS));
    EXPECT_FALSE(supportedTimeFormat(99));
}
