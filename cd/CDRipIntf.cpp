#include "CDRipIntf.h"

#include <dlfcn.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "mci.h"

namespace CDRipIntf {

TDriveParams DriveParams{};
CDRipFunctions CDRip;
bool CDRipReady = false;
TDiscInfo DiscInfo;

namespace {
void* libraryHandle = nullptr;
bool functionsBound = false;  // a test table is in use instead of the library
}  // namespace

void SetParam(TDriveParams& params, int offset, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) params.bytes[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t GetParam(const TDriveParams& params, int offset) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(params.bytes[offset + i]) << (8 * i);
    return static_cast<int32_t>(v);
}

// ---------------------------------------------------------------------------------------
// Loading

std::string ExecutableDir() {
    char buf[PATH_MAX];
    std::string path;
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n > 0) {
        path.assign(buf, static_cast<size_t>(n));
    } else if (const auto* started = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
               started && realpath(started, buf)) {
        // No /proc (a bare chroot): the path the program was started by still leads to it.
        path = buf;
    }
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

void* OpenProgramLibrary(const std::string& path, const char* fileName) {
    if (!path.empty()) return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    // Beside the program in a build, in its private library folder once installed.
    for (const char* folder : {"/", "/../lib/sonvale/"}) {
        const std::string file = ExecutableDir() + folder + fileName;
        if (access(file.c_str(), F_OK) == 0) return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    return nullptr;
}

namespace {
template <typename Fn>
void lookUp(Fn& cell, const char* name) {
    cell = reinterpret_cast<Fn>(dlsym(libraryHandle, name));
}
}  // namespace

bool LoadCDRipLibrary(const std::string& path) {
    if (libraryHandle) return true;
    libraryHandle = OpenProgramLibrary(path, kLibraryFileName);
    if (!libraryHandle) return false;
    CDRipFunctions f;
    CDRip = f;
    lookUp(CDRip.Init, "CR_Init");
    lookUp(CDRip.GetNumCDROM, "CR_GetNumCDROM");
    lookUp(CDRip.GetActiveCDROM, "CR_GetActiveCDROM");
    lookUp(CDRip.SetActiveCDROM, "CR_SetActiveCDROM");
    lookUp(CDRip.GetCDROMIDByIndex, "CR_GetCDROMIDByIndex");
    lookUp(CDRip.IsUnitReady, "CR_IsUnitReady");
    lookUp(CDRip.ReadToc, "CR_ReadToc");
    lookUp(CDRip.GetNumTocEntries, "CR_GetNumTocEntries");
    lookUp(CDRip.GetTocEntry2, "CR_GetTocEntry2");
    lookUp(CDRip.OpenRipper, "CR_OpenRipper");
    lookUp(CDRip.RipChunk, "CR_RipChunk");
    lookUp(CDRip.GetPercentCompleted, "CR_GetPercentCompleted");
    lookUp(CDRip.CloseRipper, "CR_CloseRipper");
    lookUp(CDRip.GetCDROMParameters, "CR_GetCDROMParameters");
    lookUp(CDRip.SetCDROMParameters, "CR_SetCDROMParameters");
    lookUp(CDRip.SaveSettings, "CR_SaveSettings");
    lookUp(CDRip.StopPlayTrack, "CR_StopPlayTrack");
    lookUp(CDRip.LockCD, "CR_LockCD");
    lookUp(CDRip.EjectCD, "CR_EjectCD");
    lookUp(CDRip.GetSettingsFileName, "CR_GetSettingsFileName");
    return true;
}

bool CDRipLibraryLoaded() {
    return libraryHandle != nullptr || functionsBound;
}

void InitializeCDRip(const std::string& path) {
    CDRipReady = false;
    if (LoadCDRipLibrary(path)) CDRipReady = CR_Init(kSettingsFileName) == 0;
}

void BindCDRipFunctions(const CDRipFunctions& functions) {
    CDRip = functions;
    functionsBound = true;
    CDRipReady = CR_Init(kSettingsFileName) == 0;
}

void FinalizeCDRip() {
    if (MciDeviceOpen) CloseCDAudioDevice();
    if (libraryHandle) dlclose(libraryHandle);
    libraryHandle = nullptr;
    functionsBound = false;
    CDRip = CDRipFunctions{};
    CDRipReady = false;
}

// ---------------------------------------------------------------------------------------
// Wrappers: an absent library or entry point answers as a failing call would.

int32_t CR_Init(const char* settingsFile) {
    return CDRip.Init ? CDRip.Init(settingsFile) : CDRIP3_ERROR;
}
int32_t CR_GetNumCDROM() {
    return CDRip.GetNumCDROM ? CDRip.GetNumCDROM() : 0;
}
int32_t CR_GetActiveCDROM() {
    return CDRip.GetActiveCDROM ? CDRip.GetActiveCDROM() : 0;
}
void CR_SetActiveCDROM(int32_t index) {
    if (CDRip.SetActiveCDROM) CDRip.SetActiveCDROM(index);
}
std::string CR_GetCDROMIDByIndex(int32_t index) {
    const char* name = CDRip.GetCDROMIDByIndex ? CDRip.GetCDROMIDByIndex(index) : nullptr;
    return name ? std::string(name) : std::string();
}
bool CR_IsUnitReady() {
    // Only the low byte carries the answer.
    return CDRip.IsUnitReady && (CDRip.IsUnitReady() & 0xFF) != 0;
}
int32_t CR_ReadToc() {
    return CDRip.ReadToc ? CDRip.ReadToc() : CDRIP3_ERROR;
}
int32_t CR_GetNumTocEntries() {
    return CDRip.GetNumTocEntries ? CDRip.GetNumTocEntries() : 0;
}
int32_t CR_GetTocEntry2(int32_t index, TTocEntry* entry) {
    if (!CDRip.GetTocEntry2) {
        if (entry) *entry = TTocEntry{};
        return CDRIP3_ERROR;
    }
    return CDRip.GetTocEntry2(index, entry);
}
int32_t CR_OpenRipper(int32_t* bufferSize, int32_t first, int32_t last) {
    return CDRip.OpenRipper ? CDRip.OpenRipper(bufferSize, first, last) : CDRIP3_ERROR;
}
int32_t CR_RipChunk(uint8_t* buffer, int32_t* bytes, int32_t* abort) {
    if (!CDRip.RipChunk) {
        if (bytes) *bytes = 0;
        return CDRIP3_ERROR;
    }
    return CDRip.RipChunk(buffer, bytes, abort);
}
int32_t CR_GetPercentCompleted() {
    return CDRip.GetPercentCompleted ? CDRip.GetPercentCompleted() : 0;
}
int32_t CR_CloseRipper() {
    return CDRip.CloseRipper ? CDRip.CloseRipper() : CDRIP3_ERROR;
}
int32_t CR_GetCDROMParameters(TDriveParams* params) {
    return CDRip.GetCDROMParameters ? CDRip.GetCDROMParameters(params) : CDRIP3_ERROR;
}
int32_t CR_SetCDROMParameters(const TDriveParams* params) {
    return CDRip.SetCDROMParameters ? CDRip.SetCDROMParameters(params) : CDRIP3_ERROR;
}
int32_t CR_SaveSettings() {
    return CDRip.SaveSettings ? CDRip.SaveSettings() : CDRIP3_ERROR;
}
void CR_StopPlayTrack() {
    if (CDRip.StopPlayTrack) CDRip.StopPlayTrack();
}
void CR_LockCD(int32_t lock) {
    if (CDRip.LockCD) CDRip.LockCD(lock);
}
void CR_EjectCD(int32_t open) {
    if (CDRip.EjectCD) CDRip.EjectCD(open);
}
std::string CR_GetSettingsFileName() {
    const char* name = CDRip.GetSettingsFileName ? CDRip.GetSettingsFileName() : nullptr;
    return name ? std::string(name) : std::string();
}

// ---------------------------------------------------------------------------------------
// MCI device

namespace {
uint32_t sendMci(uint32_t device, uint32_t message, uintptr_t flags, uintptr_t params) {
    return mciSendCommandA(device, message, flags, params);
}

// The parameter blocks are shared by every call, as the device routines are not reentrant.
MCI_SYSINFO_PARMSA sysInfoParms;
MCI_OPEN_PARMSA openParms;
MCI_GENERIC_PARMS genericParms;
MCI_STATUS_PARMS statusParms;
MCI_SET_PARMS setParms;
}  // namespace

MciSendFn MciSend = sendMci;
uint32_t MciDeviceID = 0;
bool MciDeviceOpen = false;

uint32_t MciMsfToPacked(uint32_t mciMsf) {
    return (static_cast<uint32_t>(MCI_MSF_MINUTE(mciMsf)) << 16) +
           (static_cast<uint32_t>(MCI_MSF_SECOND(mciMsf)) << 8) + MCI_MSF_FRAME(mciMsf);
}

uint32_t GetCDAudioDeviceCount() {
    uint32_t count = 0;
    sysInfoParms = MCI_SYSINFO_PARMSA{};
    sysInfoParms.lpstrReturn = reinterpret_cast<char*>(&count);
    sysInfoParms.dwRetSize = sizeof(count);
    sysInfoParms.wDeviceType = MCI_DEVTYPE_CD_AUDIO;
    if (MciSend(MciDeviceID, MCI_SYSINFO, MCI_SYSINFO_QUANTITY,
                reinterpret_cast<uintptr_t>(&sysInfoParms)) != 0)
        return 0;
    return count;
}

void OpenCDAudioDevice() {
    if (MciDeviceOpen) return;
    if (!CDRipLibraryLoaded()) return;
    if (CR_GetNumCDROM() == 0) return;
    const int64_t active = CR_GetActiveCDROM();
    const int64_t devices = GetCDAudioDeviceCount();
    if (active + 1 > devices) return;  // the library's drive has no MCI counterpart
    openParms = MCI_OPEN_PARMSA{};
    openParms.lpstrDeviceType = reinterpret_cast<const char*>(
        (static_cast<uintptr_t>(active) << 16) + MCI_DEVTYPE_CD_AUDIO);
    if (MciSend(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID,
                reinterpret_cast<uintptr_t>(&openParms)) == 0) {
        MciDeviceID = openParms.wDeviceID;
        MciDeviceOpen = true;
    }
}

void CloseCDAudioDevice() {
    if (!MciDeviceOpen) return;
    genericParms = MCI_GENERIC_PARMS{};
    if (MciSend(MciDeviceID, MCI_CLOSE, 0, reinterpret_cast<uintptr_t>(&genericParms)) == 0)
        MciDeviceOpen = false;
}

void GetMciTrackInfo(uint32_t& trackCount, uint32_t& lastTrackStart, uint32_t& lastTrackLength) {
    trackCount = lastTrackStart = lastTrackLength = 0;
    if (!MciDeviceOpen) return;
    statusParms = MCI_STATUS_PARMS{};
    statusParms.dwItem = MCI_STATUS_NUMBER_OF_TRACKS;
    if (MciSend(MciDeviceID, MCI_STATUS, MCI_STATUS_ITEM,
                reinterpret_cast<uintptr_t>(&statusParms)) != 0)
        return;
    const auto n = static_cast<uint32_t>(statusParms.dwReturn);
    trackCount = n;
    setParms = MCI_SET_PARMS{};
    setParms.dwTimeFormat = MCI_FORMAT_MSF;
    if (MciSend(MciDeviceID, MCI_SET, MCI_SET_TIME_FORMAT,
                reinterpret_cast<uintptr_t>(&setParms)) != 0)
        return;
    statusParms = MCI_STATUS_PARMS{};
    statusParms.dwItem = MCI_STATUS_POSITION;
    statusParms.dwTrack = n;
    if (MciSend(MciDeviceID, MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK,
                reinterpret_cast<uintptr_t>(&statusParms)) != 0)
        return;
    lastTrackStart = MciMsfToPacked(static_cast<uint32_t>(statusParms.dwReturn));
    statusParms = MCI_STATUS_PARMS{};
    statusParms.dwItem = MCI_STATUS_LENGTH;
    statusParms.dwTrack = n;
    if (MciSend(MciDeviceID, MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK,
                reinterpret_cast<uintptr_t>(&statusParms)) != 0)
        return;
    lastTrackLength = MciMsfToPacked(static_cast<uint32_t>(statusParms.dwReturn));
}

void SelectCDROM(int32_t index) {
    if (!CDRipLibraryLoaded()) return;
    const int32_t n = CR_GetNumCDROM();
    if (index > n - 1 || index < 0) return;
    if (index == CR_GetActiveCDROM()) return;
    CR_SetActiveCDROM(index);
    CloseCDAudioDevice();
    if (static_cast<uint32_t>(index) < GetCDAudioDeviceCount()) OpenCDAudioDevice();
}

// ---------------------------------------------------------------------------------------
// Time conversions

int32_t MsfToFrames(uint32_t msf) {
    return static_cast<int32_t>((msf >> 16) & 0xFF) * kFramesPerMinute +
           static_cast<int32_t>((msf >> 8) & 0xFF) * kFramesPerSecond +
           static_cast<int32_t>(msf & 0xFF);
}

int32_t MsfToSector(uint32_t msf) {
    return MsfToFrames(msf) - kLeadInFrames;
}

namespace {
uint32_t pack(int32_t minutes, int32_t seconds, int32_t frames) {
    // Minutes are not masked: a value past 255 spills into the upper byte rather than wrap.
    return (static_cast<uint32_t>(minutes) << 16) + (static_cast<uint32_t>(seconds) << 8) +
           static_cast<uint32_t>(frames);
}
}  // namespace

uint32_t SectorToMsf(int32_t sector) {
    const int32_t frames = sector % kFramesPerSecond;
    // In 64 bits: a sector near the top of the range (a library reporting garbage) must
    // not overflow on the way to its meaningless but well-defined time.
    const int64_t t = int64_t(sector) + kLeadInFrames;
    return pack(static_cast<int32_t>(t / kFramesPerMinute),
                static_cast<int32_t>((t / kFramesPerSecond) % 60), frames);
}

uint32_t FramesToMsf(int32_t count) {
    return pack(count / kFramesPerMinute, (count / kFramesPerSecond) % 60,
                count % kFramesPerSecond);
}

uint32_t AddMsf(uint32_t position, uint32_t duration) {
    return SectorToMsf(MsfToSector(position) + MsfToFrames(duration));
}

// ---------------------------------------------------------------------------------------
// Disc information

int32_t ReadDiscInfo(TDiscInfo& info) {
    info.TrackCount = 0;
    if (!CR_IsUnitReady()) return CDRIP3_NOT_READY;
    if (CR_ReadToc() != 0) return CDRIP3_ERROR;
    const int32_t n = CR_GetNumTocEntries();
    if (n < 1 || n > kMaxTracks) return CDRIP3_ERROR;

    // Fetch the whole table first, so an inconsistent one leaves the record untouched
    // rather than half-filled with wrapped-around lengths.
    TTocEntry toc[kMaxTracks + 1];
    for (int32_t k = 0; k <= n; ++k) {
        toc[k] = TTocEntry{};
        if (CDRipIntf::CR_GetTocEntry2(k, &toc[k]) != 0) return CDRIP3_ERROR;
    }
    for (int32_t k = 0; k < n; ++k) {
        if (toc[k].dwStartSector > static_cast<uint32_t>(INT32_MAX)) return CDRIP3_ERROR;
        if (toc[k + 1].dwStartSector <= toc[k].dwStartSector) return CDRIP3_ERROR;
    }
    if (toc[n].dwStartSector > static_cast<uint32_t>(INT32_MAX)) return CDRIP3_ERROR;

    info.AudioLength = 0;
    info.LeadOut = SectorToMsf(static_cast<int32_t>(toc[n].dwStartSector));
    for (int32_t k = n - 1; k >= 0; --k) {
        const TTocEntry& t = toc[k];
        const TTocEntry& next = toc[k + 1];
        TTrackEntry& entry = info.Tracks[k];
        const bool audio = (t.btFlag & 4) == 0;
        const int64_t start = t.dwStartSector;
        // Only a CD-Extra layout, an audio track followed by the data track of a later
        // session, puts a session gap before the next entry; sessions the library does not
        // know (0) say nothing.
        const bool cdExtra = audio && k + 1 < n && (next.btFlag & 4) != 0 && t.btSession != 0 &&
                             next.btSession > t.btSession;
        const int64_t end = cdtiming::trackEnd(start, next.dwStartSector, cdExtra);
        entry.TrackNumber = t.btTrackNumber;
        entry.Audio = audio ? 1 : 0;
        entry.Start = SectorToMsf(static_cast<int32_t>(start));
        entry.LengthSectors = static_cast<uint32_t>(end - start);
        entry.Length = FramesToMsf(static_cast<int32_t>(entry.LengthSectors));
        entry.StartSector = t.dwStartSector;
        if (k == 0) info.FirstTrack = t.btTrackNumber;
        if (k == n - 1) info.LastTrack = t.btTrackNumber;
    }
    info.FirstTrackStart = SectorToMsf(static_cast<int32_t>(toc[0].dwStartSector));
    info.TrackCount = static_cast<int16_t>(n);

    uint32_t mciTracks = 0, mciStart = 0, mciLength = 0;
    GetMciTrackInfo(mciTracks, mciStart, mciLength);
    if (mciTracks > 0 && mciTracks <= static_cast<uint32_t>(n))
        info.Entry(static_cast<int>(mciTracks)).Length = mciLength;

    info.DiscEnd = AddMsf(info.Entry(n).Start, info.Entry(n).Length);

    bool anyAudio = false, anyData = false;
    int64_t audioSectors = 0;
    for (int32_t k = 1; k <= n; ++k) {
        if (info.Entry(k).Audio == 1) {
            anyAudio = true;
            audioSectors += info.Entry(k).LengthSectors;
        } else {
            anyData = true;
        }
    }
    info.DiscType = anyAudio && anyData ? 2 : (anyAudio ? 1 : 0);
    if (info.DiscType != 0) info.AudioLength = FramesToMsf(static_cast<int32_t>(audioSectors));
    return 0;
}

}  // namespace CDRipIntf
