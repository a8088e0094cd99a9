// Binding to the CD ripping library (libcdrip3.so, loaded at run time), the MCI CD-audio
// device that follows the library's active drive, and the disc information record with
// its table-of-contents reader and time conversions.
//
// All state here is program-wide and used from the user-interface thread only.
#pragma once

#include <cstdint>
#include <string>

#include "cdtiming.h"

namespace CDRipIntf {

// ---------------------------------------------------------------------------------------
// Records exchanged with the library

#pragma pack(push, 1)
struct TTocEntry {
    uint32_t StartSector;  // logical sector (0 = MSF 00:02:00)
    uint8_t Flags;         // bit 2 (value 4): data track
    uint8_t TrackNumber;
    uint8_t Session;  // 1-based; 0 when the library does not know
    uint8_t Reserved;
};
#pragma pack(pop)
static_assert(sizeof(TTocEntry) == 8);

constexpr int kDriveParamsSize = 360;
struct TDriveParams {
    uint8_t Bytes[kDriveParamsSize];
};
static_assert(sizeof(TDriveParams) == kDriveParamsSize);

// Writes/reads a 32-bit little-endian field of the drive-parameter block.
void SetParam(TDriveParams& params, int offset, int32_t value);
int32_t GetParam(const TDriveParams& params, int offset);

// The program-wide drive-parameter block, zero-filled at start.
extern TDriveParams DriveParams;

// ---------------------------------------------------------------------------------------
// The library's entry points, one cell each (null when the library lacks it)

struct CDRipFunctions {
    int32_t (*Init)(const char* settingsFile) = nullptr;
    int32_t (*GetNumCDROM)() = nullptr;
    int32_t (*GetActiveCDROM)() = nullptr;
    void (*SetActiveCDROM)(int32_t index) = nullptr;
    const char* (*GetCDROMIDByIndex)(int32_t index) = nullptr;
    int32_t (*IsUnitReady)() = nullptr;
    int32_t (*ReadToc)() = nullptr;
    int32_t (*GetNumTocEntries)() = nullptr;
    int32_t (*GetTocEntry2)(int32_t index, TTocEntry* entry) = nullptr;
    int32_t (*OpenRipper)(int32_t* bufferSize, int32_t first, int32_t last) = nullptr;
    int32_t (*RipChunk)(uint8_t* buffer, int32_t* bytes, int32_t* abort) = nullptr;
    int32_t (*GetPercentCompleted)() = nullptr;
    int32_t (*CloseRipper)() = nullptr;
    int32_t (*GetCDROMParameters)(TDriveParams* params) = nullptr;
    int32_t (*SetCDROMParameters)(const TDriveParams* params) = nullptr;
    int32_t (*SaveSettings)() = nullptr;
    void (*StopPlayTrack)() = nullptr;
    void (*LockCD)(int32_t lock) = nullptr;
    void (*EjectCD)(int32_t open) = nullptr;
    // Our library's own extension: the full path of the settings file it writes.
    const char* (*GetSettingsFileName)() = nullptr;
};

// The cells the program calls through. Every wrapper below is safe to call when the
// library is absent: it does nothing and answers 0 / false / "" (failure for calls whose
// 0 means success).
extern CDRipFunctions CDRip;
extern bool CDRipReady;

int32_t CR_Init(const char* settingsFile);
int32_t CR_GetNumCDROM();
int32_t CR_GetActiveCDROM();
void CR_SetActiveCDROM(int32_t index);
std::string CR_GetCDROMIDByIndex(int32_t index);
bool CR_IsUnitReady();
int32_t CR_ReadToc();
int32_t CR_GetNumTocEntries();
int32_t CR_GetTocEntry2(int32_t index, TTocEntry* entry);
int32_t CR_OpenRipper(int32_t* bufferSize, int32_t first, int32_t last);
int32_t CR_RipChunk(uint8_t* buffer, int32_t* bytes, int32_t* abort);
int32_t CR_GetPercentCompleted();
int32_t CR_CloseRipper();
int32_t CR_GetCDROMParameters(TDriveParams* params);
int32_t CR_SetCDROMParameters(const TDriveParams* params);
int32_t CR_SaveSettings();
void CR_StopPlayTrack();
void CR_LockCD(int32_t lock);
void CR_EjectCD(int32_t open);
// The settings file the library writes; empty when it cannot say.
std::string CR_GetSettingsFileName();

// Offsets of the drive-parameter fields the program writes.
constexpr int kParamSectorsPerRead = 256;
constexpr int kParamOverlap = 260;
constexpr int kParamCompare = 264;
constexpr int kParamSpeed = 276;
constexpr int kParamJitterCorrection = 284;
constexpr int kParamRetries = 328;
constexpr int kParamTimeout = 332;
constexpr int kParamMultiRead = 336;
constexpr int kParamMultiReadFirst = 340;
constexpr int kParamMultiReadCount = 344;
constexpr int kParamLockWhileReading = 348;
constexpr int kParamRipMode = 352;
constexpr int kParamParanoiaMode = 356;

constexpr const char* kLibraryFileName = "libcdrip3.so";
constexpr const char* kSettingsFileName = "Tolvane.ini";

// Loads the library from path (default: libcdrip3.so in the executable's folder, else in
// <executable's folder>/../lib/sonvale, where it is installed) and fills the cells. True when
// loaded (also when it already was).
bool LoadCDRipLibrary(const std::string& path = std::string());
bool CDRipLibraryLoaded();
// Runs the program's start-up binding: load, then CR_Init("Tolvane.ini"); sets CDRipReady.
void InitializeCDRip(const std::string& path = std::string());
// Uses a table of functions instead of the library (tests), then CR_Init as at start-up.
void BindCDRipFunctions(const CDRipFunctions& functions);
// Program end: closes the MCI device if open, then unloads the library. No de-init call.
void FinalizeCDRip();
// The folder of the running executable.
std::string ExecutableDir();
// Opens one of the program's own libraries with dlopen: the given path, or when it is empty
// the file name beside the program (a build) or in its private folder ../lib/sonvale (an
// installed package). Null when it cannot be loaded.
void* OpenProgramLibrary(const std::string& path, const char* fileName);

// Results of CR_RipChunk the rippers tell apart; any other value is an error.
constexpr int32_t kRipChunkOk = 0;
constexpr int32_t kRipChunkJitter = 3;  // delivered, but not every sector could be verified
constexpr int32_t kRipChunkDone = 4;

// ---------------------------------------------------------------------------------------
// MCI CD-audio device following the library's active drive

// The MCI send function; tests may replace it.
using MciSendFn = uint32_t (*)(uint32_t device, uint32_t message, uintptr_t flags,
                               uintptr_t params);
extern MciSendFn MciSend;
extern uint32_t MciDeviceID;
extern bool MciDeviceOpen;

uint32_t GetCDAudioDeviceCount();
void OpenCDAudioDevice();
void CloseCDAudioDevice();
void GetMciTrackInfo(uint32_t& trackCount, uint32_t& lastTrackStart, uint32_t& lastTrackLength);
void SelectCDROM(int32_t index);
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
    TTrackEntry Tracks[kMaxTracks];

    // Entry N, 1-based (track index N). N must be 1..kMaxTracks.
    TTrackEntry& Entry(int n) { return Tracks[n - 1]; }
    const TTrackEntry& Entry(int n) const { return Tracks[n - 1]; }
};

extern TDiscInfo DiscInfo;

using cdtiming::kFramesPerMinute;
using cdtiming::kFramesPerSecond;
using cdtiming::kLeadInFrames;
using cdtiming::kSessionGapSectors;

int32_t MsfToFrames(uint32_t msf);
int32_t MsfToSector(uint32_t msf);
uint32_t SectorToMsf(int32_t sector);
uint32_t FramesToMsf(int32_t frames);
uint32_t AddMsf(uint32_t position, uint32_t duration);

// 0 = filled; 1 = the table cannot be read, holds no track or is inconsistent; 6 = not ready.
int32_t ReadDiscInfo(TDiscInfo& info);

}  // namespace CDRipIntf
