// The faults CDRIP3_FAULTS injects, seen through the C ABI as a program sees them: on image
// drives (exact reads) and on the libcdio-paranoia backend, where paranoia itself has to
// cope with them. What matters each time: the rip ends, in bounded time, every delivered
// byte is either the disc's or in a chunk answered CDRIP3_JITTER_ERROR, and the drive is
// usable again afterwards.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <set>
#include <thread>

#include "cdrip3_fixture.h"

namespace {

using cdrip3test::Cdrip3Test;
using Clock = std::chrono::steady_clock;

struct Chunk {
    uint32_t first = 0;  // first sector delivered
    int32_t sectors = 0;
    int32_t rc = 0;
    long milliseconds = 0;
};

struct FaultyRip {
    std::vector<uint8_t> bytes;
    std::vector<Chunk> chunks;  // every call that delivered
    int32_t endCode = -1;       // the first result without bytes
    long endMilliseconds = 0;   // how long that call took
    long totalMilliseconds = 0;
};

// Rips [first, last] to the first result that delivers nothing, timing every call.
FaultyRip ripWithFaults(int32_t first, int32_t last) {
    FaultyRip r;
    int32_t size = 0;
    if (CR_OpenRipper(&size, first, last) != CDRIP3_OK) {
        ADD_FAILURE() << "CR_OpenRipper(" << first << ", " << last << ") failed";
        return r;
    }
    std::vector<uint8_t> buf(size_t(size), 0xEE);
    uint32_t next = uint32_t(first);
    const auto start = Clock::now();
    for (int guard = 0; guard < 100000; ++guard) {
        int32_t bytes = -1;
        const auto t0 = Clock::now();
        const int32_t rc = CR_RipChunk(buf.data(), &bytes, nullptr);
        const long ms =
            long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
        if ((rc != CDRIP3_OK && rc != CDRIP3_JITTER_ERROR) || bytes <= 0) {
            r.endCode = rc;
            r.endMilliseconds = ms;
            EXPECT_EQ(bytes, 0) << "a failing call delivered bytes";
            break;
        }
        EXPECT_EQ(bytes % testdisc::kSectorBytes, 0);
        const int32_t sectors = bytes / testdisc::kSectorBytes;
        r.chunks.push_back({next, sectors, rc, ms});
        next += uint32_t(sectors);
        r.bytes.insert(r.bytes.end(), buf.begin(), buf.begin() + bytes);
    }
    r.totalMilliseconds =
        long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    return r;
}

// The sectors (absolute) whose delivered bytes are not the disc's.
std::set<uint32_t> damagedSectors(const FaultyRip& r, const testdisc::DiscPlan& discPlan,
                                  uint32_t first) {
    std::set<uint32_t> out;
    const size_t n = r.bytes.size() / testdisc::kSectorBytes;
    if (n == 0) return out;
    const auto want = testdisc::rangeBytes(discPlan, first, first + uint32_t(n) - 1);
    for (size_t i = 0; i < n; ++i) {
        if (memcmp(r.bytes.data() + i * testdisc::kSectorBytes,
                   want.data() + i * testdisc::kSectorBytes, testdisc::kSectorBytes) != 0)
            out.insert(first + uint32_t(i));
    }
    return out;
}

// Every damaged sector lies in a chunk answered CDRIP3_JITTER_ERROR: nothing damaged passes
// as exact.
void expectDamageReported(const FaultyRip& r, const std::set<uint32_t>& damaged) {
    for (uint32_t s : damaged) {
        bool reported = false;
        for (const Chunk& c : r.chunks) {
            if (s >= c.first && s < c.first + uint32_t(c.sectors))
                reported = c.rc == CDRIP3_JITTER_ERROR;
        }
        EXPECT_TRUE(reported) << "sector " << s << " is damaged in a chunk answered CDRIP3_OK";
    }
}

std::vector<std::pair<int32_t, int32_t>> g_notices;
void recordNotice(int32_t drive, int32_t arrived, void*) {
    g_notices.emplace_back(drive, arrived);
}

class Faults : public Cdrip3Test {
protected:
    void SetUp() override {
        Cdrip3Test::SetUp();
        unsetenv("CDRIP3_FAULTS");
        g_notices.clear();
    }
    void TearDown() override {
        unsetenv("CDRIP3_FAULTS");
        Cdrip3Test::TearDown();
    }
    // Starts the library over one drive holding the disc, without reading it yet.
    void insertDisc(const testdisc::DiscPlan& discPlan, bool paranoiaBackend) {
        plan_ = discPlan;
        const std::string cue = home_.file("discs/faulty.cue");
        expected_ = testdisc::writeImage(plan_, cue);
        if (paranoiaBackend)
            useDrives({}, {cue});
        else
            useDrives({cue});
    }
    void useDisc(const testdisc::DiscPlan& discPlan, bool paranoiaBackend) {
        insertDisc(discPlan, paranoiaBackend);
        ASSERT_EQ(CR_ReadToc(), CDRIP3_OK);
    }
    static void faults(const char* plan) { setenv("CDRIP3_FAULTS", plan, 1); }
    static void setParam(int offset, int32_t value) {
        CR_DRIVEPARAMS p;
        ASSERT_EQ(CR_GetCDROMParameters(&p), CDRIP3_OK);
        memcpy(p.bytes + offset, &value, 4);
        ASSERT_EQ(CR_SetCDROMParameters(&p), CDRIP3_OK);
    }
    uint32_t lastSector() const { return expected_.leadOut - 1; }

    testdisc::DiscPlan plan_;
    testdisc::ExpectedDisc expected_;
};

// ---------------------------------------------------------------------------------------
// Image drives: exact reads, so each fault shows exactly where it was put.

TEST_F(Faults, ImageUnreadableSectorsEndTheRipAfterEverythingBeforeThem) {
    useDisc(testdisc::audioDisc({400, 300}), false);
    faults("unreadable=300-305");
    const FaultyRip r = ripWithFaults(0, 399);
    EXPECT_EQ(r.endCode, CDRIP3_ERROR);
    // 26 sectors a chunk: the one reaching 300 stops short of it.
    ASSERT_FALSE(r.chunks.empty());
    EXPECT_EQ(r.chunks.back().first + uint32_t(r.chunks.back().sectors), 300u);
    EXPECT_EQ(r.bytes, testdisc::rangeBytes(plan_, 0, 299));
    for (const Chunk& c : r.chunks) EXPECT_EQ(c.rc, CDRIP3_OK);
    // A retry meets the same sector again.
    std::vector<uint8_t> buf(26 * 2352);
    int32_t bytes = -1;
    EXPECT_EQ(CR_RipChunk(buf.data(), &bytes, nullptr), CDRIP3_ERROR);
    EXPECT_EQ(bytes, 0);
    EXPECT_EQ(CR_CloseRipper(), CDRIP3_OK);

    // Ranges clear of them rip in full, and so does everything once the plan is gone.
    EXPECT_EQ(ripWithFaults(306, 699).endCode, CDRIP3_RIPPING_DONE);
    CR_CloseRipper();
    unsetenv("CDRIP3_FAULTS");
    const FaultyRip clean = ripWithFaults(0, 699);
    EXPECT_EQ(clean.endCode, CDRIP3_RIPPING_DONE);
    EXPECT_EQ(clean.bytes, testdisc::rangeBytes(plan_, 0, 699));
}

TEST_F(Faults, ImageJitterMarksOnlyTheChunksHoldingItsSectorsAndKeepsTheAudio) {
    useDisc(testdisc::audioDisc({400}), false);
    faults("jitter=100, 260");  // chunks 78..103 and 260..285
    const FaultyRip r = ripWithFaults(0, 399);
    EXPECT_EQ(r.endCode, CDRIP3_RIPPING_DONE);
    EXPECT_EQ(r.bytes, testdisc::rangeBytes(plan_, 0, 399));
    std::vector<uint32_t> jittered;
    for (const Chunk& c : r.chunks)
        if (c.rc == CDRIP3_JITTER_ERROR) jittered.push_back(c.first);
    EXPECT_EQ(jittered, (std::vector<uint32_t>{78, 260}));
    EXPECT_EQ(CR_GetPercentCompleted(), 100);
}

TEST_F(Faults, FlakySectorsDifferEverySecondRipUnnoticedAndTheCountOutlivesInit) {
    for (const bool paranoiaBackend : {false, true}) {
        SCOPED_TRACE(paranoiaBackend ? "libcdio, plain reads" : "image");
        useDisc(testdisc::audioDisc({400}), paranoiaBackend);
        // Plain reads: paranoia's own re-reads would count as deliveries too.
        if (paranoiaBackend) setParam(CR_OFS_RIP_MODE, 0);
        faults("flaky=100,250");
        for (int rip = 1; rip <= 4; ++rip) {
            SCOPED_TRACE(rip);
            // Neither a new CR_Init nor another plan naming them starts the count again.
            if (rip == 3) {
                ASSERT_EQ(CR_Init(cdrip3test::kSettingsName), 0);
                ASSERT_EQ(CR_ReadToc(), CDRIP3_OK);
                if (paranoiaBackend) setParam(CR_OFS_RIP_MODE, 0);
                faults("flaky=250,100;jitter=390");
            }
            const FaultyRip r = ripWithFaults(0, 399);
            EXPECT_EQ(r.endCode, CDRIP3_RIPPING_DONE);
            for (const Chunk& c : r.chunks) {
                if (c.first + uint32_t(c.sectors) <= 390) {
                    EXPECT_EQ(c.rc, CDRIP3_OK) << c.first;
                }
            }
            const std::set<uint32_t> altered =
                rip % 2 == 0 ? std::set<uint32_t>{100, 250} : std::set<uint32_t>{};
            EXPECT_EQ(damagedSectors(r, plan_, 0), altered);
            if (rip % 2 == 0) {
                // The first 16 bytes inverted, the rest as on the disc.
                const auto want = testdisc::rangeBytes(plan_, 100, 100);
                const uint8_t* got = r.bytes.data() + 100 * testdisc::kSectorBytes;
                for (size_t i = 0; i < want.size(); ++i)
                    ASSERT_EQ(got[i], i < 16 ? uint8_t(~want[i]) : want[i]) << i;
            }
            ASSERT_EQ(CR_CloseRipper(), CDRIP3_OK);
        }
    }
}

TEST_F(Faults, ImageStallBlocksForItsTimeThenFailsAndStaysFailed) {
    useDisc(testdisc::audioDisc({400}), false);
    faults("stall=200:300");
    const FaultyRip r = ripWithFaults(0, 399);
    EXPECT_EQ(r.endCode, CDRIP3_ERROR);
    EXPECT_GE(r.endMilliseconds, 290);
    EXPECT_LT(r.endMilliseconds, 5000);
    EXPECT_EQ(r.bytes, testdisc::rangeBytes(plan_, 0, 199));
    for (const Chunk& c : r.chunks) EXPECT_LT(c.milliseconds, 250);
    // The drive does not come back for this ripper, and asking again costs nothing.
    std::vector<uint8_t> buf(26 * 2352);
    int32_t bytes = -1;
    const auto t0 = Clock::now();
    EXPECT_EQ(CR_RipChunk(buf.data(), &bytes, nullptr), CDRIP3_ERROR);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(250));
    EXPECT_EQ(CR_CloseRipper(), CDRIP3_OK);
    unsetenv("CDRIP3_FAULTS");
    EXPECT_EQ(ripWithFaults(0, 399).endCode, CDRIP3_RIPPING_DONE);
}

TEST_F(Faults, ImageRemovalOpensTheTrayAtTheSectorAndClosingItRestoresTheDisc) {
    useDisc(testdisc::audioDisc({400, 300}), false);
    CR_SetMediaNotify(recordNotice, nullptr);
    faults("remove=150");
    const FaultyRip r = ripWithFaults(0, 399);
    EXPECT_EQ(r.endCode, CDRIP3_NOT_READY);
    EXPECT_EQ(r.bytes, testdisc::rangeBytes(plan_, 0, 149));
    EXPECT_EQ(g_notices, (std::vector<std::pair<int32_t, int32_t>>{{0, 0}}));
    EXPECT_EQ(CR_IsUnitReady(), 0);
    EXPECT_EQ(CR_ReadToc(), CDRIP3_ERROR);
    EXPECT_EQ(CR_CloseRipper(), CDRIP3_OK);
    int32_t size = 0;
    EXPECT_EQ(CR_OpenRipper(&size, 0, 10), CDRIP3_NOT_READY);

    CR_EjectCD(0);
    EXPECT_EQ(g_notices.back(), (std::pair<int32_t, int32_t>{0, 1}));
    EXPECT_EQ(CR_IsUnitReady(), 1);
    ASSERT_EQ(CR_ReadToc(), CDRIP3_OK);
    EXPECT_EQ(CR_GetNumTocEntries(), 2);
    // The plan still holds for a range that reaches the sector; one that does not is clean.
    const FaultyRip second = ripWithFaults(400, 699);
    EXPECT_EQ(second.endCode, CDRIP3_RIPPING_DONE);
    EXPECT_EQ(second.bytes, testdisc::rangeBytes(plan_, 400, 699));
}

// Not an injected fault but the image's own: its file shrinks after the disc was read.
TEST_F(Faults, ImageFileCutShortDeliversEverySectorItStillHolds) {
    useDisc(testdisc::audioDisc({400}), false);
    const std::string bin = home_.file("discs/faulty.bin");
    ASSERT_EQ(truncate(bin.c_str(), 100 * 2352 + 1000), 0);
    const FaultyRip r = ripWithFaults(0, 399);
    EXPECT_EQ(r.endCode, CDRIP3_ERROR);
    EXPECT_EQ(r.bytes, testdisc::rangeBytes(plan_, 0, 99));
}

// A drive held to a rate: no sooner than the rate allows, and every byte as without it.
TEST_F(Faults, SlowDrivesDeliverNoFasterThanTheirRate) {
    for (const bool paranoia : {false, true}) {
        SCOPED_TRACE(paranoia ? "paranoia backend" : "image drive");
        useDisc(testdisc::audioDisc({300, 100}), paranoia);
        faults("slow=1500");
        const auto t0 = Clock::now();
        const FaultyRip r = ripWithFaults(0, 299);
        EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(200));
        EXPECT_EQ(r.endCode, CDRIP3_RIPPING_DONE);
        EXPECT_EQ(r.bytes, testdisc::rangeBytes(plan_, 0, 299));
        CR_CloseRipper();
        unsetenv("CDRIP3_FAULTS");
    }
}

// A cancel set from another thread while a chunk is being read: the read lets go after the
// sector in hand, with exact audio, rather than when the slow chunk or the stall is over.
TEST_F(Faults, AnAbortFromAnotherThreadLetsGoOfASlowOrStalledDrive) {
    for (const bool paranoia : {false, true}) {
        // At 40 sectors a second a 26-sector chunk takes 650 ms; the stall 5 s.
        for (const char* plan : {"slow=40", "stall=0:5000"}) {
            SCOPED_TRACE(std::string(paranoia ? "paranoia backend, " : "image drive, ") + plan);
            useDisc(testdisc::audioDisc({300}), paranoia);
            faults(plan);
            int32_t size = 0;
            ASSERT_EQ(CR_OpenRipper(&size, 0, 299), CDRIP3_OK);
            std::vector<uint8_t> buf(static_cast<size_t>(size));
            int32_t abortFlag = 0;
            int32_t bytes = -1;
            std::thread canceller([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(60));
                std::atomic_ref<int32_t>(abortFlag).store(1);
            });
            const auto t0 = Clock::now();
            const int32_t rc = CR_RipChunk(buf.data(), &bytes, &abortFlag);
            const auto took = Clock::now() - t0;
            canceller.join();
            EXPECT_LT(took, std::chrono::milliseconds(400));
            EXPECT_TRUE(rc == CDRIP3_OK || rc == CDRIP3_RIPPING_DONE) << rc;
            ASSERT_GE(bytes, 0);
            EXPECT_LT(bytes, size);
            EXPECT_EQ(bytes % 2352, 0);
            if (bytes > 0) {
                buf.resize(size_t(bytes));
                EXPECT_EQ(buf, testdisc::rangeBytes(plan_, 0, uint32_t(bytes / 2352) - 1));
            }
            EXPECT_EQ(CR_RipChunk(buf.data(), &bytes, &abortFlag), CDRIP3_RIPPING_DONE);
            EXPECT_EQ(CR_CloseRipper(), CDRIP3_OK);
            unsetenv("CDRIP3_FAULTS");
        }
    }
}

// A window asks the library about its drive while a rip reads on its own thread: a slow
// chunk must not keep it waiting, and closing the ripper meanwhile is safe.
TEST_F(Faults, OtherCallsAnswerWhileASlowChunkIsRead) {
    useDisc(testdisc::audioDisc({300}), false);
    faults("slow=40");
    int32_t size = 0;
    ASSERT_EQ(CR_OpenRipper(&size, 0, 299), CDRIP3_OK);
    std::vector<uint8_t> buf(static_cast<size_t>(size));
    int32_t bytes = -1;
    int32_t rc = -1;
    std::thread rip([&] { rc = CR_RipChunk(buf.data(), &bytes, nullptr); });
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const auto t0 = Clock::now();
    EXPECT_TRUE(CR_IsUnitReady());
    EXPECT_EQ(CR_GetNumTocEntries(), 1);
    EXPECT_EQ(CR_GetPercentCompleted(), 0);
    EXPECT_EQ(CR_CloseRipper(), CDRIP3_OK);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(300));
    rip.join();
    // The chunk begun before the close is whole and exact.
    EXPECT_EQ(rc, CDRIP3_OK);
    EXPECT_EQ(bytes, size);
    EXPECT_EQ(buf, testdisc::rangeBytes(plan_, 0, uint32_t(size / 2352) - 1));
    EXPECT_EQ(CR_RipChunk(buf.data(), &bytes, nullptr), CDRIP3_NO_RIPPER);
}

TEST_F(Faults, ThePlanIsTakenWhenTheRipperOpens) {
    useDisc(testdisc::audioDisc({200}), false);
    int32_t size = 0;
    ASSERT_EQ(CR_OpenRipper(&size, 0, 199), CDRIP3_OK);
    faults("unreadable=0-199");  // too late for the open ripper
    std::vector<uint8_t> buf(static_cast<size_t>(size));
    int32_t bytes = 0;
    EXPECT_EQ(CR_RipChunk(buf.data(), &bytes, nullptr), CDRIP3_OK);
    EXPECT_EQ(CR_CloseRipper(), CDRIP3_OK);
    ASSERT_EQ(CR_OpenRipper(&size, 0, 199), CDRIP3_OK);
    EXPECT_EQ(CR_RipChunk(buf.data(), &bytes, nullptr), CDRIP3_ERROR);
    EXPECT_EQ(CR_CloseRipper(), CDRIP3_OK);
    // A plan with nothing valid in it is no plan.
    faults("unreadable=ten;jitter=;stall=5:99999999;;");
    ASSERT_EQ(CR_OpenRipper(&size, 0, 199), CDRIP3_OK);
    EXPECT_EQ(CR_RipChunk(buf.data(), &bytes, nullptr), CDRIP3_OK);
}

// With a read offset a fault meets the audio that comes from its sector: every sector
// before the one holding it is delivered, shifted, and the rip then fails there.
TEST_F(Faults, ImageFaultsMeetTheShiftedAudio) {
    useDisc(testdisc::audioDisc({100, 100}), false);
    faults("unreadable=120");
    ASSERT_EQ(CR_SetReadOffset(-1000), CDRIP3_OK);  // 1.7 sectors back
    const auto r = ripWithFaults(0, int32_t(lastSector()));
    EXPECT_EQ(r.endCode, CDRIP3_ERROR);
    // Sector 121 of the rip would hold the first bytes of sector 120.
    ASSERT_EQ(r.bytes.size(), size_t(121) * testdisc::kSectorBytes);
    const auto disc = testdisc::rangeBytes(plan_, 0, lastSector());
    EXPECT_EQ(disctest::firstDifferentSector(r.bytes, cdrip3test::shifted(disc, 0, 120, -1000), 0),
              -1);
}

// A CD-Extra disc's audio session ends before the gap to its data session: an offset reads
// silence there rather than ask the drive for the gap, which a real drive cannot read.
// Here the gap is unreadable, so a read that reached it would fail the rip.
TEST_F(Faults, AShiftedLastTrackOfASessionReadsNothingOfTheGap) {
    auto plan = testdisc::audioDisc({150, 160, 300});
    plan.tracks[2].data = true;
    plan.cdExtra = true;
    useDisc(plan, false);
    const auto& audio = expected_.tracks[1];
    const uint32_t sessionEnd = audio.startSector + audio.sectors;
    faults(("unreadable=" + std::to_string(sessionEnd) + "-" +
            std::to_string(expected_.tracks[2].startSector - 1))
               .c_str());
    ASSERT_EQ(CR_SetReadOffset(1000), CDRIP3_OK);
    const auto r = ripWithFaults(int32_t(audio.startSector), int32_t(sessionEnd - 1));
    EXPECT_EQ(r.endCode, CDRIP3_RIPPING_DONE);
    const auto session = testdisc::rangeBytes(plan, 0, sessionEnd - 1);
    EXPECT_EQ(disctest::firstDifferentSector(
                  r.bytes, cdrip3test::shifted(session, audio.startSector, sessionEnd - 1, 1000),
                  audio.startSector),
              -1);
}

// ---------------------------------------------------------------------------------------
// Discs and trays that take their time: the calls that need the disc wait, and the window's
// calls from another thread answer meanwhile.

// Asks the library from another thread a while after start(), as a window would while a
// call on this thread waits.
struct Bystander {
    int32_t ready = -1;
    int32_t drives = -1;
    Clock::duration took{};
    std::thread thread;

    void start() {
        thread = std::thread([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const auto t0 = Clock::now();
            ready = CR_IsUnitReady();
            drives = CR_GetNumCDROM();
            took = Clock::now() - t0;
        });
    }
    void join() {
        thread.join();
        EXPECT_EQ(drives, 1);
        EXPECT_LT(took, std::chrono::milliseconds(100)) << "waited for the drive";
    }
};

template <typename F>
Clock::duration timed(F f) {
    const auto t0 = Clock::now();
    f();
    return Clock::now() - t0;
}

TEST_F(Faults, ADiscSpinningUpIsNotReadyAndItsTableWaitsForIt) {
    for (const bool paranoia : {false, true}) {
        SCOPED_TRACE(paranoia ? "paranoia backend" : "image drive");
        faults("spinup=300");
        insertDisc(testdisc::audioDisc({300, 100}), paranoia);
        int32_t ready = -1;
        EXPECT_LT(timed([&] { ready = CR_IsUnitReady(); }), std::chrono::milliseconds(100));
        EXPECT_EQ(ready, 0);
        Bystander window;
        window.start();
        int32_t rc = -1;
        EXPECT_GE(timed([&] { rc = CR_ReadToc(); }), std::chrono::milliseconds(250));
        window.join();
        EXPECT_EQ(window.ready, 0);
        EXPECT_EQ(rc, CDRIP3_OK);
        EXPECT_EQ(CR_GetNumTocEntries(), 2);
        EXPECT_EQ(CR_IsUnitReady(), 1);
    }
}

std::vector<int32_t> g_readyAtArrival;
void recordReadiness(int32_t, int32_t arrived, void*) {
    if (arrived) g_readyAtArrival.push_back(CR_IsUnitReady());
}

TEST_F(Faults, AClosedTraySpinsTheDiscUpBeforeTheArrivalIsTold) {
    faults("spinup=300");
    useDisc(testdisc::audioDisc({300}), false);
    g_readyAtArrival.clear();
    CR_SetMediaNotify(recordReadiness, nullptr);
    CR_EjectCD(1);
    CR_EjectCD(0);
    EXPECT_EQ(g_readyAtArrival, (std::vector<int32_t>{0}));
    EXPECT_EQ(CR_IsUnitReady(), 0);
    int32_t size = 0;
    int32_t rc = -1;
    EXPECT_GE(timed([&] { rc = CR_OpenRipper(&size, 0, 299); }), std::chrono::milliseconds(250));
    EXPECT_EQ(rc, CDRIP3_OK);
    EXPECT_EQ(CR_IsUnitReady(), 1);
}

// The disc is in until the tray has opened, and out until it has closed.
TEST_F(Faults, TheTrayTakesItsTimeEachWayWhileOtherCallsAnswer) {
    useDisc(testdisc::audioDisc({300}), false);
    faults("tray=300");
    for (const int32_t open : {1, 0}) {
        SCOPED_TRACE(open ? "opening" : "closing");
        Bystander window;
        window.start();
        EXPECT_GE(timed([&] { CR_EjectCD(open); }), std::chrono::milliseconds(250));
        window.join();
        EXPECT_EQ(window.ready, open);
        EXPECT_EQ(CR_IsUnitReady(), 1 - open);
    }
    EXPECT_EQ(CR_ReadToc(), CDRIP3_OK);
}

// ---------------------------------------------------------------------------------------
// The libcdio-paranoia backend: the faults reach paranoia as a drive's reads.

TEST_F(Faults, ParanoiaUnreadableSectorsCostThemselvesOnlyAndAreReported) {
    useDisc(testdisc::audioDisc({400, 300, 250}), true);
    faults("unreadable=300,450-452,699");
    const FaultyRip r = ripWithFaults(0, int32_t(lastSector()));
    EXPECT_EQ(r.endCode, CDRIP3_RIPPING_DONE);
    EXPECT_EQ(r.bytes.size(), size_t(lastSector() + 1) * testdisc::kSectorBytes);
    const auto damaged = damagedSectors(r, plan_, 0);
    EXPECT_EQ(damaged, (std::set<uint32_t>{300, 450, 451, 452, 699}));
    expectDamageReported(r, damaged);
    // Chunks far from the bad sectors are exact and said to be.
    for (const Chunk& c : r.chunks) {
        if (c.first + uint32_t(c.sectors) <= 260) {
            EXPECT_EQ(c.rc, CDRIP3_OK) << c.first;
        }
    }
}

// A bad first sector of the ripped range left libcdio-paranoia retrying forever, and a bad
// sector 0 made it hand out misplaced audio, unreported, for the rest of the disc.
TEST_F(Faults, ParanoiaBadFirstSectorOfTheRangeNeitherHangsNorMisplacesAudio) {
    useDisc(testdisc::audioDisc({400, 300, 250}), true);
    faults("unreadable=400");
    const FaultyRip track2 = ripWithFaults(400, 699);
    EXPECT_EQ(track2.endCode, CDRIP3_RIPPING_DONE);
    EXPECT_LT(track2.totalMilliseconds, 20000);
    EXPECT_EQ(damagedSectors(track2, plan_, 400), (std::set<uint32_t>{400}));
    expectDamageReported(track2, {400});
    ASSERT_EQ(CR_CloseRipper(), CDRIP3_OK);

    faults("unreadable=0");
    const FaultyRip disc = ripWithFaults(0, int32_t(lastSector()));
    EXPECT_EQ(disc.endCode, CDRIP3_RIPPING_DONE);
    EXPECT_EQ(damagedSectors(disc, plan_, 0), (std::set<uint32_t>{0}));
    expectDamageReported(disc, {0});
}

TEST_F(Faults, ParanoiaWithoutVerificationLosesOnlyTheUnreadableSectors) {
    useDisc(testdisc::audioDisc({400, 300}), true);
    setParam(CR_OFS_RIP_MODE, 0);
    faults("unreadable=300-302");
    const FaultyRip r = ripWithFaults(0, int32_t(lastSector()));
    EXPECT_EQ(r.endCode, CDRIP3_RIPPING_DONE);
    const auto damaged = damagedSectors(r, plan_, 0);
    EXPECT_EQ(damaged, (std::set<uint32_t>{300, 301, 302}));
    expectDamageReported(r, damaged);
}

TEST_F(Faults, ParanoiaCorrectsJitterThatReachesTheFileWithoutIt) {
    useDisc(testdisc::audioDisc({400, 300}), true);
    faults("jitter=300,310,500");
    const FaultyRip corrected = ripWithFaults(0, int32_t(lastSector()));
    EXPECT_EQ(corrected.endCode, CDRIP3_RIPPING_DONE);
    EXPECT_TRUE(damagedSectors(corrected, plan_, 0).empty());
    for (const Chunk& c : corrected.chunks) EXPECT_EQ(c.rc, CDRIP3_OK) << c.first;
    ASSERT_EQ(CR_CloseRipper(), CDRIP3_OK);

    // The same reads without paranoia: the shift is there to be corrected.
    setParam(CR_OFS_JITTER_ON, 0);
    const FaultyRip raw = ripWithFaults(0, int32_t(lastSector()));
    EXPECT_EQ(raw.endCode, CDRIP3_RIPPING_DONE);
    const auto damaged = damagedSectors(raw, plan_, 0);
    EXPECT_FALSE(damaged.empty());
    EXPECT_TRUE(damaged.count(300) && damaged.count(500));
    EXPECT_FALSE(damaged.count(200));
}

TEST_F(Faults, ParanoiaStallEndsTheRipWithAnErrorInBoundedTime) {
    // Paranoia reads well ahead of what it hands out; the stall lies beyond the first
    // read-ahead so that some audio comes before it.
    useDisc(testdisc::audioDisc({4000}), true);
    faults("stall=3500:400");
    const FaultyRip r = ripWithFaults(0, int32_t(lastSector()));
    EXPECT_EQ(r.endCode, CDRIP3_ERROR);
    EXPECT_GE(r.totalMilliseconds, 390);
    EXPECT_LT(r.totalMilliseconds, 15000);
    const size_t sectors = r.bytes.size() / testdisc::kSectorBytes;
    EXPECT_GT(sectors, 0u);
    EXPECT_LT(sectors, 3500u);
    // What came before the stall is the disc's own audio.
    EXPECT_TRUE(damagedSectors(r, plan_, 0).empty());
    std::vector<uint8_t> buf(26 * 2352);
    int32_t bytes = -1;
    const auto t0 = Clock::now();
    EXPECT_EQ(CR_RipChunk(buf.data(), &bytes, nullptr), CDRIP3_ERROR);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(250));
}

TEST_F(Faults, ParanoiaRemovalTakesTheDiscOutUntilTheTrayCloses) {
    useDisc(testdisc::audioDisc({400, 300}), true);
    CR_SetMediaNotify(recordNotice, nullptr);
    faults("remove=300");
    const FaultyRip r = ripWithFaults(0, int32_t(lastSector()));
    EXPECT_EQ(r.endCode, CDRIP3_NOT_READY);
    EXPECT_EQ(r.bytes, testdisc::rangeBytes(plan_, 0, 299));
    EXPECT_EQ(g_notices, (std::vector<std::pair<int32_t, int32_t>>{{0, 0}}));
    EXPECT_EQ(CR_IsUnitReady(), 0);
    EXPECT_EQ(CR_CloseRipper(), CDRIP3_OK);
    CR_EjectCD(0);
    EXPECT_EQ(CR_IsUnitReady(), 1);
    unsetenv("CDRIP3_FAULTS");
    ASSERT_EQ(CR_ReadToc(), CDRIP3_OK);
    const FaultyRip again = ripWithFaults(0, int32_t(lastSector()));
    EXPECT_EQ(again.endCode, CDRIP3_RIPPING_DONE);
    EXPECT_TRUE(damagedSectors(again, plan_, 0).empty());
}

}  // namespace
