#include <gtest/gtest.h>

#include "CDRipIntf.h"
#include "ScriptedCDRip.h"

using namespace CDRipIntf;

TEST(Binding, AMissingLibraryLeavesTheProgramNotReadyButSafe) {
    FinalizeCDRip();
    InitializeCDRip("/nonexistent/libcdrip3.so");
    EXPECT_FALSE(CDRipReady);
    EXPECT_FALSE(CDRipLibraryLoaded());
    // Every call answers as a failed one, without touching a library.
    EXPECT_EQ(CDRipIntf::CR_GetNumCDROM(), 0);
    EXPECT_FALSE(CDRipIntf::CR_IsUnitReady());
    EXPECT_NE(CDRipIntf::CR_ReadToc(), 0);
    EXPECT_NE(CDRipIntf::CR_SaveSettings(), 0);
    EXPECT_EQ(CDRipIntf::CR_GetCDROMIDByIndex(0), "");
    int32_t size = 0;
    EXPECT_NE(CDRipIntf::CR_OpenRipper(&size, 0, 10), 0);
    CDRipIntf::CR_EjectCD(1);
    CDRipIntf::CR_LockCD(0);
    TDiscInfo info;
    EXPECT_EQ(ReadDiscInfo(info), 6);
    SelectCDROM(0);
}

TEST(Binding, AFailedInitialisationLeavesTheProgramNotReady) {
    ScriptedCDRip lib;
    lib.initResult = 5;
    lib.Install();
    EXPECT_FALSE(CDRipReady);
    EXPECT_EQ(lib.Count("Init"), 1);

    lib.initResult = 0;
    lib.Install();
    EXPECT_TRUE(CDRipReady);
}

TEST(Binding, OnlyTheLowByteOfUnitReadyCounts) {
    static int32_t answer = 0;
    CDRipFunctions f;
    f.Init = [](const char*) { return 0; };
    f.IsUnitReady = [] { return answer; };
    BindCDRipFunctions(f);
    answer = 0x100;
    EXPECT_FALSE(CDRipIntf::CR_IsUnitReady());
    answer = 0x101;
    EXPECT_TRUE(CDRipIntf::CR_IsUnitReady());
    FinalizeCDRip();
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
