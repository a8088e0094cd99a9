// The drive model shared by libcdrip3.so and the MCI layer: one process-wide list of
// drives (real drives found by libcdio first, then disc-image drives), their tables of
// contents and their audio. Both libraries link this one shared object, so they see the
// same drives in the same order and the same tray state.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#define SVDRIVES_API __attribute__((visibility("default")))

namespace svdrives {

constexpr int kSectorBytes = 2352;       // one CD-DA sector: 588 stereo 16-bit frames
constexpr int kSessionGapSectors = 11400;  // lead-out + lead-in + pregap between two sessions

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
};

class SVDRIVES_API Drive {
public:
    virtual ~Drive();
    virtual std::string name() const = 0;  // shown in the drive box
    virtual bool isImage() const = 0;
    virtual bool unitReady() = 0;           // a disc is present and readable
    virtual bool readToc(Toc* toc) = 0;     // false: no disc or unreadable table
    // Opens a sequential reader on [first, last]; null when not ready or out of range.
    virtual std::unique_ptr<SectorReader> openReader(uint32_t first, uint32_t last,
                                                     const ReadSettings& settings) = 0;
    virtual void eject(bool open) = 0;  // true: open the tray (take the disc out)
    virtual void lock(bool locked) = 0;
    virtual void stopAudio() = 0;  // stop the drive's own analogue playback, if any
};

// Process-wide drive list. Created on first use; the list is built once (real drives,
// then the images named in CDRIP3_IMAGES, then those of the settings file given to
// setConfiguredImages before the first use).
class SVDRIVES_API DriveModel {
public:
    static DriveModel& instance();

    // Images from the library's settings file; they follow those of CDRIP3_IMAGES.
    // Only effective before the list is first built.
    void setConfiguredImages(const std::vector<std::string>& cuePaths);

    int count();
    Drive* drive(int index);  // null when out of range

    // A drive's medium arrived (true) or went (false). Image drives notify when their
    // tray moves. Listeners run on the thread that caused the change.
    using MediaListener = std::function<void(int driveIndex, bool arrived)>;
    int addMediaListener(MediaListener listener);
    void removeMediaListener(int id);
    void notifyMedia(int driveIndex, bool arrived);

    // Tests only: forget the list so the next use builds it again from the environment.
    void resetForTests();

private:
    DriveModel();
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace svdrives
