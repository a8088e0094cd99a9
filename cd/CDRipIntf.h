// What the binding to the CD ripping library (libcdrip3.so, loaded at run time) is made of:
// the records exchanged with the library, its entry-point cells, the disc information record
// and the time conversions. Nothing here holds state: the binding itself, the disc record
// and the MCI device belong to a TCDSession (CDSession.h).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "cdrip3.h"
#include "cdtiming.h"

namespace CDRipIntf {

// ---------------------------------------------------------------------------------------
// Records exchanged with the library: its own, so the binding cannot drift from them

using TTocEntry = CR_TOCENTRY;
using TDriveParams = CR_DRIVEPARAMS;
using TDriveIdentity = CR_DRIVEIDENTITY;

// A field of the drive's identity: up to its NUL, never past its size.
template <size_t N>
std::string IdentityText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}
constexpr int kDriveParamsSize = CR_PARAMS_SIZE;

// Writes/reads a 32-bit little-endian field of the drive-parameter block.
void SetParam(TDriveParams& params, int offset, int32_t value);
int32_t GetParam(const TDriveParams& params, int offset);

// ---------------------------------------------------------------------------------------
// The library's entry points, one cell each (null when the library lacks it). Typed from
// the library's declarations: a changed signature there stops the build here.

struct CDRipFunctions {
    decltype(&::CR_Init) Init = nullptr;
    decltype(&::CR_GetNumCDROM) GetNumCDROM = nullptr;
    decltype(&::CR_GetActiveCDROM) GetActiveCDROM = nullptr;
    decltype(&::CR_SetActiveCDROM) SetActiveCDROM = nullptr;
    decltype(&::CR_GetCDROMIDByIndex) GetCDROMIDByIndex = nullptr;
    decltype(&::CR_IsUnitReady) IsUnitReady = nullptr;
    decltype(&::CR_ReadToc) ReadToc = nullptr;
    decltype(&::CR_GetNumTocEntries) GetNumTocEntries = nullptr;
    decltype(&::CR_GetTocEntry2) GetTocEntry2 = nullptr;
    decltype(&::CR_OpenRipper) OpenRipper = nullptr;
    decltype(&::CR_RipChunk) RipChunk = nullptr;
    decltype(&::CR_GetPercentCompleted) GetPercentCompleted = nullptr;
    decltype(&::CR_CloseRipper) CloseRipper = nullptr;
    decltype(&::CR_GetCDROMParameters) GetCDROMParameters = nullptr;
    decltype(&::CR_SetCDROMParameters) SetCDROMParameters = nullptr;
    decltype(&::CR_SaveSettings) SaveSettings = nullptr;
    decltype(&::CR_GetReadOffset) GetReadOffset = nullptr;
    decltype(&::CR_SetReadOffset) SetReadOffset = nullptr;
    decltype(&::CR_StopPlayTrack) StopPlayTrack = nullptr;
    decltype(&::CR_LockCD) LockCD = nullptr;
    decltype(&::CR_EjectCD) EjectCD = nullptr;
    // Our library's own extension: the full path of the settings file it writes.
    decltype(&::CR_GetSettingsFileName) GetSettingsFileName = nullptr;
    // The disc's CD-Text; older builds of the library lack it.
    decltype(&::CR_GetCDText) GetCDText = nullptr;
    // Where the read offset came from, and the drive's own words for itself; older builds
    // of the library lack them.
    decltype(&::CR_GetReadOffsetFrom) GetReadOffsetFrom = nullptr;
    decltype(&::CR_SetReadOffsetFrom) SetReadOffsetFrom = nullptr;
    decltype(&::CR_GetDriveIdentity) GetDriveIdentity = nullptr;
    // A ripper with no read offset applied, to find the drive's; older builds lack it.
    decltype(&::CR_OpenRawRipper) OpenRawRipper = nullptr;
};

// Offsets of the drive-parameter fields the program writes.
constexpr int kParamSectorsPerRead = CR_OFS_SECTORS_PER_READ;
constexpr int kParamOverlap = CR_OFS_OVERLAP;
constexpr int kParamCompare = CR_OFS_COMPARE;
constexpr int kParamSpeed = CR_OFS_SPEED;
constexpr int kParamJitterCorrection = CR_OFS_JITTER_ON;
constexpr int kParamRetries = CR_OFS_RETRIES;
constexpr int kParamTimeout = CR_OFS_TIMEOUT;
constexpr int kParamMultiRead = CR_OFS_MULTIREAD;
constexpr int kParamMultiReadFirst = CR_OFS_MULTIREAD_FIRST;
constexpr int kParamMultiReadCount = CR_OFS_MULTIREAD_COUNT;
constexpr int kParamLockWhileReading = CR_OFS_LOCK_DURING_READ;
constexpr int kParamRipMode = CR_OFS_RIP_MODE;
constexpr int kParamParanoiaMode = CR_OFS_PARANOIA_MODE;

// The drive's read offset in samples goes either way up to this.
constexpr int32_t kMaxReadOffset = CR_MAX_READ_OFFSET;
// Where it came from (CR_GetReadOffsetFrom).
constexpr int32_t kOffsetFromNone = CDRIP3_OFFSET_FROM_NONE;
constexpr int32_t kOffsetFromUser = CDRIP3_OFFSET_FROM_USER;
constexpr int32_t kOffsetFromList = CDRIP3_OFFSET_FROM_LIST;
constexpr int32_t kOffsetFromDetected = CDRIP3_OFFSET_FROM_DETECTED;

constexpr const char* kLibraryFileName = "libcdrip3.so";
constexpr const char* kSettingsFileName = "Tolvane.ini";

// The folder of the running executable.
std::string ExecutableDir();
// Opens one of the program's own libraries with dlopen: the given path, or when it is empty
// the file name beside the program (a build) or in its private folder ../lib/sonvale (an
// installed package). Null when it cannot be loaded.
void* OpenProgramLibrary(const std::string& path, const char* fileName);

// Results of CR_RipChunk the rippers tell apart; any other value is an error.
constexpr int32_t kRipChunkOk = CDRIP3_OK;
constexpr int32_t kRipChunkJitter = CDRIP3_JITTER_ERROR;
constexpr int32_t kRipChunkDone = CDRIP3_RIPPING_DONE;
constexpr int32_t kRipChunkNotReady = CDRIP3_NOT_READY;  // the disc went

// ---------------------------------------------------------------------------------------
// MCI CD-audio device following the library's active drive

// An MCI send function: the MCI layer's own, or a test's stand-in.
using MciSendFn = uint32_t (*)(uint32_t device, uint32_t message, uintptr_t flags,
                               uintptr_t params);
// The MCI layer's entry point, the send function a session starts with.
uint32_t SendMciCommand(uint32_t device, uint32_t message, uintptr_t flags, uintptr_t params);
// MCI's MSF (minute byte 0, second byte 1, frame byte 2) to the program's packed time.
uint32_t MciMsfToPacked(uint32_t mciMsf);

// ---------------------------------------------------------------------------------------
// Disc information

struct TTrackEntry {
    uint8_t TrackNumber = 0;
    uint8_t Audio = 0;    // 1 = audio track
    uint32_t Start = 0;   // packed MSF, absolute
    uint32_t Length = 0;  // packed MSF, duration
    uint32_t StartSector = 0;
    uint32_t LengthSectors = 0;
};

constexpr int kMaxTracks = 100;

struct TDiscInfo {
    int16_t DiscType = 0;  // 0 data only, 1 audio only, 2 both
    uint32_t DiscId = 0;
    uint16_t FirstTrack = 0;
    uint16_t LastTrack = 0;
    int16_t TrackCount = 0;
    uint32_t FirstTrackStart = 0;  // packed, absolute
    uint32_t DiscEnd = 0;          // packed, absolute
    uint32_t AudioLength = 0;      // packed, duration
    uint32_t LeadOut = 0;          // packed, absolute
    uint32_t LeadOutSector = 0;    // the same as a sector number (no lead-in)
    TTrackEntry Tracks[kMaxTracks];

    // Entry N, 1-based (track index N). N must be 1..kMaxTracks.
    TTrackEntry& Entry(int n) { return Tracks[n - 1]; }
    const TTrackEntry& Entry(int n) const { return Tracks[n - 1]; }
};

using cdtiming::kFramesPerMinute;
using cdtiming::kFramesPerSecond;
using cdtiming::kLeadInFrames;
using cdtiming::kSessionGapSectors;

int32_t MsfToFrames(uint32_t msf);
int32_t MsfToSector(uint32_t msf);
uint32_t SectorToMsf(int32_t sector);
uint32_t FramesToMsf(int32_t frames);
uint32_t AddMsf(uint32_t position, uint32_t duration);

}  // namespace CDRipIntf
