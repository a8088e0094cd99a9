#include <gtest/gtest.h>

#include "CDSession.h"
#include "ScriptedCDRip.h"
#include "ScriptedMci.h"
#include "mci.h"

using namespace CDRipIntf;

namespace {
class SelectCDROMTest : public ::testing::Test {
protected:
    void SetUp() override {
        lib.drives = {AudioDrive("A", {1000}), AudioDrive("B", {2000}), AudioDrive("C", {3000})};
        lib.Install(session);
        mci.deviceCount = 2;
        mci.Install(session);
    }
    ScriptedCDRip lib;
    ScriptedMci mci;
    TCDSession session;  // goes first, closing its device through mci
};
}  // namespace

TEST_F(SelectCDROMTest, SwitchingMovesTheMciDeviceToTheNewDrive) {
    session.SelectCDROM(1);
    EXPECT_EQ(lib.active, 1);
    ASSERT_TRUE(session.MciDeviceOpen());
    ASSERT_EQ(mci.Count(MCI_OPEN), 1);
    const MciCommand& open = mci.commands.back();
    EXPECT_EQ(open.openType, (1u << 16) + MCI_DEVTYPE_CD_AUDIO);
    EXPECT_EQ(open.flags, static_cast<uintptr_t>(MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID));
    const uint32_t firstId = session.MciDeviceID();

    session.SelectCDROM(0);
    EXPECT_EQ(lib.active, 0);
    EXPECT_EQ(mci.Count(MCI_CLOSE), 1);
    EXPECT_EQ(mci.Count(MCI_OPEN), 2);
    EXPECT_NE(session.MciDeviceID(), firstId);
}

TEST_F(SelectCDROMTest, TheActiveDriveOrAnIndexOutOfRangeChangesNothing) {
    for (int32_t index : {0, -1, 3, 1000}) {
        session.SelectCDROM(index);
        EXPECT_EQ(lib.active, 0) << index;
    }
    EXPECT_TRUE(mci.commands.empty());
    EXPECT_EQ(lib.Count("SetActiveCDROM"), 0);
    EXPECT_FALSE(session.MciDeviceOpen());
}

TEST_F(SelectCDROMTest, ADriveWithoutMciCounterpartClosesTheOldDeviceOnly) {
    session.SelectCDROM(1);
    ASSERT_TRUE(session.MciDeviceOpen());
    session.SelectCDROM(2);  // only two MCI devices
    EXPECT_EQ(lib.active, 2);
    EXPECT_FALSE(session.MciDeviceOpen());
    EXPECT_EQ(mci.Count(MCI_OPEN), 1);

    uint32_t tracks = 9, start = 9, length = 9;
    mci.commands.clear();
    session.GetMciTrackInfo(tracks, start, length);
    EXPECT_EQ(tracks + start + length, 0u);
    EXPECT_TRUE(mci.commands.empty());  // a closed device is not asked
}

TEST_F(SelectCDROMTest, NoDrivesMeansNoDeviceAtAll) {
    lib.drives.clear();
    lib.Install(session);
    session.SelectCDROM(0);
    session.OpenCDAudioDevice();
    EXPECT_FALSE(session.MciDeviceOpen());
    EXPECT_EQ(mci.Count(MCI_OPEN), 0);
}

TEST_F(SelectCDROMTest, AFailedCloseKeepsTheDeviceMarkedOpen) {
    session.SelectCDROM(1);
    const uint32_t id = session.MciDeviceID();
    mci.failMessage = MCI_CLOSE;
    session.CloseCDAudioDevice();
    EXPECT_TRUE(session.MciDeviceOpen());
    mci.failMessage = 0;
    session.CloseCDAudioDevice();
    EXPECT_FALSE(session.MciDeviceOpen());
    EXPECT_EQ(session.MciDeviceID(), id);  // the identifier outlives the close
}

TEST_F(SelectCDROMTest, TrackInfoStopsAtTheFirstFailingCommand) {
    session.SelectCDROM(1);
    mci.tracks = 4;
    mci.lastStart = 0x00020A03;   // 3 min, 10 s, 2 frames
    mci.lastLength = 0x00000501;  // 1 min, 5 s
    uint32_t tracks = 0, start = 0, length = 0;
    session.GetMciTrackInfo(tracks, start, length);
    EXPECT_EQ(tracks, 4u);
    EXPECT_EQ(start, (3u << 16) + (10u << 8) + 2);
    EXPECT_EQ(length, (1u << 16) + (5u << 8));

    mci.failStatusItem = MCI_STATUS_LENGTH;
    session.GetMciTrackInfo(tracks, start, length);
    EXPECT_EQ(tracks, 4u);
    EXPECT_NE(start, 0u);
    EXPECT_EQ(length, 0u);

    mci.failStatusItem = 0;
    mci.failMessage = MCI_SET;
    session.GetMciTrackInfo(tracks, start, length);
    EXPECT_EQ(tracks, 4u);
    EXPECT_EQ(start, 0u);
}

TEST_F(SelectCDROMTest, EverySessionHoldsItsOwnDeviceAndDiscAndClosesItsDeviceWhenItGoes) {
    session.SelectCDROM(1);
    ASSERT_TRUE(session.MciDeviceOpen());
    const uint32_t held = session.MciDeviceID();
    uint32_t otherId = 0;
    {
        TCDSession other;
        mci.Install(other);
        lib.Install(other);
        other.OpenCDAudioDevice();
        ASSERT_TRUE(other.MciDeviceOpen());
        otherId = other.MciDeviceID();
        EXPECT_NE(otherId, held);
        ASSERT_EQ(other.ReadDiscInfo(other.Disc()), 0);
        EXPECT_EQ(session.Disc().TrackCount, 0);
    }
    ASSERT_EQ(mci.Count(MCI_CLOSE), 1);
    EXPECT_EQ(mci.commands.back().message, static_cast<uint32_t>(MCI_CLOSE));
    EXPECT_EQ(mci.commands.back().device, otherId);
    EXPECT_TRUE(session.MciDeviceOpen());
    EXPECT_EQ(session.MciDeviceID(), held);
    EXPECT_TRUE(session.CR_IsUnitReady());  // its library still bound
}
