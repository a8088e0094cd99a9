// MCI playback over image drives, heard through a capturing audio output.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAudioDevice>
#include <QMediaDevices>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "captureoutput.h"
#include "drivemodel.h"
#include "mci.h"
#include "mciaudio.h"
#include "testdisc.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr size_t kSector = testdisc::kSectorBytes;

struct Image {
    testdisc::DiscPlan discPlan;
    testdisc::ExpectedDisc toc;
};

enum { kShort, kExtra, kMixed, kDataOnly, kDataBetween, kImageCount };

fs::path gDir;
std::vector<Image> gImages;
int gBase = 0;  // drives before the images (real drives, if the machine has any)

testdisc::DiscPlan imagePlan(int which) {
    switch (which) {
        case kShort: {
            auto discPlan = testdisc::audioDisc({60, 45, 80, 50});
            discPlan.tracks[2].index0 = 10;  // track 3's INDEX 00 area lies before its start
            discPlan.tracks[3].pregap = 5;
            return discPlan;
        }
        case kExtra: {
            auto discPlan = testdisc::audioDisc({40, 30, 25});
            discPlan.cdExtra = true;
            return discPlan;
        }
        case kMixed: {
            auto discPlan = testdisc::audioDisc({30, 40, 20});
            discPlan.tracks[0].data = true;
            return discPlan;
        }
        case kDataOnly: {
            auto discPlan = testdisc::audioDisc({50});
            discPlan.tracks[0].data = true;
            return discPlan;
        }
        default: {
            auto discPlan = testdisc::audioDisc({20, 15, 25});
            discPlan.tracks[1].data = true;
            discPlan.layout = testdisc::Layout::BinPerTrack;
            return discPlan;
        }
    }
}

class Env : public ::testing::Environment {
public:
    void SetUp() override {
        gDir = fs::temp_directory_path() / ("mci-play-tests-" + std::to_string(::getpid()));
        fs::remove_all(gDir);
        fs::create_directories(gDir);
        std::string list;
        for (int i = 0; i < kImageCount; ++i) {
            Image img;
            img.discPlan = imagePlan(i);
            const std::string cue = (gDir / ("disc" + std::to_string(i) + ".cue")).string();
            img.toc = testdisc::writeImage(img.discPlan, cue);
            if (!list.empty()) list += ":";
            list += cue;
            gImages.push_back(img);
        }
        ::unsetenv("CDRIP3_DEVICES");
        ::setenv("CDRIP3_IMAGES", "", 1);
        auto& model = svdrives::DriveModel::instance();
        model.resetForTests();
        gBase = model.count();
        ::setenv("CDRIP3_IMAGES", list.c_str(), 1);
        model.resetForTests();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(gDir, ec);
    }
};

const auto* gEnv = ::testing::AddGlobalTestEnvironment(new Env);

// What the notification callback heard.
struct Notice {
    DWORD_PTR data = 0;
    UINT code = 0;
    MCIDEVICEID device = 0;
    std::thread::id thread;
};

std::mutex gNoticeMutex;
std::condition_variable gNoticeChanged;
std::vector<Notice> gNotices;
// Run by the callback after recording, on the worker: tests that call back into MCI.
std::function<void(const Notice&)> gOnNotice;

void recordNotice(DWORD_PTR data, UINT code, MCIDEVICEID device) {
    const Notice n{data, code, device, std::this_thread::get_id()};
    std::function<void(const Notice&)> then;
    {
        std::lock_guard lock(gNoticeMutex);
        gNotices.push_back(n);
        then = gOnNotice;
    }
    gNoticeChanged.notify_all();
    if (then) then(n);
}

// The count-th notice (1-based), waiting for it up to a few seconds.
std::optional<Notice> waitForNotice(size_t count = 1) {
    std::unique_lock lock(gNoticeMutex);
    if (!gNoticeChanged.wait_for(lock, 10s, [&] { return gNotices.size() >= count; })) {
        return std::nullopt;
    }
    return gNotices[count - 1];
}

size_t noticeCount() {
    std::lock_guard lock(gNoticeMutex);
    return gNotices.size();
}

MCIDEVICEID openImage(int which, DWORD_PTR extraFlags = 0, MCIERROR* err = nullptr) {
    MCI_OPEN_PARMSA p{};
    p.lpstrDeviceType = reinterpret_cast<const char*>(
        uintptr_t((uint32_t(gBase + which) << 16) | MCI_DEVTYPE_CD_AUDIO));
    const MCIERROR e = mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | extraFlags,
                                       reinterpret_cast<DWORD_PTR>(&p));
    if (err) *err = e;
    return e ? 0 : p.wDeviceID;
}

DWORD_PTR statusOk(MCIDEVICEID id, DWORD item, DWORD track = 0) {
    MCI_STATUS_PARMS p{};
    p.dwItem = item;
    p.dwTrack = track;
    const MCIERROR e = mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM | (track ? MCI_TRACK : 0),
                                       reinterpret_cast<DWORD_PTR>(&p));
    EXPECT_EQ(e, 0u) << "item " << item;
    return p.dwReturn;
}

MCIERROR setTimeFormat(MCIDEVICEID id, DWORD format) {
    MCI_SET_PARMS p{};
    p.dwTimeFormat = format;
    return mciSendCommandA(id, MCI_SET, MCI_SET_TIME_FORMAT, reinterpret_cast<DWORD_PTR>(&p));
}

MCIERROR seekTo(MCIDEVICEID id, DWORD position) {
    MCI_SEEK_PARMS p{};
    p.dwTo = position;
    return mciSendCommandA(id, MCI_SEEK, MCI_TO, reinterpret_cast<DWORD_PTR>(&p));
}

MCIERROR play(MCIDEVICEID id, DWORD_PTR flags, DWORD from = 0, DWORD to = 0,
              DWORD_PTR callback = 0) {
    MCI_PLAY_PARMS p{};
    p.dwCallback = callback;
    p.dwFrom = from;
    p.dwTo = to;
    return mciSendCommandA(id, MCI_PLAY, flags, reinterpret_cast<DWORD_PTR>(&p));
}

MCIERROR command(MCIDEVICEID id, UINT message) {
    MCI_GENERIC_PARMS p{};
    return mciSendCommandA(id, message, 0, reinterpret_cast<DWORD_PTR>(&p));
}

// Waits up to a few seconds for the reported position to become want: the worker updates
// it just after the output took the bytes. Returns the last one seen.
DWORD waitForPosition(MCIDEVICEID id, DWORD want) {
    DWORD seen = 0;
    for (int i = 0; i < 2000; ++i) {
        seen = DWORD(statusOk(id, MCI_STATUS_POSITION));
        if (seen == want) break;
        std::this_thread::sleep_for(2ms);
    }
    return seen;
}

// Frames format positions: absolute frame address = sector + 150.
DWORD frames(uint32_t lsn) {
    return lsn + 150;
}

std::vector<uint8_t> expected(int which, uint32_t first, uint32_t endExclusive) {
    return testdisc::rangeBytes(gImages[which].discPlan, first, endExclusive - 1);
}

uint32_t trackStart(int which, int track) {
    return gImages[which].toc.tracks[size_t(track - 1)].startSector;
}

class Playback : public ::testing::Test {
protected:
    void SetUp() override {
        capture = std::make_shared<CaptureFactory>();
        mciSetAudioOutputForTests(capture);
        mciSetNotifyCallback(recordNotice);
        std::lock_guard lock(gNoticeMutex);
        gNotices.clear();
        gOnNotice = nullptr;
    }
    void TearDown() override {
        capture->setBudget(-1);
        mciSendCommandA(MCI_ALL_DEVICE_ID, MCI_CLOSE, 0, 0);
        {
            std::lock_guard lock(gNoticeMutex);
            gOnNotice = nullptr;
        }
        mciSetAudioOutputForTests(nullptr);
        for (int i = 0; i < kImageCount; ++i) {
            svdrives::DriveModel::instance().drive(gBase + i)->eject(false);
        }
    }
    std::shared_ptr<CaptureFactory> capture;
};

}  // namespace

TEST_F(Playback, FromTrackThreeToTheEndOfTheDisc) {
    const MCIDEVICEID id = openImage(kShort, MCI_OPEN_FOR_PLAYBACK);
    ASSERT_NE(id, 0u);
    ASSERT_EQ(setTimeFormat(id, MCI_FORMAT_TMSF), 0u);
    const DWORD track3 = DWORD(statusOk(id, MCI_STATUS_POSITION, 3));
    EXPECT_EQ(track3, MCI_MAKE_TMSF(3, 0, 0, 0));
    ASSERT_EQ(seekTo(id, track3), 0u);
    EXPECT_EQ(statusOk(id, MCI_STATUS_CURRENT_TRACK), 3u);
    ASSERT_EQ(play(id, MCI_NOTIFY, 0, 0, 0xC0FFEE), 0u);

    const auto notice = waitForNotice();
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->code, UINT(MCI_NOTIFY_SUCCESSFUL));
    EXPECT_EQ(notice->data, DWORD_PTR(0xC0FFEE));
    EXPECT_EQ(notice->device, id);
    EXPECT_NE(notice->thread, std::this_thread::get_id());

    const auto& toc = gImages[kShort].toc;
    ASSERT_EQ(capture->outputCount(), 1u);
    const auto out = capture->output(0);
    EXPECT_TRUE(out.bytes == expected(kShort, trackStart(kShort, 3), toc.leadOut))
        << "got " << out.bytes.size() / kSector << " sectors";
    EXPECT_NE(out.writer, std::this_thread::get_id());
    EXPECT_TRUE(out.stopped);
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_STOP));
    ASSERT_EQ(setTimeFormat(id, MCI_FORMAT_FRAMES), 0u);
    EXPECT_EQ(statusOk(id, MCI_STATUS_POSITION), frames(toc.leadOut));
    EXPECT_EQ(noticeCount(), 1u);
}

TEST_F(Playback, RangesInEachTimeFormat) {
    const MCIDEVICEID id = openImage(kShort);
    const auto& toc = gImages[kShort].toc;
    struct Case {
        DWORD format, from, to;
        uint32_t first, end;
    };
    const uint32_t t2 = trackStart(kShort, 2), t3 = trackStart(kShort, 3);
    const Case cases[] = {
        {MCI_FORMAT_TMSF, MCI_MAKE_TMSF(2, 0, 0, 10), MCI_MAKE_TMSF(3, 0, 0, 0), t2 + 10, t3},
        {MCI_FORMAT_MSF, MCI_MAKE_MSF(0, 2, 0), MCI_MAKE_MSF(0, 2, 30), 0, 30},
        {MCI_FORMAT_FRAMES, frames(t3 - 4), frames(t3 + 6), t3 - 4, t3 + 6},
        // 2040 ms = frame 153 = sector 3; the end rounds to the nearest frame too.
        {MCI_FORMAT_MILLISECONDS, 2040, 2600, 3, 45},
        // Up to the lead-out.
        {MCI_FORMAT_FRAMES, frames(toc.leadOut - 3), frames(toc.leadOut), toc.leadOut - 3,
         toc.leadOut},
    };
    size_t n = 0;
    for (const Case& c : cases) {
        ASSERT_EQ(setTimeFormat(id, c.format), 0u);
        ASSERT_EQ(play(id, MCI_FROM | MCI_TO | MCI_NOTIFY, c.from, c.to, n), 0u);
        const auto notice = waitForNotice(++n);
        ASSERT_TRUE(notice) << "case " << n;
        EXPECT_EQ(notice->code, UINT(MCI_NOTIFY_SUCCESSFUL)) << "case " << n;
        EXPECT_TRUE(capture->output(n - 1).bytes == expected(kShort, c.first, c.end))
            << "case " << n;
    }
}

TEST_F(Playback, WithoutToStopsAtTheEndOfTheLastAudioTrack) {
    // CD-Extra: the session gap and the data track are not played.
    const MCIDEVICEID extra = openImage(kExtra);
    ASSERT_EQ(play(extra, MCI_NOTIFY | MCI_WAIT), 0u);
    ASSERT_EQ(noticeCount(), 1u);  // MCI_WAIT: over when the command returns
    EXPECT_EQ(waitForNotice()->code, UINT(MCI_NOTIFY_SUCCESSFUL));
    EXPECT_TRUE(capture->output(0).bytes == expected(kExtra, 0, 40 + 30));
    // An end given beyond the last audio track is cut to it.
    ASSERT_EQ(setTimeFormat(extra, MCI_FORMAT_FRAMES), 0u);
    ASSERT_EQ(
        play(extra, MCI_FROM | MCI_TO | MCI_WAIT, frames(60), frames(gImages[kExtra].toc.leadOut)),
        0u);
    EXPECT_TRUE(capture->output(1).bytes == expected(kExtra, 60, 70));

    // Mixed mode: playing from the disc's start skips the data track.
    const MCIDEVICEID mixed = openImage(kMixed);
    ASSERT_EQ(play(mixed, MCI_NOTIFY | MCI_WAIT), 0u);
    EXPECT_TRUE(capture->output(2).bytes ==
                expected(kMixed, trackStart(kMixed, 2), gImages[kMixed].toc.leadOut));
}

TEST_F(Playback, DataSectorsInTheRangePlayAsSilence) {
    const MCIDEVICEID id = openImage(kDataBetween);
    ASSERT_EQ(play(id, MCI_WAIT), 0u);
    auto want = expected(kDataBetween, 0, 60);
    std::fill(want.begin() + 20 * kSector, want.begin() + 35 * kSector, 0);
    EXPECT_TRUE(capture->output(0).bytes == want);
}

TEST_F(Playback, StopEndsDeliveryAndPlayResumesThere) {
    const MCIDEVICEID id = openImage(kShort);
    ASSERT_EQ(setTimeFormat(id, MCI_FORMAT_FRAMES), 0u);
    const uint32_t start = trackStart(kShort, 2);
    capture->setBudget(20 * kSector);
    ASSERT_EQ(play(id, MCI_FROM | MCI_NOTIFY, frames(start), 0, 7), 0u);
    ASSERT_TRUE(capture->waitForBytes(0, 20 * kSector, 5s));
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_PLAY));
    EXPECT_EQ(waitForPosition(id, frames(start + 20)), frames(start + 20));
    EXPECT_EQ(statusOk(id, MCI_STATUS_CURRENT_TRACK), 2u);
    EXPECT_EQ(noticeCount(), 0u);

    ASSERT_EQ(command(id, MCI_STOP), 0u);
    // The worker is gone once MCI_STOP returns, its notice sent.
    ASSERT_EQ(noticeCount(), 1u);
    EXPECT_EQ(waitForNotice()->code, UINT(MCI_NOTIFY_ABORTED));
    EXPECT_EQ(waitForNotice()->data, DWORD_PTR(7));
    capture->setBudget(-1);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(capture->output(0).bytes.size(), 20 * kSector);
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_STOP));
    EXPECT_EQ(statusOk(id, MCI_STATUS_POSITION), frames(start + 20));

    const uint32_t end = trackStart(kShort, 3);
    ASSERT_EQ(play(id, MCI_TO | MCI_NOTIFY, 0, frames(end)), 0u);
    ASSERT_TRUE(waitForNotice(2));
    EXPECT_TRUE(capture->output(1).bytes == expected(kShort, start + 20, end));
}

TEST_F(Playback, PauseReportsPausedAndPlayResumes) {
    const MCIDEVICEID id = openImage(kShort);
    ASSERT_EQ(setTimeFormat(id, MCI_FORMAT_FRAMES), 0u);
    EXPECT_EQ(command(id, MCI_PAUSE), 0u);  // nothing playing: nothing to pause
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_STOP));
    capture->setBudget(5 * kSector);
    ASSERT_EQ(play(id, MCI_NOTIFY), 0u);
    ASSERT_TRUE(capture->waitForBytes(0, 5 * kSector, 5s));
    ASSERT_EQ(waitForPosition(id, frames(5)), frames(5));
    ASSERT_EQ(command(id, MCI_PAUSE), 0u);
    EXPECT_EQ(waitForNotice()->code, UINT(MCI_NOTIFY_ABORTED));
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_PAUSE));
    EXPECT_EQ(statusOk(id, MCI_STATUS_POSITION), frames(5));
    capture->setBudget(-1);
    ASSERT_EQ(play(id, MCI_TO | MCI_WAIT, 0, frames(30)), 0u);
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_STOP));
    EXPECT_TRUE(capture->output(1).bytes == expected(kShort, 5, 30));
}

TEST_F(Playback, PlayingAgainSupersedes) {
    const MCIDEVICEID id = openImage(kShort);
    ASSERT_EQ(setTimeFormat(id, MCI_FORMAT_TMSF), 0u);
    capture->setBudget(3 * kSector);
    ASSERT_EQ(play(id, MCI_FROM | MCI_NOTIFY, MCI_MAKE_TMSF(1, 0, 0, 0), 0, 1), 0u);
    ASSERT_TRUE(capture->waitForBytes(0, 3 * kSector, 5s));
    ASSERT_EQ(play(id, MCI_FROM | MCI_TO | MCI_NOTIFY, MCI_MAKE_TMSF(4, 0, 0, 0),
                   MCI_MAKE_TMSF(4, 0, 0, 20), 2),
              0u);
    // The first playback has ended, and said so, before the second one started.
    ASSERT_EQ(noticeCount(), 1u);
    EXPECT_EQ(waitForNotice(1)->code, UINT(MCI_NOTIFY_SUPERSEDED));
    EXPECT_EQ(waitForNotice(1)->data, DWORD_PTR(1));
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_PLAY));
    capture->setBudget(-1);
    const auto second = waitForNotice(2);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->code, UINT(MCI_NOTIFY_SUCCESSFUL));
    EXPECT_EQ(second->data, DWORD_PTR(2));
    EXPECT_TRUE(capture->output(0).bytes == expected(kShort, 0, 3));
    const uint32_t t4 = trackStart(kShort, 4);
    EXPECT_TRUE(capture->output(1).bytes == expected(kShort, t4, t4 + 20));
    EXPECT_EQ(noticeCount(), 2u);
}

TEST_F(Playback, CloseWhilePlaying) {
    const MCIDEVICEID a = openImage(kShort), b = openImage(kExtra), c = openImage(kShort);
    capture->setBudget(0);
    ASSERT_EQ(play(a, MCI_NOTIFY, 0, 0, 'a'), 0u);
    ASSERT_EQ(play(b, MCI_NOTIFY, 0, 0, 'b'), 0u);
    ASSERT_EQ(play(c, 0), 0u);  // no MCI_NOTIFY: ends without a word
    EXPECT_EQ(statusOk(a, MCI_STATUS_MODE), DWORD(MCI_MODE_PLAY));
    ASSERT_EQ(mciSendCommandA(a, MCI_CLOSE, 0, 0), 0u);
    ASSERT_EQ(noticeCount(), 1u);
    EXPECT_EQ(waitForNotice(1)->code, UINT(MCI_NOTIFY_ABORTED));
    EXPECT_EQ(waitForNotice(1)->device, a);
    EXPECT_EQ(statusOk(b, MCI_STATUS_MODE), DWORD(MCI_MODE_PLAY));
    ASSERT_EQ(mciSendCommandA(MCI_ALL_DEVICE_ID, MCI_CLOSE, 0, 0), 0u);
    ASSERT_EQ(noticeCount(), 2u);
    EXPECT_EQ(waitForNotice(2)->data, DWORD_PTR('b'));
    EXPECT_EQ(waitForNotice(2)->code, UINT(MCI_NOTIFY_ABORTED));
    MCI_STATUS_PARMS p{};
    p.dwItem = MCI_STATUS_MODE;
    EXPECT_EQ(mciSendCommandA(b, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&p)),
              MCIERR_INVALID_DEVICE_ID);
    for (size_t i = 0; i < capture->outputCount(); ++i) EXPECT_TRUE(capture->output(i).stopped);
}

TEST_F(Playback, TheNotificationMayCallBackIntoMci) {
    // On the first track's end the callback plays the second; on the second's it closes
    // the device - both from the playback's own worker.
    const MCIDEVICEID id = openImage(kShort);
    ASSERT_EQ(setTimeFormat(id, MCI_FORMAT_TMSF), 0u);
    {
        std::lock_guard lock(gNoticeMutex);
        gOnNotice = [](const Notice& n) {
            if (n.data == 1) {
                play(n.device, MCI_FROM | MCI_TO | MCI_NOTIFY, MCI_MAKE_TMSF(2, 0, 0, 0),
                     MCI_MAKE_TMSF(3, 0, 0, 0), 2);
            } else if (n.data == 2) {
                mciSendCommandA(n.device, MCI_CLOSE, 0, 0);
            }
        };
    }
    ASSERT_EQ(play(id, MCI_TO | MCI_NOTIFY, 0, MCI_MAKE_TMSF(2, 0, 0, 0), 1), 0u);
    ASSERT_TRUE(waitForNotice(2));
    EXPECT_EQ(waitForNotice(1)->code, UINT(MCI_NOTIFY_SUCCESSFUL));
    EXPECT_EQ(waitForNotice(2)->code, UINT(MCI_NOTIFY_SUCCESSFUL));
    const uint32_t t2 = trackStart(kShort, 2), t3 = trackStart(kShort, 3);
    EXPECT_TRUE(capture->output(0).bytes == expected(kShort, 0, t2));
    EXPECT_TRUE(capture->output(1).bytes == expected(kShort, t2, t3));
    // The close from inside the callback took effect.
    for (int i = 0; i < 500 && mciSendCommandA(id, MCI_STATUS, 0, 0) != MCIERR_INVALID_DEVICE_ID;
         ++i) {
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_EQ(mciSendCommandA(id, MCI_STATUS, 0, 0), MCIERR_INVALID_DEVICE_ID);
}

TEST_F(Playback, TrayOpenedElsewhereEndsPlaybackWithFailure) {
    auto* drive = svdrives::DriveModel::instance().drive(gBase + kShort);
    const MCIDEVICEID id = openImage(kShort);
    capture->setBudget(4 * kSector);
    ASSERT_EQ(play(id, MCI_NOTIFY, 0, 0, 9), 0u);
    ASSERT_TRUE(capture->waitForBytes(0, 4 * kSector, 5s));
    // The worker waits for room in the output; the tray must still end it at once.
    drive->eject(true);
    const auto notice = waitForNotice();
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->code, UINT(MCI_NOTIFY_FAILURE));
    EXPECT_EQ(notice->data, DWORD_PTR(9));
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_OPEN));
    EXPECT_EQ(play(id, 0), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(command(id, MCI_STOP), 0u);
    drive->eject(false);
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_STOP));
    EXPECT_EQ(capture->output(0).bytes.size(), 4 * kSector);
    EXPECT_EQ(noticeCount(), 1u);
}

TEST_F(Playback, DoorOpenedThroughTheDeviceAbortsIt) {
    const MCIDEVICEID id = openImage(kShort);
    capture->setBudget(0);
    ASSERT_EQ(play(id, MCI_NOTIFY), 0u);
    MCI_SET_PARMS p{};
    ASSERT_EQ(mciSendCommandA(id, MCI_SET, MCI_SET_DOOR_OPEN, reinterpret_cast<DWORD_PTR>(&p)), 0u);
    ASSERT_EQ(noticeCount(), 1u);
    EXPECT_EQ(waitForNotice()->code, UINT(MCI_NOTIFY_ABORTED));
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_OPEN));
}

TEST_F(Playback, OutputFailures) {
    const MCIDEVICEID id = openImage(kShort);
    capture->startFails = true;
    ASSERT_EQ(play(id, MCI_NOTIFY), 0u);
    auto notice = waitForNotice(1);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->code, UINT(MCI_NOTIFY_FAILURE));
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_STOP));
    EXPECT_TRUE(capture->output(0).bytes.empty());

    capture->startFails = false;
    capture->failAfterBytes = 30 * kSector;
    ASSERT_EQ(play(id, MCI_FROM | MCI_NOTIFY, MCI_MAKE_MSF(0, 2, 0)), 0u);
    notice = waitForNotice(2);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->code, UINT(MCI_NOTIFY_FAILURE));
    EXPECT_LT(capture->output(1).bytes.size(), 30 * kSector);
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_STOP));
}

TEST_F(Playback, NoSoundOutputDevice) {
    capture->hasDevice = false;
    MCIERROR err = 0;
    EXPECT_EQ(openImage(kShort, MCI_OPEN_FOR_PLAYBACK, &err), 0u);
    EXPECT_EQ(err, MCIERR_WAVE_OUTPUTSUNSUITABLE);
    MCI_OPEN_PARMSA byName{};
    byName.lpstrDeviceType = "cdaudio";
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_FOR_PLAYBACK,
                              reinterpret_cast<DWORD_PTR>(&byName)),
              MCIERR_WAVE_OUTPUTSUNSUITABLE);
    char text[256] = {};
    EXPECT_EQ(mciGetErrorStringA(MCIERR_WAVE_OUTPUTSUNSUITABLE, text, sizeof text), 1);
    EXPECT_NE(std::string(text).find("sound output"), std::string::npos) << text;

    // Tables of contents need no sound: such a device opens and answers, but cannot play.
    const MCIDEVICEID id = openImage(kShort, 0, &err);
    ASSERT_NE(id, 0u) << err;
    EXPECT_EQ(statusOk(id, MCI_STATUS_NUMBER_OF_TRACKS), 4u);
    EXPECT_EQ(play(id, MCI_NOTIFY), MCIERR_WAVE_OUTPUTSUNSUITABLE);
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_STOP));
    EXPECT_EQ(capture->outputCount(), 0u);
    EXPECT_EQ(noticeCount(), 0u);

    capture->hasDevice = true;
    ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_FOR_PLAYBACK,
                              reinterpret_cast<DWORD_PTR>(&byName)),
              0u);
    EXPECT_NE(byName.wDeviceID, 0u);
}

TEST_F(Playback, OpenByTypeAloneTakesTheFirstDrive) {
    MCI_OPEN_PARMSA byId{};
    byId.lpstrDeviceType = reinterpret_cast<const char*>(uintptr_t(MCI_DEVTYPE_CD_AUDIO));
    ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_FOR_PLAYBACK,
                              reinterpret_cast<DWORD_PTR>(&byId)),
              0u);
    MCI_OPEN_PARMSA byName{};
    byName.lpstrDeviceType = "cdaudio";
    ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE, reinterpret_cast<DWORD_PTR>(&byName)),
              0u);
    if (gBase > 0) GTEST_SKIP() << "drive 0 is a real drive here";
    for (MCIDEVICEID id : {byId.wDeviceID, byName.wDeviceID}) {
        ASSERT_EQ(play(id, MCI_WAIT | MCI_TO, 0, MCI_MAKE_MSF(0, 2, 10)), 0u);
    }
    EXPECT_TRUE(capture->output(0).bytes == expected(kShort, 0, 10));
    EXPECT_TRUE(capture->output(1).bytes == expected(kShort, 0, 10));
}

TEST_F(Playback, SeekTargets) {
    const MCIDEVICEID id = openImage(kExtra);
    ASSERT_EQ(setTimeFormat(id, MCI_FORMAT_FRAMES), 0u);
    const auto& toc = gImages[kExtra].toc;
    MCI_SEEK_PARMS p{};
    auto seek = [&](DWORD_PTR flags) {
        return mciSendCommandA(id, MCI_SEEK, flags, reinterpret_cast<DWORD_PTR>(&p));
    };
    ASSERT_EQ(seek(MCI_SEEK_TO_END), 0u);
    EXPECT_EQ(statusOk(id, MCI_STATUS_POSITION), frames(70));  // before the session gap
    ASSERT_EQ(seek(MCI_SEEK_TO_START), 0u);
    EXPECT_EQ(statusOk(id, MCI_STATUS_POSITION), frames(0));
    p.dwTo = frames(toc.leadOut);
    EXPECT_EQ(seek(MCI_TO), 0u);
    p.dwTo = frames(toc.leadOut + 1);
    EXPECT_EQ(seek(MCI_TO), MCIERR_OUTOFRANGE);
    p.dwTo = 10;  // before MSF 00:02:00
    EXPECT_EQ(seek(MCI_TO), MCIERR_OUTOFRANGE);
    EXPECT_EQ(seek(0), MCIERR_MISSING_PARAMETER);
    EXPECT_EQ(seek(MCI_TO | MCI_SEEK_TO_END), MCIERR_FLAGS_NOT_COMPATIBLE);
    EXPECT_EQ(seek(MCI_SEEK_TO_START | MCI_SEEK_TO_END), MCIERR_FLAGS_NOT_COMPATIBLE);
    EXPECT_EQ(mciSendCommandA(id, MCI_SEEK, MCI_TO, 0), MCIERR_NULL_PARAMETER_BLOCK);

    // Seeking while playing aborts the playback; the seek's target is the new position.
    ASSERT_EQ(seek(MCI_SEEK_TO_START), 0u);
    capture->setBudget(0);
    ASSERT_EQ(play(id, MCI_NOTIFY), 0u);
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_PLAY));
    p.dwTo = frames(33);
    ASSERT_EQ(seek(MCI_TO), 0u);
    ASSERT_EQ(noticeCount(), 1u);
    EXPECT_EQ(waitForNotice()->code, UINT(MCI_NOTIFY_ABORTED));
    EXPECT_EQ(statusOk(id, MCI_STATUS_MODE), DWORD(MCI_MODE_STOP));
    EXPECT_EQ(statusOk(id, MCI_STATUS_POSITION), frames(33));

    // From the end there is nothing left to play: it ends at once, successfully.
    capture->setBudget(-1);
    ASSERT_EQ(seek(MCI_SEEK_TO_END), 0u);
    ASSERT_EQ(play(id, MCI_NOTIFY), 0u);
    ASSERT_TRUE(waitForNotice(2));
    EXPECT_EQ(waitForNotice(2)->code, UINT(MCI_NOTIFY_SUCCESSFUL));
}

TEST_F(Playback, PlayRefusals) {
    const MCIDEVICEID id = openImage(kShort);
    ASSERT_EQ(setTimeFormat(id, MCI_FORMAT_FRAMES), 0u);
    EXPECT_EQ(play(id, MCI_FROM | MCI_TO, frames(40), frames(30)), MCIERR_OUTOFRANGE);
    EXPECT_EQ(play(id, MCI_FROM, frames(gImages[kShort].toc.leadOut + 1)), MCIERR_OUTOFRANGE);
    EXPECT_EQ(mciSendCommandA(id, MCI_PLAY, MCI_FROM, 0), MCIERR_NULL_PARAMETER_BLOCK);
    const MCIDEVICEID data = openImage(kDataOnly);
    EXPECT_EQ(play(data, MCI_NOTIFY), MCIERR_NONAPPLICABLE_FUNCTION);
    auto* drive = svdrives::DriveModel::instance().drive(gBase + kShort);
    drive->eject(true);
    EXPECT_EQ(play(id, MCI_NOTIFY), MCIERR_DEVICE_NOT_READY);
    drive->eject(false);
    EXPECT_EQ(capture->outputCount(), 0u);
    EXPECT_EQ(noticeCount(), 0u);
    // A play without a parameter block is fine when it needs none.
    EXPECT_EQ(mciSendCommandA(id, MCI_PLAY, MCI_WAIT, 0), 0u);
    EXPECT_EQ(capture->output(0).bytes.size(), gImages[kShort].toc.leadOut * kSector);
}

TEST_F(Playback, NoticesAreSentOnlyWhenAsked) {
    mciSetNotifyCallback(nullptr);
    const MCIDEVICEID id = openImage(kShort);
    ASSERT_EQ(play(id, MCI_NOTIFY | MCI_WAIT | MCI_TO, 0, MCI_MAKE_MSF(0, 2, 5)), 0u);
    mciSetNotifyCallback(recordNotice);
    ASSERT_EQ(play(id, MCI_WAIT | MCI_FROM | MCI_TO, MCI_MAKE_MSF(0, 2, 0), MCI_MAKE_MSF(0, 2, 5)),
              0u);
    EXPECT_EQ(noticeCount(), 0u);
    EXPECT_EQ(capture->outputCount(), 2u);
}

// The Qt Multimedia output as it is, on a machine without any sound output device: the
// program's player cannot open, and a device for the table of contents cannot play.
TEST(PlaybackThroughQt, WithoutAnOutputDeviceNothingPlays) {
    mciSetAudioOutputForTests(nullptr);
    if (!QMediaDevices::defaultAudioOutput().isNull()) {
        GTEST_SKIP() << "this machine has a sound output device";
    }
    MCIERROR err = 0;
    EXPECT_EQ(openImage(kShort, MCI_OPEN_FOR_PLAYBACK, &err), 0u);
    EXPECT_EQ(err, MCIERR_WAVE_OUTPUTSUNSUITABLE);
    const MCIDEVICEID id = openImage(kShort);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(play(id, MCI_NOTIFY), MCIERR_WAVE_OUTPUTSUNSUITABLE);
    EXPECT_EQ(mciSendCommandA(id, MCI_CLOSE, 0, 0), 0u);
}
