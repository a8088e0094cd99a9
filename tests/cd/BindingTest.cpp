#include <gtest/gtest.h>

#include <cstring>

#include "CDSession.h"
#include "ScriptedCDRip.h"

using namespace CDRipIntf;

TEST(Binding, AMissingLibraryLeavesTheProgramNotReadyButSafe) {
    TCDSession session;
    session.Initialize("/nonexistent/libcdrip3.so");
    EXPECT_FALSE(session.Ready());
    EXPECT_FALSE(session.Loaded());
    // Every call answers as a failed one, without touching a library.
    EXPECT_EQ(session.CR_GetNumCDROM(), 0);
    EXPECT_FALSE(session.CR_IsUnitReady());
    EXPECT_NE(session.CR_ReadToc(), 0);
    EXPECT_NE(session.CR_SaveSettings(), 0);
    EXPECT_EQ(session.CR_GetCDROMIDByIndex(0), "");
    EXPECT_EQ(session.CR_GetCDText(0, CR_CDTEXT_TITLE), "");
    EXPECT_EQ(session.CR_GetReadOffsetFrom(), kOffsetFromNone);
    EXPECT_NE(session.CR_SetReadOffsetFrom(6, kOffsetFromList), 0);
    TDriveIdentity identity;
    memset(&identity, 'x', sizeof identity);
    EXPECT_NE(session.CR_GetDriveIdentity(&identity), 0);
    EXPECT_STREQ(identity.vendor, "");
    EXPECT_STREQ(identity.revision, "");
    int32_t size = 0;
    EXPECT_NE(session.CR_OpenRipper(&size, 0, 10), 0);
    EXPECT_NE(session.CR_OpenRawRipper(&size, 0, 10), 0);
    session.CR_EjectCD(1);
    session.CR_LockCD(0);
    TDiscInfo info;
    EXPECT_EQ(session.ReadDiscInfo(info), 6);
    session.SelectCDROM(0);
}

TEST(Binding, AFailedInitialisationLeavesTheProgramNotReady) {
    ScriptedCDRip lib;
    TCDSession session;
    lib.initResult = 5;
    lib.Install(session);
    EXPECT_FALSE(session.Ready());
    EXPECT_EQ(lib.Count("Init"), 1);

    lib.initResult = 0;
    lib.Install(session);
    EXPECT_TRUE(session.Ready());
}

TEST(Binding, OnlyTheLowByteOfUnitReadyCounts) {
    static int32_t answer = 0;
    CDRipFunctions f;
    f.Init = [](const char*) { return 0; };
    f.IsUnitReady = [] { return answer; };
    TCDSession session;
    session.BindFunctions(f);
    answer = 0x100;
    EXPECT_FALSE(session.CR_IsUnitReady());
    answer = 0x101;
    EXPECT_TRUE(session.CR_IsUnitReady());
}

TEST(Binding, DriveParameterFieldsAreLittleEndian) {
    TDriveParams p{};
    SetParam(p, 284, -1);
    SetParam(p, 356, 0xDF);
    EXPECT_EQ(p.bytes[284], 0xFF);
    EXPECT_EQ(p.bytes[287], 0xFF);
    EXPECT_EQ(p.bytes[356], 0xDF);
    EXPECT_EQ(p.bytes[357], 0);
    EXPECT_EQ(GetParam(p, 284), -1);
    EXPECT_EQ(GetParam(p, 356), 223);
}
