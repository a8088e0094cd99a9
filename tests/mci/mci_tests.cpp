// The MCI layer over image drives written by the testdisc library.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "drivemodel.h"
#include "mci.h"
#include "testdisc.h"

namespace fs = std::filesystem;

namespace {

struct Image {
    testdisc::DiscPlan discPlan;
    testdisc::ExpectedDisc toc;
    std::string cue;
};

enum { kPlain, kCdExtra, kMixed, kTray, kImageCount };

fs::path gDir;
std::vector<Image> gImages;
int gBase = 0;  // drives before the images (real drives, if the machine has any)

testdisc::DiscPlan imagePlan(int which) {
    switch (which) {
        case kPlain: {
            auto discPlan = testdisc::audioDisc({300, 450, 200, 1000});
            discPlan.hiddenSectors = 20;
            discPlan.tracks[1].pregap = 150;
            discPlan.tracks[2].index0 = 75;
            return discPlan;
        }
        case kCdExtra: {
            auto discPlan = testdisc::audioDisc({500, 600, 400});
            discPlan.cdExtra = true;
            return discPlan;
        }
        case kMixed: {
            auto discPlan = testdisc::audioDisc({400, 300, 250});
            discPlan.tracks[0].data = true;
            discPlan.layout = testdisc::Layout::BinPerTrack;
            return discPlan;
        }
        default: {
            auto discPlan = testdisc::audioDisc({100, 120});
            discPlan.layout = testdisc::Layout::WavePerTrack;
            discPlan.firstTrackNumber = 5;
            return discPlan;
        }
    }
}

class Env : public ::testing::Environment {
public:
    void SetUp() override {
        gDir = fs::temp_directory_path() / ("mci-tests-" + std::to_string(::getpid()));
        fs::remove_all(gDir);
        fs::create_directories(gDir);
        std::string list;
        for (int i = 0; i < kImageCount; ++i) {
            Image img;
            img.discPlan = imagePlan(i);
            img.cue = (gDir / ("disc" + std::to_string(i) + ".cue")).string();
            img.toc = testdisc::writeImage(img.discPlan, img.cue);
            if (!list.empty()) list += ":";
            list += img.cue;
            gImages.push_back(img);
        }
        ::unsetenv("CDRIP3_DEVICES");
        ::setenv("CDRIP3_IMAGES", "", 1);
        auto& model = svdrives::DriveModel::instance();
        model.resetForTests();
        const int realDrives = model.count();
        ::setenv("CDRIP3_IMAGES", list.c_str(), 1);
        model.resetForTests();
        gBase = realDrives;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(gDir, ec);
    }
};

const auto* gEnv = ::testing::AddGlobalTestEnvironment(new Env);

MCIDEVICEID openOrdinal(int ordinal, MCIERROR* err = nullptr) {
    MCI_OPEN_PARMSA p{};
    p.lpstrDeviceType =
        reinterpret_cast<const char*>(uintptr_t((uint32_t(ordinal) << 16) | MCI_DEVTYPE_CD_AUDIO));
    const MCIERROR e = mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID,
                                       reinterpret_cast<DWORD_PTR>(&p));
    if (err) *err = e;
    return e ? 0 : p.wDeviceID;
}

MCIDEVICEID openImage(int which) {
    const MCIDEVICEID id = openOrdinal(gBase + which);
    EXPECT_NE(id, 0u);
    return id;
}

MCIERROR status(MCIDEVICEID id, DWORD item, DWORD_PTR* out, DWORD track = 0,
                DWORD_PTR extraFlags = 0) {
    MCI_STATUS_PARMS p{};
    p.dwItem = item;
    p.dwTrack = track;
    p.dwReturn = 0xDEADBEEF;
    DWORD_PTR flags = MCI_STATUS_ITEM | extraFlags;
    if (track) flags |= MCI_TRACK;
    const MCIERROR e = mciSendCommandA(id, MCI_STATUS, flags, reinterpret_cast<DWORD_PTR>(&p));
    *out = p.dwReturn;
    return e;
}

DWORD_PTR statusOk(MCIDEVICEID id, DWORD item, DWORD track = 0, DWORD_PTR extraFlags = 0) {
    DWORD_PTR v = 0;
    EXPECT_EQ(status(id, item, &v, track, extraFlags), 0u) << "item " << item << " track " << track;
    return v;
}

MCIERROR setTimeFormat(MCIDEVICEID id, DWORD format) {
    MCI_SET_PARMS p{};
    p.dwTimeFormat = format;
    return mciSendCommandA(id, MCI_SET, MCI_SET_TIME_FORMAT, reinterpret_cast<DWORD_PTR>(&p));
}

MCIERROR closeDevice(MCIDEVICEID id) {
    return mciSendCommandA(id, MCI_CLOSE, 0, 0);
}

DWORD msf(uint32_t frames) {
    return MCI_MAKE_MSF(frames / 4500, (frames / 75) % 60, frames % 75);
}

class Mci : public ::testing::Test {
protected:
    void TearDown() override { mciSendCommandA(MCI_ALL_DEVICE_ID, MCI_CLOSE, 0, 0); }
};

}  // namespace

TEST_F(Mci, DriveModelListsTheImages) {
    ASSERT_EQ(svdrives::DriveModel::instance().count(), gBase + kImageCount);
    for (int i = 0; i < kImageCount; ++i) {
        auto* d = svdrives::DriveModel::instance().drive(gBase + i);
        ASSERT_NE(d, nullptr);
        EXPECT_TRUE(d->isImage());
    }
}

TEST_F(Mci, SysinfoQuantity) {
    for (MCIDEVICEID dev : {0u, 1u, 4711u}) {
        uint32_t n = 0xFFFF;
        MCI_SYSINFO_PARMSA p{};
        p.lpstrReturn = reinterpret_cast<char*>(&n);
        p.dwRetSize = sizeof n;
        p.wDeviceType = MCI_DEVTYPE_CD_AUDIO;
        ASSERT_EQ(mciSendCommandA(dev, MCI_SYSINFO, MCI_SYSINFO_QUANTITY,
                                  reinterpret_cast<DWORD_PTR>(&p)),
                  0u);
        EXPECT_EQ(n, uint32_t(gBase + kImageCount));
    }
    uint32_t n = 0xFFFF;
    MCI_SYSINFO_PARMSA p{};
    p.lpstrReturn = reinterpret_cast<char*>(&n);
    p.dwRetSize = 2;
    p.wDeviceType = MCI_DEVTYPE_CD_AUDIO;
    EXPECT_EQ(
        mciSendCommandA(0, MCI_SYSINFO, MCI_SYSINFO_QUANTITY, reinterpret_cast<DWORD_PTR>(&p)),
        MCIERR_PARAM_OVERFLOW);
    EXPECT_EQ(mciSendCommandA(0, MCI_SYSINFO, MCI_SYSINFO_QUANTITY, 0),
              MCIERR_NULL_PARAMETER_BLOCK);
    // Open devices.
    const MCIDEVICEID a = openImage(kPlain), b = openImage(kPlain);
    p.dwRetSize = 4;
    ASSERT_EQ(mciSendCommandA(0, MCI_SYSINFO, MCI_SYSINFO_QUANTITY | MCI_SYSINFO_OPEN,
                              reinterpret_cast<DWORD_PTR>(&p)),
              0u);
    EXPECT_EQ(n, 2u);
    closeDevice(a);
    closeDevice(b);
}

TEST_F(Mci, SysinfoName) {
    char name[256] = {};
    MCI_SYSINFO_PARMSA p{};
    p.lpstrReturn = name;
    p.dwRetSize = sizeof name;
    p.dwNumber = gBase + kTray + 1;
    p.wDeviceType = MCI_DEVTYPE_CD_AUDIO;
    ASSERT_EQ(mciSendCommandA(0, MCI_SYSINFO, MCI_SYSINFO_NAME, reinterpret_cast<DWORD_PTR>(&p)),
              0u);
    EXPECT_EQ(std::string(name), svdrives::DriveModel::instance().drive(gBase + kTray)->name());
    p.dwNumber = 0;
    EXPECT_EQ(mciSendCommandA(0, MCI_SYSINFO, MCI_SYSINFO_NAME, reinterpret_cast<DWORD_PTR>(&p)),
              MCIERR_OUTOFRANGE);
}

TEST_F(Mci, OpenByOrdinal) {
    std::vector<MCIDEVICEID> ids;
    for (int i = 0; i < kImageCount; ++i) {
        const MCIDEVICEID id = openImage(i);
        ASSERT_NE(id, 0u);
        for (MCIDEVICEID other : ids) EXPECT_NE(id, other);
        ids.push_back(id);
        EXPECT_EQ(statusOk(id, MCI_STATUS_NUMBER_OF_TRACKS), gImages[i].toc.tracks.size());
        EXPECT_EQ(statusOk(id, MCI_STATUS_TIME_FORMAT), DWORD(MCI_FORMAT_MSF));
    }
    MCIERROR err = 0;
    EXPECT_EQ(openOrdinal(gBase + kImageCount, &err), 0u);
    EXPECT_EQ(err, MCIERR_INVALID_DEVICE_NAME);
    // Another device type id.
    MCI_OPEN_PARMSA p{};
    p.lpstrDeviceType = reinterpret_cast<const char*>(uintptr_t(514));  // MCI_DEVTYPE_VIDEODISC
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID,
                              reinterpret_cast<DWORD_PTR>(&p)),
              MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID, 0),
              MCIERR_NULL_PARAMETER_BLOCK);
    for (MCIDEVICEID id : ids) EXPECT_EQ(closeDevice(id), 0u);
}

TEST_F(Mci, OpenByTypeName) {
    for (const char* type : {"cdaudio", "CDAudio"}) {
        MCI_OPEN_PARMSA p{};
        p.lpstrDeviceType = type;
        ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE, reinterpret_cast<DWORD_PTR>(&p)), 0u);
        EXPECT_NE(p.wDeviceID, 0u);
        if (gBase == 0) {  // ordinal 0 is the first image
            EXPECT_EQ(statusOk(p.wDeviceID, MCI_STATUS_NUMBER_OF_TRACKS),
                      gImages[kPlain].toc.tracks.size());
        }
        EXPECT_EQ(closeDevice(p.wDeviceID), 0u);
    }
    MCI_OPEN_PARMSA p{};
    p.lpstrDeviceType = "waveaudio";
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE, reinterpret_cast<DWORD_PTR>(&p)),
              MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, 0, reinterpret_cast<DWORD_PTR>(&p)),
              MCIERR_DEVICE_TYPE_REQUIRED);
}

TEST_F(Mci, OpenByElementName) {
    const std::string name = svdrives::DriveModel::instance().drive(gBase + kMixed)->name();
    MCI_OPEN_PARMSA p{};
    p.lpstrDeviceType = "cdaudio";
    p.lpstrElementName = name.c_str();
    ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT,
                              reinterpret_cast<DWORD_PTR>(&p)),
              0u);
    EXPECT_EQ(statusOk(p.wDeviceID, MCI_CDA_STATUS_TYPE_TRACK, 1), DWORD(MCI_CDA_TRACK_OTHER));
    p.lpstrElementName = "no such drive";
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT,
                              reinterpret_cast<DWORD_PTR>(&p)),
              MCIERR_INVALID_DEVICE_NAME);
}

TEST_F(Mci, IdsAreNotReusedAndCloseChecksThem) {
    const MCIDEVICEID a = openImage(kPlain);
    const MCIDEVICEID b = openImage(kPlain);  // the same drive twice
    EXPECT_NE(a, b);
    EXPECT_EQ(closeDevice(a), 0u);
    EXPECT_EQ(closeDevice(a), MCIERR_INVALID_DEVICE_ID);
    DWORD_PTR v = 0;
    EXPECT_EQ(status(a, MCI_STATUS_NUMBER_OF_TRACKS, &v), MCIERR_INVALID_DEVICE_ID);
    EXPECT_EQ(statusOk(b, MCI_STATUS_NUMBER_OF_TRACKS), 4u);  // the other one still works
    const MCIDEVICEID c = openImage(kPlain);
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
    EXPECT_EQ(closeDevice(0), MCIERR_INVALID_DEVICE_ID);
    EXPECT_EQ(closeDevice(987654), MCIERR_INVALID_DEVICE_ID);
    EXPECT_EQ(status(0, MCI_STATUS_MODE, &v), MCIERR_INVALID_DEVICE_ID);
}

TEST_F(Mci, PositionsAndLengthsMsf) {
    for (int which : {kPlain, kCdExtra, kMixed, kTray}) {
        const auto& toc = gImages[which].toc;
        const MCIDEVICEID id = openImage(which);
        ASSERT_EQ(statusOk(id, MCI_STATUS_NUMBER_OF_TRACKS), toc.tracks.size());
        for (size_t i = 0; i < toc.tracks.size(); ++i) {
            const DWORD t = DWORD(i + 1);
            EXPECT_EQ(statusOk(id, MCI_STATUS_POSITION, t), msf(toc.tracks[i].startSector + 150))
                << "image " << which << " track " << t;
            EXPECT_EQ(statusOk(id, MCI_STATUS_LENGTH, t), msf(toc.tracks[i].sectors))
                << "image " << which << " track " << t;
        }
        const uint32_t first = toc.tracks.front().startSector;
        EXPECT_EQ(statusOk(id, MCI_STATUS_LENGTH), msf(toc.leadOut - first));
        EXPECT_EQ(statusOk(id, MCI_STATUS_POSITION), msf(first + 150));  // current
        EXPECT_EQ(statusOk(id, MCI_STATUS_POSITION, 0, MCI_STATUS_START), msf(first + 150));
        EXPECT_EQ(statusOk(id, MCI_STATUS_CURRENT_TRACK), 1u);
        EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_STOP));
        EXPECT_EQ(statusOk(id, MCI_STATUS_MEDIA_PRESENT), 1u);
        EXPECT_EQ(statusOk(id, MCI_STATUS_READY), 1u);
    }
}

TEST_F(Mci, HiddenTrackAndPregapsAsTheDriveReportsThem) {
    const auto& toc = gImages[kPlain].toc;
    const MCIDEVICEID id = openImage(kPlain);
    EXPECT_EQ(statusOk(id, MCI_STATUS_POSITION, 1), MCI_MAKE_MSF(0, 2, 20));  // hidden 20
    EXPECT_EQ(statusOk(id, MCI_STATUS_LENGTH, 1), msf(300 + 150));            // + PREGAP
    EXPECT_EQ(statusOk(id, MCI_STATUS_LENGTH, 2), msf(450 + 75));             // + INDEX 00
    EXPECT_EQ(statusOk(id, MCI_STATUS_LENGTH, 4), msf(1000));
    EXPECT_EQ(toc.tracks[3].startSector, 20u + 300 + 150 + 450 + 75 + 200);
}

TEST_F(Mci, TmsfMillisecondsAndFrames) {
    const auto& toc = gImages[kCdExtra].toc;
    const MCIDEVICEID id = openImage(kCdExtra);
    ASSERT_EQ(setTimeFormat(id, MCI_FORMAT_TMSF), 0u);
    EXPECT_EQ(statusOk(id, MCI_STATUS_TIME_FORMAT), DWORD(MCI_FORMAT_TMSF));
    for (size_t i = 0; i < toc.tracks.size(); ++i) {
        const DWORD t = DWORD(i + 1);
        EXPECT_EQ(statusOk(id, MCI_STATUS_POSITION, t), MCI_MAKE_TMSF(t, 0, 0, 0));
        EXPECT_EQ(statusOk(id, MCI_STATUS_LENGTH, t), msf(toc.tracks[i].sectors));  // MSF
    }
    EXPECT_EQ(statusOk(id, MCI_STATUS_POSITION), MCI_MAKE_TMSF(1, 0, 0, 0));

    ASSERT_EQ(setTimeFormat(id, MCI_FORMAT_MILLISECONDS), 0u);
    for (size_t i = 0; i < toc.tracks.size(); ++i) {
        const DWORD t = DWORD(i + 1);
        EXPECT_EQ(statusOk(id, MCI_STATUS_POSITION, t),
                  DWORD(uint64_t(toc.tracks[i].startSector + 150) * 1000 / 75));
        EXPECT_EQ(statusOk(id, MCI_STATUS_LENGTH, t),
                  DWORD(uint64_t(toc.tracks[i].sectors) * 1000 / 75));
    }
    EXPECT_EQ(statusOk(id, MCI_STATUS_LENGTH), DWORD(uint64_t(toc.leadOut) * 1000 / 75));

    ASSERT_EQ(setTimeFormat(id, MCI_FORMAT_FRAMES), 0u);
    for (size_t i = 0; i < toc.tracks.size(); ++i) {
        const DWORD t = DWORD(i + 1);
        EXPECT_EQ(statusOk(id, MCI_STATUS_POSITION, t), toc.tracks[i].startSector + 150);
        EXPECT_EQ(statusOk(id, MCI_STATUS_LENGTH, t), toc.tracks[i].sectors);
    }
    // The CD-Extra data track lies beyond the session gap; the last audio track's length
    // does not include it.
    EXPECT_EQ(toc.tracks[2].startSector, 1100u + svdrives::kSessionGapSectors);
    EXPECT_EQ(statusOk(id, MCI_STATUS_LENGTH, 2), 600u);
}

TEST_F(Mci, TimeFormatIsPerDeviceAndValidated) {
    const MCIDEVICEID a = openImage(kPlain), b = openImage(kPlain);
    ASSERT_EQ(setTimeFormat(a, MCI_FORMAT_FRAMES), 0u);
    EXPECT_EQ(statusOk(a, MCI_STATUS_TIME_FORMAT), DWORD(MCI_FORMAT_FRAMES));
    EXPECT_EQ(statusOk(b, MCI_STATUS_TIME_FORMAT), DWORD(MCI_FORMAT_MSF));
    EXPECT_EQ(setTimeFormat(a, MCI_FORMAT_HMS), MCIERR_BAD_TIME_FORMAT);
    EXPECT_EQ(setTimeFormat(a, 77), MCIERR_BAD_TIME_FORMAT);
    EXPECT_EQ(statusOk(a, MCI_STATUS_TIME_FORMAT), DWORD(MCI_FORMAT_FRAMES));
    EXPECT_EQ(mciSendCommandA(a, MCI_SET, MCI_SET_TIME_FORMAT, 0), MCIERR_NULL_PARAMETER_BLOCK);
}

TEST_F(Mci, TrackTypes) {
    const MCIDEVICEID mixed = openImage(kMixed), extra = openImage(kCdExtra);
    EXPECT_EQ(statusOk(mixed, MCI_CDA_STATUS_TYPE_TRACK, 1), DWORD(MCI_CDA_TRACK_OTHER));
    EXPECT_EQ(statusOk(mixed, MCI_CDA_STATUS_TYPE_TRACK, 2), DWORD(MCI_CDA_TRACK_AUDIO));
    EXPECT_EQ(statusOk(mixed, MCI_CDA_STATUS_TYPE_TRACK, 3), DWORD(MCI_CDA_TRACK_AUDIO));
    EXPECT_EQ(statusOk(extra, MCI_CDA_STATUS_TYPE_TRACK, 1), DWORD(MCI_CDA_TRACK_AUDIO));
    EXPECT_EQ(statusOk(extra, MCI_CDA_STATUS_TYPE_TRACK, 3), DWORD(MCI_CDA_TRACK_OTHER));
    DWORD_PTR v = 0;
    EXPECT_EQ(status(mixed, MCI_CDA_STATUS_TYPE_TRACK, &v), MCIERR_MISSING_PARAMETER);
}

TEST_F(Mci, TrackNumbersOutOfRange) {
    const MCIDEVICEID id = openImage(kTray);  // 2 tracks numbered 5 and 6 on the disc
    DWORD_PTR v = 0;
    for (DWORD item :
         {DWORD(MCI_STATUS_POSITION), DWORD(MCI_STATUS_LENGTH), DWORD(MCI_CDA_STATUS_TYPE_TRACK)}) {
        MCI_STATUS_PARMS p{};
        p.dwItem = item;
        p.dwTrack = 0;
        EXPECT_EQ(mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK,
                                  reinterpret_cast<DWORD_PTR>(&p)),
                  MCIERR_OUTOFRANGE);
        EXPECT_EQ(status(id, item, &v, 3), MCIERR_OUTOFRANGE);
        EXPECT_EQ(status(id, item, &v, 5), MCIERR_OUTOFRANGE);
        EXPECT_EQ(status(id, item, &v, 2), 0u);
    }
}

TEST_F(Mci, BadRequests) {
    const MCIDEVICEID id = openImage(kPlain);
    DWORD_PTR v = 0;
    EXPECT_EQ(status(id, 0x7777, &v), MCIERR_BAD_CONSTANT);
    MCI_STATUS_PARMS p{};
    p.dwItem = MCI_STATUS_NUMBER_OF_TRACKS;
    EXPECT_EQ(mciSendCommandA(id, MCI_STATUS, 0, reinterpret_cast<DWORD_PTR>(&p)),
              MCIERR_MISSING_PARAMETER);
    EXPECT_EQ(mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM, 0), MCIERR_NULL_PARAMETER_BLOCK);
    MCI_GENERIC_PARMS record{};  // MCI_RECORD: a CD cannot record
    EXPECT_EQ(mciSendCommandA(id, 0x080F, 0, reinterpret_cast<DWORD_PTR>(&record)),
              MCIERR_UNRECOGNIZED_COMMAND);
    EXPECT_EQ(mciSendCommandA(id, 0x0899, 0, 0), MCIERR_UNRECOGNIZED_COMMAND);
    EXPECT_EQ(mciSendCommandA(id + 1000, MCI_PLAY, 0, 0), MCIERR_INVALID_DEVICE_ID);
}

TEST_F(Mci, TrayOpenedAndClosedThroughTheDrive) {
    auto* drive = svdrives::DriveModel::instance().drive(gBase + kTray);
    ASSERT_NE(drive, nullptr);
    const MCIDEVICEID id = openImage(kTray);
    ASSERT_EQ(statusOk(id, MCI_STATUS_NUMBER_OF_TRACKS), 2u);
    drive->eject(true);
    DWORD_PTR v = 0;
    EXPECT_EQ(status(id, MCI_STATUS_NUMBER_OF_TRACKS, &v), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(status(id, MCI_STATUS_POSITION, &v, 1), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(status(id, MCI_STATUS_LENGTH, &v), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(status(id, MCI_STATUS_CURRENT_TRACK, &v), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(statusOk(id, MCI_STATUS_MEDIA_PRESENT), 0u);
    EXPECT_EQ(statusOk(id, MCI_STATUS_READY), 0u);
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_OPEN));
    EXPECT_EQ(statusOk(id, MCI_STATUS_TIME_FORMAT), DWORD(MCI_FORMAT_MSF));
    // Another image drive is not affected.
    const MCIDEVICEID other = openImage(kPlain);
    EXPECT_EQ(statusOk(other, MCI_STATUS_NUMBER_OF_TRACKS), 4u);
    drive->eject(false);
    EXPECT_EQ(statusOk(id, MCI_STATUS_MEDIA_PRESENT), 1u);
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_STOP));
    EXPECT_EQ(statusOk(id, MCI_STATUS_NUMBER_OF_TRACKS), 2u);
    EXPECT_EQ(statusOk(id, MCI_STATUS_LENGTH, 2), msf(120));
}

TEST_F(Mci, DoorThroughMciSet) {
    auto* drive = svdrives::DriveModel::instance().drive(gBase + kTray);
    const MCIDEVICEID a = openImage(kTray), b = openImage(kTray);
    MCI_SET_PARMS p{};
    ASSERT_EQ(mciSendCommandA(a, MCI_SET, MCI_SET_DOOR_OPEN, reinterpret_cast<DWORD_PTR>(&p)), 0u);
    EXPECT_FALSE(drive->unitReady());
    DWORD_PTR v = 0;
    EXPECT_EQ(status(b, MCI_STATUS_NUMBER_OF_TRACKS, &v), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(mciSendCommandA(a, MCI_SET, MCI_SET_DOOR_OPEN | MCI_SET_DOOR_CLOSED,
                              reinterpret_cast<DWORD_PTR>(&p)),
              MCIERR_FLAGS_NOT_COMPATIBLE);
    ASSERT_EQ(mciSendCommandA(a, MCI_SET, MCI_SET_DOOR_CLOSED, reinterpret_cast<DWORD_PTR>(&p)),
              0u);
    EXPECT_TRUE(drive->unitReady());
    EXPECT_EQ(statusOk(b, MCI_STATUS_NUMBER_OF_TRACKS), 2u);
}

// The plan is read as the door closes; the table waits for the spin-up, without keeping
// another device's commands waiting.
TEST_F(Mci, ADiscBehindAClosedDoorSpinsUpBeforeItAnswers) {
    using Clock = std::chrono::steady_clock;
    const MCIDEVICEID id = openImage(kTray), other = openImage(kPlain);
    MCI_SET_PARMS p{};
    ASSERT_EQ(mciSendCommandA(id, MCI_SET, MCI_SET_DOOR_OPEN, reinterpret_cast<DWORD_PTR>(&p)), 0u);
    ::setenv("CDRIP3_FAULTS", "spinup=300", 1);
    const MCIERROR closed =
        mciSendCommandA(id, MCI_SET, MCI_SET_DOOR_CLOSED, reinterpret_cast<DWORD_PTR>(&p));
    ::unsetenv("CDRIP3_FAULTS");
    ASSERT_EQ(closed, 0u);
    DWORD_PTR otherTracks = 0;
    Clock::duration otherTook{};
    std::thread window([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto t0 = Clock::now();
        otherTracks = statusOk(other, MCI_STATUS_NUMBER_OF_TRACKS);
        otherTook = Clock::now() - t0;
    });
    const auto t0 = Clock::now();
    EXPECT_EQ(statusOk(id, MCI_STATUS_NUMBER_OF_TRACKS), 2u);
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(250));
    window.join();
    EXPECT_EQ(otherTracks, 4u);
    EXPECT_LT(otherTook, std::chrono::milliseconds(100));
}

TEST(MciErrors, Strings) {
    char buf[256];
    for (MCIERROR e : {MCIERR_INVALID_DEVICE_ID, MCIERR_UNRECOGNIZED_COMMAND,
                       MCIERR_INVALID_DEVICE_NAME, MCIERR_DEVICE_NOT_READY, MCIERR_OUTOFRANGE,
                       MCIERR_BAD_TIME_FORMAT, MCIERR_NULL_PARAMETER_BLOCK, MCIERR_HARDWARE,
                       MCIERR_MISSING_PARAMETER, MCIERR_PARAM_OVERFLOW, MCIERR_BAD_CONSTANT,
                       MCIERR_FLAGS_NOT_COMPATIBLE, MCIERR_DEVICE_TYPE_REQUIRED}) {
        buf[0] = 0;
        EXPECT_EQ(mciGetErrorStringA(e, buf, sizeof buf), 1) << e;
        EXPECT_GT(std::strlen(buf), 10u) << e;
    }
    EXPECT_EQ(mciGetErrorStringA(12345, buf, sizeof buf), 0);
    EXPECT_GT(std::strlen(buf), 0u);
    char small[6];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(mciGetErrorStringA(MCIERR_DEVICE_NOT_READY, small, sizeof small), 1);
    EXPECT_EQ(std::strlen(small), 5u);
    EXPECT_EQ(mciGetErrorStringA(MCIERR_DEVICE_NOT_READY, nullptr, 0), 1);
    char one[1] = {'x'};
    mciGetErrorStringA(MCIERR_DEVICE_NOT_READY, one, 1);
    EXPECT_EQ(one[0], '\0');
}
