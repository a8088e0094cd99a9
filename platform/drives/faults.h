// Faults a test can ask the drives to show: sectors that cannot be read, reads that come
// back shifted, sectors that come back different every second time, a drive that stops
// answering, a disc taken out mid-track, and a disc or a tray that takes its time. Off unless the
// environment variable CDRIP3_FAULTS asks for them; its grammar is documented in cdrip3.h. A reader
// takes the plan of the moment it is opened and keeps it, so a test can change the variable between
// rips; the spin-up and tray times are taken by whoever moves the tray (see DriveMotion in
// drivemodel.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace svdrives::detail {

constexpr const char* kFaultsVariable = "CDRIP3_FAULTS";
constexpr int kDefaultStallMs = 1000;
constexpr int kMaxStallMs = 60000;

struct FaultPlan {
    struct Range {
        uint32_t first = 0;
        uint32_t last = 0;  // inclusive
    };
    struct Stall {
        uint32_t sector = 0;
        int milliseconds = kDefaultStallMs;
    };
    std::vector<Range> unreadable;
    std::vector<uint32_t> jitter;
    std::vector<uint32_t> flaky;
    std::vector<Stall> stalls;
    std::vector<uint32_t> removals;
    uint32_t slowRate = 0;  // sectors per second at the most; 0: as fast as the drive goes
    int spinUpMs = 0;       // a disc that went in is not ready for so long
    int trayMs = 0;         // a tray takes so long to open or close

    bool empty() const {
        return unreadable.empty() && jitter.empty() && flaky.empty() && stalls.empty() &&
               removals.empty() && slowRate == 0 && spinUpMs == 0 && trayMs == 0;
    }

    // Parses the variable's text. Items that do not follow the grammar are left out and
    // named in *rejected (when given); the others still apply.
    static FaultPlan parse(const std::string& text, std::vector<std::string>* rejected = nullptr);
    // The plan of CDRIP3_FAULTS now; empty when unset. Rejected items are reported once
    // per distinct text on stderr, since a mistyped plan that silently does nothing would
    // pass every test it was meant to fail.
    static FaultPlan fromEnvironment();

    // The first sector of [first, first + count) that is unreadable; -1 when none is.
    int64_t firstUnreadable(uint32_t first, uint32_t count) const;
    // The first sector of [first, first + count) where a read stops: unreadable, a stall or
    // a removal; -1 when none is.
    int64_t firstStop(uint32_t first, uint32_t count) const;
    bool jitterIn(uint32_t first, uint32_t count) const;
    bool flakyIn(uint32_t first, uint32_t count) const;
    // The stall at exactly this sector, or null.
    const Stall* stallAt(uint32_t sector) const;
    const Stall* firstStallIn(uint32_t first, uint32_t count) const;
    bool removalAt(uint32_t sector) const;
    bool isUnreadable(uint32_t sector) const;
};

// How often a drive has delivered each of its flaky sectors, so that two rippers in a row
// (a test read and its copy) meet the sector once exact and once altered. Kept by the drive
// for as long as the drive exists, whichever reader asks; safe from any thread.
class FlakyReads {
public:
    // Counts one more delivery of every flaky sector in [first, first + count), whose audio
    // starts at audio (count sectors), and alters those delivered for an even time: their
    // first kFlakyBytes bytes arrive inverted. Does nothing for a plan without flaky sectors.
    void deliver(const FaultPlan& plan, uint32_t first, uint32_t count, uint8_t* audio);

    static constexpr size_t kFlakyBytes = 16;  // four stereo samples

private:
    std::mutex mutex_;
    std::map<uint32_t, uint64_t> deliveries_;
};

// Holds a reader to the plan's rate: each sector is handed over no sooner than the rate
// allows, counted from the first one, so a slow drive stays slow however it is asked.
class Pacer {
public:
    explicit Pacer(uint32_t sectorsPerSecond) : rate_(sectorsPerSecond) {}
    bool active() const { return rate_ != 0; }
    // Waits until one more sector may have arrived. Does nothing at rate 0.
    void takeSector();

private:
    uint32_t rate_;
    uint64_t taken_ = 0;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace svdrives::detail
