#include "CDSession.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>
#include <system_error>

#include "mci.h"

namespace CDRipIntf {

TCDSession::~TCDSession() {
    Finalize();
}

// ---------------------------------------------------------------------------------------
// Loading

namespace {
template <typename Fn>
void lookUp(void* handle, Fn& cell, const char* name) {
    cell = reinterpret_cast<Fn>(dlsym(handle, name));
}
}  // namespace

bool TCDSession::Load(const std::string& path) {
    if (handle_) return true;
    handle_ = OpenProgramLibrary(path, kLibraryFileName);
    if (!handle_) return false;
    CDRipFunctions& f = cells_;
    f = CDRipFunctions{};
    lookUp(handle_, f.Init, "CR_Init");
    lookUp(handle_, f.GetNumCDROM, "CR_GetNumCDROM");
    lookUp(handle_, f.GetActiveCDROM, "CR_GetActiveCDROM");
    lookUp(handle_, f.SetActiveCDROM, "CR_SetActiveCDROM");
    lookUp(handle_, f.GetCDROMIDByIndex, "CR_GetCDROMIDByIndex");
    lookUp(handle_, f.IsUnitReady, "CR_IsUnitReady");
    lookUp(handle_, f.ReadToc, "CR_ReadToc");
    lookUp(handle_, f.GetNumTocEntries, "CR_GetNumTocEntries");
    lookUp(handle_, f.GetTocEntry2, "CR_GetTocEntry2");
    lookUp(handle_, f.OpenRipper, "CR_OpenRipper");
    lookUp(handle_, f.RipChunk, "CR_RipChunk");
    lookUp(handle_, f.GetPercentCompleted, "CR_GetPercentCompleted");
    lookUp(handle_, f.CloseRipper, "CR_CloseRipper");
    lookUp(handle_, f.GetCDROMParameters, "CR_GetCDROMParameters");
    lookUp(handle_, f.SetCDROMParameters, "CR_SetCDROMParameters");
    lookUp(handle_, f.SaveSettings, "CR_SaveSettings");
    lookUp(handle_, f.GetReadOffset, "CR_GetReadOffset");
    lookUp(handle_, f.SetReadOffset, "CR_SetReadOffset");
    lookUp(handle_, f.StopPlayTrack, "CR_StopPlayTrack");
    lookUp(handle_, f.LockCD, "CR_LockCD");
    lookUp(handle_, f.EjectCD, "CR_EjectCD");
    lookUp(handle_, f.GetSettingsFileName, "CR_GetSettingsFileName");
    lookUp(handle_, f.GetCDText, "CR_GetCDText");
    lookUp(handle_, f.GetReadOffsetFrom, "CR_GetReadOffsetFrom");
    lookUp(handle_, f.SetReadOffsetFrom, "CR_SetReadOffsetFrom");
    lookUp(handle_, f.GetDriveIdentity, "CR_GetDriveIdentity");
    lookUp(handle_, f.OpenRawRipper, "CR_OpenRawRipper");
    return true;
}

void TCDSession::Initialize(const std::string& path) {
    ready_ = false;
    if (Load(path)) ready_ = CR_Init(kSettingsFileName) == 0;
}

void TCDSession::BindFunctions(const CDRipFunctions& functions) {
    cells_ = functions;
    functionsBound_ = true;
    ready_ = CR_Init(kSettingsFileName) == 0;
}

void TCDSession::Finalize() {
    if (mciDeviceOpen_) CloseCDAudioDevice();
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
    functionsBound_ = false;
    cells_ = CDRipFunctions{};
    ready_ = false;
}

// ---------------------------------------------------------------------------------------
// Wrappers: an absent library or entry point answers as a failing call would.

int32_t TCDSession::CR_Init(const char* settingsFile) {
    return cells_.Init ? cells_.Init(settingsFile) : CDRIP3_ERROR;
}
int32_t TCDSession::CR_GetNumCDROM() {
    return cells_.GetNumCDROM ? cells_.GetNumCDROM() : 0;
}
int32_t TCDSession::CR_GetActiveCDROM() {
    return cells_.GetActiveCDROM ? cells_.GetActiveCDROM() : 0;
}
void TCDSession::CR_SetActiveCDROM(int32_t index) {
    if (cells_.SetActiveCDROM) cells_.SetActiveCDROM(index);
}
std::string TCDSession::CR_GetCDROMIDByIndex(int32_t index) {
    const char* name = cells_.GetCDROMIDByIndex ? cells_.GetCDROMIDByIndex(index) : nullptr;
    return name ? std::string(name) : std::string();
}
bool TCDSession::CR_IsUnitReady() {
    // Only the low byte carries the answer.
    return cells_.IsUnitReady && (cells_.IsUnitReady() & 0xFF) != 0;
}
int32_t TCDSession::CR_ReadToc() {
    return cells_.ReadToc ? cells_.ReadToc() : CDRIP3_ERROR;
}
int32_t TCDSession::CR_GetNumTocEntries() {
    return cells_.GetNumTocEntries ? cells_.GetNumTocEntries() : 0;
}
int32_t TCDSession::CR_GetTocEntry2(int32_t index, TTocEntry* entry) {
    if (!cells_.GetTocEntry2) {
        if (entry) *entry = TTocEntry{};
        return CDRIP3_ERROR;
    }
    return cells_.GetTocEntry2(index, entry);
}
int32_t TCDSession::CR_OpenRipper(int32_t* bufferSize, int32_t first, int32_t last) {
    return cells_.OpenRipper ? cells_.OpenRipper(bufferSize, first, last) : CDRIP3_ERROR;
}
int32_t TCDSession::CR_OpenRawRipper(int32_t* bufferSize, int32_t first, int32_t last) {
    return cells_.OpenRawRipper ? cells_.OpenRawRipper(bufferSize, first, last) : CDRIP3_ERROR;
}
int32_t TCDSession::CR_RipChunk(uint8_t* buffer, int32_t* bytes, int32_t* abort) {
    if (!cells_.RipChunk) {
        if (bytes) *bytes = 0;
        return CDRIP3_ERROR;
    }
    return cells_.RipChunk(buffer, bytes, abort);
}
int32_t TCDSession::CR_GetPercentCompleted() {
    return cells_.GetPercentCompleted ? cells_.GetPercentCompleted() : 0;
}
int32_t TCDSession::CR_CloseRipper() {
    return cells_.CloseRipper ? cells_.CloseRipper() : CDRIP3_ERROR;
}
int32_t TCDSession::CR_GetCDROMParameters(TDriveParams* params) {
    return cells_.GetCDROMParameters ? cells_.GetCDROMParameters(params) : CDRIP3_ERROR;
}
int32_t TCDSession::CR_SetCDROMParameters(const TDriveParams* params) {
    return cells_.SetCDROMParameters ? cells_.SetCDROMParameters(params) : CDRIP3_ERROR;
}
int32_t TCDSession::CR_SaveSettings() {
    return cells_.SaveSettings ? cells_.SaveSettings() : CDRIP3_ERROR;
}
int32_t TCDSession::CR_GetReadOffset() {
    return cells_.GetReadOffset ? cells_.GetReadOffset() : 0;
}
int32_t TCDSession::CR_SetReadOffset(int32_t samples) {
    return cells_.SetReadOffset ? cells_.SetReadOffset(samples) : CDRIP3_ERROR;
}
int32_t TCDSession::CR_GetReadOffsetFrom() {
    if (cells_.GetReadOffsetFrom) return cells_.GetReadOffsetFrom();
    // A library that keeps no source has only the offsets the user typed.
    return CR_GetReadOffset() != 0 ? kOffsetFromUser : kOffsetFromNone;
}
int32_t TCDSession::CR_SetReadOffsetFrom(int32_t samples, int32_t from) {
    return cells_.SetReadOffsetFrom ? cells_.SetReadOffsetFrom(samples, from) : CDRIP3_ERROR;
}
int32_t TCDSession::CR_GetDriveIdentity(TDriveIdentity* identity) {
    if (!cells_.GetDriveIdentity) {
        if (identity) *identity = TDriveIdentity{};
        return CDRIP3_ERROR;
    }
    return cells_.GetDriveIdentity(identity);
}
void TCDSession::CR_StopPlayTrack() {
    if (cells_.StopPlayTrack) cells_.StopPlayTrack();
}
void TCDSession::CR_LockCD(int32_t lock) {
    if (cells_.LockCD) cells_.LockCD(lock);
}
void TCDSession::CR_EjectCD(int32_t open) {
    if (cells_.EjectCD) cells_.EjectCD(open);
}
std::string TCDSession::CR_GetSettingsFileName() {
    const char* name = cells_.GetSettingsFileName ? cells_.GetSettingsFileName() : nullptr;
    return name ? std::string(name) : std::string();
}
std::string TCDSession::CR_GetCDText(int32_t track, int32_t field) {
    const char* text = cells_.GetCDText ? cells_.GetCDText(track, field) : nullptr;
    return text ? std::string(text) : std::string();
}

// ---------------------------------------------------------------------------------------
// MCI device. Each call fills its own parameter block: the MCI layer reads and answers it
// within the call and keeps no pointer to it.

uint32_t TCDSession::GetCDAudioDeviceCount() {
    uint32_t count = 0;
    MCI_SYSINFO_PARMSA sysInfo{};
    sysInfo.lpstrReturn = reinterpret_cast<char*>(&count);
    sysInfo.dwRetSize = sizeof(count);
    sysInfo.wDeviceType = MCI_DEVTYPE_CD_AUDIO;
    if (SendMci(mciDeviceId_, MCI_SYSINFO, MCI_SYSINFO_QUANTITY,
                reinterpret_cast<uintptr_t>(&sysInfo)) != 0)
        return 0;
    return count;
}

void TCDSession::OpenCDAudioDevice() {
    if (mciDeviceOpen_) return;
    if (!Loaded()) return;
    if (CR_GetNumCDROM() == 0) return;
    const int64_t active = CR_GetActiveCDROM();
    const int64_t devices = GetCDAudioDeviceCount();
    if (active + 1 > devices) return;  // the library's drive has no MCI counterpart
    MCI_OPEN_PARMSA open{};
    open.lpstrDeviceType = reinterpret_cast<const char*>((static_cast<uintptr_t>(active) << 16) +
                                                         MCI_DEVTYPE_CD_AUDIO);
    if (SendMci(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID,
                reinterpret_cast<uintptr_t>(&open)) == 0) {
        mciDeviceId_ = open.wDeviceID;
        mciDeviceOpen_ = true;
    }
}

void TCDSession::CloseCDAudioDevice() {
    if (!mciDeviceOpen_) return;
    MCI_GENERIC_PARMS generic{};
    if (SendMci(mciDeviceId_, MCI_CLOSE, 0, reinterpret_cast<uintptr_t>(&generic)) == 0)
        mciDeviceOpen_ = false;
}

void TCDSession::GetMciTrackInfo(uint32_t& trackCount, uint32_t& lastTrackStart,
                                 uint32_t& lastTrackLength) {
    trackCount = lastTrackStart = lastTrackLength = 0;
    if (!mciDeviceOpen_) return;
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_NUMBER_OF_TRACKS;
    if (SendMci(mciDeviceId_, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<uintptr_t>(&status)) !=
        0)
        return;
    const auto n = static_cast<uint32_t>(status.dwReturn);
    trackCount = n;
    MCI_SET_PARMS set{};
    set.dwTimeFormat = MCI_FORMAT_MSF;
    if (SendMci(mciDeviceId_, MCI_SET, MCI_SET_TIME_FORMAT, reinterpret_cast<uintptr_t>(&set)) != 0)
        return;
    status = MCI_STATUS_PARMS{};
    status.dwItem = MCI_STATUS_POSITION;
    status.dwTrack = n;
    if (SendMci(mciDeviceId_, MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK,
                reinterpret_cast<uintptr_t>(&status)) != 0)
        return;
    lastTrackStart = MciMsfToPacked(static_cast<uint32_t>(status.dwReturn));
    status = MCI_STATUS_PARMS{};
    status.dwItem = MCI_STATUS_LENGTH;
    status.dwTrack = n;
    if (SendMci(mciDeviceId_, MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK,
                reinterpret_cast<uintptr_t>(&status)) != 0)
        return;
    lastTrackLength = MciMsfToPacked(static_cast<uint32_t>(status.dwReturn));
}

void TCDSession::SelectCDROM(int32_t index) {
    if (!Loaded()) return;
    const int32_t n = CR_GetNumCDROM();
    if (index > n - 1 || index < 0) return;
    if (index == CR_GetActiveCDROM()) return;
    CR_SetActiveCDROM(index);
    CloseCDAudioDevice();
    if (static_cast<uint32_t>(index) < GetCDAudioDeviceCount()) OpenCDAudioDevice();
}

namespace {
// The path a link leads to, or the path itself when it leads nowhere (a node already gone).
std::string resolvedPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
    return error ? path : resolved.string();
}
}  // namespace

bool TCDSession::DriveIsDevice(int32_t index, const std::string& node) {
    if (node.empty()) return false;
    std::string name = CR_GetCDROMIDByIndex(index);
    if (name.empty() || name.rfind("Image: ", 0) == 0) return false;
    // " #2", " #3", ... after a name that was taken.
    if (const size_t hash = name.rfind(" #"); hash != std::string::npos) {
        const std::string digits = name.substr(hash + 2);
        if (!digits.empty() && std::all_of(digits.begin(), digits.end(),
                                           [](unsigned char c) { return std::isdigit(c) != 0; }))
            name.erase(hash);
    }
    if (name.empty() || name.back() != ')') return false;
    const std::string wanted = resolvedPath(node);
    // A vendor, a model or a path may hold " (" itself: every place it could start is tried.
    for (size_t open = name.find(" ("); open != std::string::npos;
         open = name.find(" (", open + 1)) {
        const std::string device = name.substr(open + 2, name.size() - open - 3);
        if (!device.empty() && (device == node || resolvedPath(device) == wanted)) return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------
// Disc information

int32_t TCDSession::ReadDiscInfo(TDiscInfo& info) {
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
        if (CR_GetTocEntry2(k, &toc[k]) != 0) return CDRIP3_ERROR;
    }
    for (int32_t k = 0; k < n; ++k) {
        if (toc[k].dwStartSector > static_cast<uint32_t>(INT32_MAX)) return CDRIP3_ERROR;
        if (toc[k + 1].dwStartSector <= toc[k].dwStartSector) return CDRIP3_ERROR;
    }
    if (toc[n].dwStartSector > static_cast<uint32_t>(INT32_MAX)) return CDRIP3_ERROR;

    info.AudioLength = 0;
    info.LeadOut = SectorToMsf(static_cast<int32_t>(toc[n].dwStartSector));
    info.LeadOutSector = toc[n].dwStartSector;
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
