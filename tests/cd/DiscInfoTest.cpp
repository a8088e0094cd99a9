#include <gtest/gtest.h>

#include "CDSession.h"
#include "ScriptedCDRip.h"
#include "ScriptedMci.h"

using namespace CDRipIntf;

namespace {
constexpr uint32_t msf(uint32_t m, uint32_t s, uint32_t f) {
    return (m << 16) + (s << 8) + f;
}

class DiscInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        mci.deviceCount = 0;
        mci.Install(session);
    }
    void Use(const ScriptedDrive& d) {
        lib.drives = {d};
        lib.Install(session);
    }
    ScriptedCDRip lib;
    ScriptedMci mci;
    TCDSession session;
    TDiscInfo info;
};
}  // namespace

TEST_F(DiscInfoTest, AudioDiscEntriesFollowTheTable) {
    // 3:05 and 65:00 and a one-second track.
    Use(AudioDrive("d", {75 * 185, 4500 * 65, 75}));
    ASSERT_EQ(session.ReadDiscInfo(info), 0);
    EXPECT_EQ(info.TrackCount, 3);
    EXPECT_EQ(info.DiscType, 1);
    EXPECT_EQ(info.FirstTrack, 1);
    EXPECT_EQ(info.LastTrack, 3);
    EXPECT_EQ(info.FirstTrackStart, msf(0, 2, 0));
    EXPECT_EQ(info.Entry(1).Length, msf(3, 5, 0));
    EXPECT_EQ(info.Entry(2).Length, msf(65, 0, 0));
    EXPECT_EQ(info.Entry(2).StartSector, 75u * 185);
    EXPECT_EQ(info.Entry(2).Start, SectorToMsf(75 * 185));
    EXPECT_EQ(info.Entry(3).LengthSectors, 75u);
    EXPECT_EQ(info.LeadOut, SectorToMsf(75 * 185 + 4500 * 65 + 75));
    EXPECT_EQ(info.DiscEnd, info.LeadOut);
    EXPECT_EQ(info.AudioLength, FramesToMsf(75 * 185 + 4500 * 65 + 75));
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(info.Entry(n).Audio, 1);
}

TEST_F(DiscInfoTest, DataOnlyDiscHasNoAudioLength) {
    ScriptedDrive d = AudioDrive("d", {9000});
    d.tracks[0].data = true;
    Use(d);
    info.AudioLength = 1234;
    ASSERT_EQ(session.ReadDiscInfo(info), 0);
    EXPECT_EQ(info.DiscType, 0);
    EXPECT_EQ(info.AudioLength, 0u);
    EXPECT_EQ(info.Entry(1).Audio, 0);
}

TEST_F(DiscInfoTest, MixedModeDiscIsComposite) {
    ScriptedDrive d = AudioDrive("d", {3000, 1000, 2000});
    d.tracks[0].data = true;
    Use(d);
    ASSERT_EQ(session.ReadDiscInfo(info), 0);
    EXPECT_EQ(info.DiscType, 2);
    EXPECT_EQ(info.AudioLength, FramesToMsf(3000));
    EXPECT_EQ(info.Entry(1).LengthSectors, 3000u);
}

TEST_F(DiscInfoTest, DataTrackInTheSameSessionEndsTheAudioAtItsStart) {
    ScriptedDrive d = AudioDrive("d", {1000, 2000, 5000});
    d.tracks[2].data = true;
    Use(d);
    ASSERT_EQ(session.ReadDiscInfo(info), 0);
    EXPECT_EQ(info.DiscType, 2);
    EXPECT_EQ(info.Entry(2).LengthSectors, 2000u);
}

TEST_F(DiscInfoTest, CdExtraAudioEndsBeforeTheGapBetweenSessions) {
    ScriptedDrive d = AudioDrive("d", {1000, 2000});
    d.tracks.push_back(ScriptedTrack{3000 + kSessionGapSectors, true, 3, 2});
    d.leadOut = 3000 + kSessionGapSectors + 6000;
    Use(d);
    ASSERT_EQ(session.ReadDiscInfo(info), 0);
    EXPECT_EQ(info.DiscType, 2);
    EXPECT_EQ(info.Entry(2).LengthSectors, 2000u);
    EXPECT_EQ(info.Entry(2).Length, FramesToMsf(2000));
    EXPECT_EQ(info.Entry(3).LengthSectors, 6000u);
    EXPECT_EQ(info.AudioLength, FramesToMsf(3000));
}

TEST_F(DiscInfoTest, UnknownSessionsLeaveTheAudioUntouched) {
    ScriptedDrive d = AudioDrive("d", {1000, 20000});
    d.tracks[1].data = true;
    d.tracks[0].session = 0;
    d.tracks[1].session = 0;
    Use(d);
    ASSERT_EQ(session.ReadDiscInfo(info), 0);
    EXPECT_EQ(info.Entry(1).LengthSectors, 1000u);
}

TEST_F(DiscInfoTest, ReportedTrackNumbersAreKept) {
    ScriptedDrive d = AudioDrive("d", {1000, 1000});
    d.tracks[0].number = 3;
    d.tracks[1].number = 4;
    Use(d);
    ASSERT_EQ(session.ReadDiscInfo(info), 0);
    EXPECT_EQ(info.FirstTrack, 3);
    EXPECT_EQ(info.LastTrack, 4);
    EXPECT_EQ(info.Entry(1).TrackNumber, 3);
}

TEST_F(DiscInfoTest, HundredTracksFitNoMore) {
    Use(AudioDrive("d", std::vector<uint32_t>(100, 300)));
    ASSERT_EQ(session.ReadDiscInfo(info), 0);
    EXPECT_EQ(info.TrackCount, 100);
    EXPECT_EQ(info.Entry(100).LengthSectors, 300u);

    Use(AudioDrive("d", std::vector<uint32_t>(101, 300)));
    EXPECT_EQ(session.ReadDiscInfo(info), 1);
    EXPECT_EQ(info.TrackCount, 0);
}

TEST_F(DiscInfoTest, BrokenTablesAreUnreadable) {
    TDiscInfo before;
    before.DiscType = 1;
    before.LeadOut = 4242;

    ScriptedDrive outOfOrder = AudioDrive("d", {1000, 1000, 1000});
    outOfOrder.tracks[2].start = 500;
    ScriptedDrive leadOutFirst = AudioDrive("d", {1000, 1000});
    leadOutFirst.leadOut = 500;  // before the last track
    ScriptedDrive sameStart = AudioDrive("d", {1000, 1000});
    sameStart.tracks[1].start = 0;
    ScriptedDrive empty = AudioDrive("d", {});

    for (const ScriptedDrive& d : {outOfOrder, leadOutFirst, sameStart, empty}) {
        Use(d);
        info = before;
        info.TrackCount = 5;
        EXPECT_EQ(session.ReadDiscInfo(info), 1);
        EXPECT_EQ(info.TrackCount, 0);
        EXPECT_EQ(info.DiscType, 1);  // the rest of the record stays as it was
        EXPECT_EQ(info.LeadOut, 4242u);
    }
}

TEST_F(DiscInfoTest, NotReadyAndUnreadableDiscs) {
    ScriptedDrive d = AudioDrive("d", {1000});
    d.ready = false;
    Use(d);
    info.TrackCount = 3;
    EXPECT_EQ(session.ReadDiscInfo(info), 6);
    EXPECT_EQ(info.TrackCount, 0);
    EXPECT_EQ(lib.Count("ReadToc"), 0);

    d.ready = true;
    d.readTocResult = 1;
    Use(d);
    EXPECT_EQ(session.ReadDiscInfo(info), 1);
}

TEST_F(DiscInfoTest, LastTrackLengthComesFromTheMciDevice) {
    Use(AudioDrive("d", {1000, 2000}));
    mci.deviceCount = 1;
    session.OpenCDAudioDevice();  // as after a drive switch
    ASSERT_TRUE(session.MciDeviceOpen());
    mci.tracks = 2;
    mci.lastLength = 0x00001E00;  // MCI MSF: 0 min, 30 s, 0 frames
    ASSERT_EQ(session.ReadDiscInfo(info), 0);
    EXPECT_EQ(info.Entry(2).Length, msf(0, 30, 0));
    EXPECT_EQ(info.Entry(2).LengthSectors, 2000u);  // the sector count stays the library's
    EXPECT_EQ(info.DiscEnd, AddMsf(info.Entry(2).Start, msf(0, 30, 0)));

    // A device that counts more tracks than the table has cannot point past it.
    mci.tracks = 7;
    ASSERT_EQ(session.ReadDiscInfo(info), 0);
    EXPECT_EQ(info.Entry(2).Length, FramesToMsf(2000));
}
