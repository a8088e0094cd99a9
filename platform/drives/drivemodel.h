// The drive model shared by libcdrip3.so and the MCI layer: one process-wide list of
// drives (real drives found by libcdio first, then disc-image drives), their tables of
// contents and their audio. Both libraries link this one shared object, so they see the
// same drives in the same order and the same tray state.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cdtiming.h"

#define SVDRIVES_API __attribute__((visibility("default")))

namespace svdrives {

using cdtiming::kSectorBytes;
using cdtiming::kSessionGapSectors;

struct TocTrack {
    uint8_t number = 0;        // track number as the disc reports it
    bool data = false;         // data track (Q sub-channel control bit 2)
    uint32_t startSector = 0;  // logical sector of INDEX 01 (sector 0 = MSF 00:02:00)
    uint8_t session = 1;
};

struct Toc {
    std::vector<TocTrack> tracks;  // in disc order
    uint32_t leadOut = 0;          // logical sector of the lead-out of the last session
};

// The CD-Text fields the library hands out, as indices into TextFields. Genre and date are
// the disc's only.
enum TextField { kTextTitle, kTextPerformer, kTextSongwriter, kTextGenre, kTextDate, kTextFields };
using TextFields = std::array<std::string, kTextFields>;  // UTF-8; "" when absent

// A disc's CD-Text: [0] the disc, [i] the table's i-th track (1-based, disc order), so it
// holds the table's track count + 1 entries; empty when the disc carries no CD-Text.
using CdText = std::vector<TextFields>;

// What a drive says of itself, as an INQUIRY answers it: blanks trimmed, each field cut to
// the bytes the library hands out (8, 16 and 4). Image drives: "IMAGE", their cue sheet's
// file name, and no revision.
struct DriveIdentity {
    std::string vendor;
    std::string product;
    std::string revision;
};

// Reading parameters taken from the library's drive-parameter block. Only real drives
// (libcdio-paranoia) act on most of them; image drives read exactly anyway.
struct ReadSettings {
    int sectorsPerRead = 26;  // chunk size in sectors
    int readSpeed = 0;        // 0 = leave the drive's speed alone
    bool paranoia = true;     // jitter correction on
    int paranoiaMode = 0xDF;  // libcdio-paranoia mode bits
    int retries = 20;         // bound on re-reads of one sector before it is given up
};

enum class ReadResult {
    Ok,          // all requested sectors delivered exactly
    Jitter,      // delivered, but paranoia could not verify/correct every sector
    NotReady,    // no disc (tray open, medium removed)
    OutOfRange,  // beyond the disc
    IoError,     // the drive failed to deliver
};

// Sequential reader over an inclusive sector range, as a rip or playback uses it.
class SVDRIVES_API SectorReader {
public:
    virtual ~SectorReader();
    // Reads up to maxSectors next sectors into out (maxSectors * kSectorBytes bytes);
    // sets *sectorsRead. At the end of the range returns Ok with *sectorsRead = 0.
    virtual ReadResult read(uint8_t* out, int maxSectors, int* sectorsRead) = 0;
    virtual uint32_t firstSector() const = 0;
    virtual uint32_t lastSector() const = 0;
    virtual uint32_t nextSector() const = 0;  // next sector read() will deliver

    // A flag another thread may set while read() runs (null: none). Once it is non-zero a
    // read ends after the sector in hand: it delivers what it has (Ok, possibly 0 sectors),
    // so a slow or stalled drive lets go within one sector read. The flag is read with
    // atomic loads; the caller owns it and keeps it alive while the reader uses it.
    void setAbortFlag(const int32_t* flag) { abort_ = flag; }
    bool aborted() const;
    // Sleeps up to `milliseconds`, waking early once the abort flag is set; true if it was.
    bool abortableSleep(int milliseconds) const;

private:
    const int32_t* abort_ = nullptr;
};

class SVDRIVES_API Drive {
public:
    virtual ~Drive();
    virtual std::string name() const = 0;  // shown in the drive box
    virtual bool isImage() const = 0;
    // Learnt when the list is built, so asking never waits on the drive.
    virtual DriveIdentity identity() const = 0;
    virtual bool unitReady() = 0;  // a disc is present and readable
    // false: no disc, unreadable table, or (image drives) a sheet that names a missing or
    // short file, a WAVE file not in CD format, or is malformed. A broken image still
    // appears as a drive and may be unitReady.
    virtual bool readToc(Toc* toc) = 0;
    // The disc's CD-Text, laid out along the table readToc gives; empty when there is no
    // disc, no readable table or no CD-Text. The base class knows of none.
    virtual CdText readCdText();
    // Opens a sequential reader on [first, last]; null when not ready or out of range.
    virtual std::unique_ptr<SectorReader> openReader(uint32_t first, uint32_t last,
                                                     const ReadSettings& settings) = 0;
    // true: open the tray (take the disc out); false: close it. Image drives then notify
    // the media listeners (disc gone / arrived); open readers fail with NotReady from then
    // on, also after the tray closes again. A real drive's readers fail likewise, since
    // the device is reopened.
    virtual void eject(bool open) = 0;
    virtual void lock(bool locked) = 0;  // prevent/allow medium removal; no-op for images
    virtual void stopAudio() = 0;        // stop the drive's own analogue playback, if any

    // A disc that has just gone in spins up before the drive can read it (CDRIP3_FAULTS'
    // spinup=). The backends know nothing of it: the callers ask, so every kind of drive
    // takes its time alike. All three are safe from any thread, lock nothing and are
    // cheap while no spin-up was ever started.
    //
    // From now on the drive spins up for `milliseconds`, also when it was already spinning
    // up (a tray closed again starts over); 0 or less does nothing. Called by the library
    // at CR_Init for every drive and at CR_EjectCD(0) for the active one, and by the MCI
    // layer at MCI_SET_DOOR_CLOSED, each time before eject(false), so a media listener told
    // of the arrival finds the drive not ready yet.
    void startSpinUp(int milliseconds);
    // true while the drive spins up: it is not ready, and its backend need not be asked
    // (the library's CR_IsUnitReady answers 0 at once).
    bool spinningUp() const;
    // Returns once the drive is no longer spinning up, also when a tray closed meanwhile
    // pushed the end further on. The library (CR_ReadToc, CR_OpenRipper) and the MCI layer
    // (the commands that read the disc) call it with their own locks released, then look
    // the drive up again and go on.
    void awaitSpinUp() const;

private:
    // steady_clock ticks since its epoch; 0: never started.
    std::atomic<int64_t> spinUpUntil_{0};
};

// The times of CDRIP3_FAULTS' spinup= and tray= items now (0 each when unset or not
// asked for). Read by the library at CR_Init and at each CR_EjectCD, and by the MCI layer
// when its door closes; the rest of the plan is the readers' own.
struct DriveMotion {
    int spinUpMs = 0;
    int trayMs = 0;
};
SVDRIVES_API DriveMotion driveMotionFromEnvironment();

// Process-wide drive list. Created on first use; the list is built once, in this order:
//   1. real drives found by libcdio (its device driver),
//   2. the device paths of CDRIP3_DEVICES (colon-separated), each opened through libcdio's
//      own drivers, so a "<name>.cue" there goes through libcdio's image driver and
//      libcdio-paranoia exactly like a drive would,
//   3. the cue sheets of CDRIP3_IMAGES (colon-separated), read by the image backend,
//   4. the cue sheets given to setConfiguredImages (the library's settings file).
// Names: real drives "<vendor> <model> (<device path>)" as libcdio reports them, or
// "CD drive (<device path>)" when the drive does not answer; image drives
// "Image: <cue file name>". A name that is already taken gets " #2", " #3", ... appended,
// so every name in the list is unique and can key per-drive settings. Line breaks in a
// name become blanks and blanks at its end are dropped, so it fits on one line of a
// settings file as it is.
// All members are safe to call from any thread; a Drive's members are too.
class SVDRIVES_API DriveModel {
public:
    static DriveModel& instance();

    // Images from the library's settings file; they follow those of CDRIP3_IMAGES. Called
    // before the list is built, they are taken in when it is; called later, those not yet
    // in the list are appended to its end, so the indices of existing drives never change.
    // A relative path is taken relative to the current directory.
    void setConfiguredImages(const std::vector<std::string>& cuePaths);

    int count();
    Drive* drive(int index);  // null when out of range; valid until resetForTests

    // Changes whenever the list is (re)built or grows, so a client holding indices or
    // per-drive state can tell that it has to look again.
    uint64_t generation();

    // A drive's medium arrived (true) or went (false). Image drives notify when their
    // tray moves. Listeners run on the thread that caused the change.
    using MediaListener = std::function<void(int driveIndex, bool arrived)>;
    int addMediaListener(MediaListener listener);
    void removeMediaListener(int id);
    void notifyMedia(int driveIndex, bool arrived);

    // Tests only: forget the list and the configured images so the next use builds the
    // list again from the environment. Media listeners stay registered. Drive pointers
    // handed out before become invalid; readers opened before keep working on their own.
    void resetForTests();

private:
    DriveModel();
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace svdrives
