// The program's hold on the CD drives: the binding to the CD ripping library, the record of
// the disc in the active drive, the drive-parameter block and the MCI CD-audio device that
// follows the library's active drive. The program owns one session, made before its window
// and torn down after it; tests make their own and bind scripted libraries into it.
//
// Threads: the session is set up (Load / Initialize / BindFunctions, SetMciSend) on the
// user-interface thread before any other thread starts, and its entry-point cells are only
// read afterwards, so the window's thread (CR_IsUnitReady, CR_GetNumCDROM, CR_GetActiveCDROM,
// CR_GetCDROMIDByIndex, the settings), the drive thread (TDriveWorker: SelectCDROM,
// ReadDiscInfo, CR_GetCDText, CR_EjectCD) and a rip thread (CR_OpenRipper, CR_RipChunk,
// CR_GetPercentCompleted, CR_CloseRipper, CR_GetCDROMParameters, CR_SetCDROMParameters,
// CR_LockCD, CR_StopPlayTrack, CR_GetNumTocEntries) may call the library at the same time: it
// locks internally. The session's MCI device belongs to the drive thread while it runs, and to
// the user-interface thread before and after (Finalize). The disc record and the parameter
// block belong to the user-interface thread, except that a running batch may read the disc
// record and fill the parameter block while the window leaves them alone.
#pragma once

#include <cstdint>
#include <string>

#include "CDRipIntf.h"

namespace CDRipIntf {

class TCDSession {
public:
    TCDSession() = default;
    // Finalizes: closes the MCI device if open and unloads the library.
    ~TCDSession();
    TCDSession(const TCDSession&) = delete;
    TCDSession& operator=(const TCDSession&) = delete;

    // ---------------------------------------------------------------------------------
    // The binding (user-interface thread, before any rip thread)

    // Loads the library from path (default: libcdrip3.so in the executable's folder, else
    // in <executable's folder>/../lib/sonvale, where it is installed) and fills the cells.
    // True when loaded (also when it already was).
    bool Load(const std::string& path = std::string());
    // True while the library is loaded or a table of functions stands in for it.
    bool Loaded() const { return handle_ != nullptr || functionsBound_; }
    // The program's start-up binding: load, then CR_Init("Tolvane.ini"); sets Ready().
    void Initialize(const std::string& path = std::string());
    // Uses a table of functions instead of the library (tests), then CR_Init as at start-up.
    void BindFunctions(const CDRipFunctions& functions);
    // Program end: closes the MCI device if open, then unloads the library. No de-init call.
    void Finalize();
    // True once CR_Init has succeeded.
    bool Ready() const { return ready_; }

    // The record of the disc in the active drive, as the window last read it.
    TDiscInfo& Disc() { return disc_; }
    const TDiscInfo& Disc() const { return disc_; }
    // The drive-parameter block the window and the batches fill, zero at start.
    TDriveParams& Params() { return params_; }

    // ---------------------------------------------------------------------------------
    // The library's calls. Every one is safe with the library absent: it does nothing and
    // answers 0 / false / "" (failure for calls whose 0 means success). They keep the
    // library's names; being members, they are always reached through a session, so no call
    // can slip past the binding to the library's own declaration.

    int32_t CR_Init(const char* settingsFile);
    int32_t CR_GetNumCDROM();
    int32_t CR_GetActiveCDROM();
    void CR_SetActiveCDROM(int32_t index);
    std::string CR_GetCDROMIDByIndex(int32_t index);
    bool CR_IsUnitReady();
    int32_t CR_ReadToc();
    int32_t CR_GetNumTocEntries();  // also from a rip thread
    int32_t CR_GetTocEntry2(int32_t index, TTocEntry* entry);
    // The ripping process; a rip thread's calls.
    int32_t CR_OpenRipper(int32_t* bufferSize, int32_t first, int32_t last);
    // As CR_OpenRipper, with no read offset applied (CDRIP3_ERROR without the call).
    int32_t CR_OpenRawRipper(int32_t* bufferSize, int32_t first, int32_t last);
    // Whether the drive's read offset can be found from a disc and kept as found.
    bool FindsReadOffsets() const { return cells_.OpenRawRipper && KeepsReadOffsetSources(); }
    int32_t CR_RipChunk(uint8_t* buffer, int32_t* bytes, int32_t* abort);
    int32_t CR_GetPercentCompleted();
    int32_t CR_CloseRipper();
    int32_t CR_GetCDROMParameters(TDriveParams* params);        // also from a rip thread
    int32_t CR_SetCDROMParameters(const TDriveParams* params);  // also from a rip thread
    int32_t CR_SaveSettings();
    // The active drive's read offset in samples (0 without the library), and setting it.
    int32_t CR_GetReadOffset();
    int32_t CR_SetReadOffset(int32_t samples);
    // Where the active drive's offset came from (kOffsetFrom*; a library without the call
    // keeps the user's offsets only), and setting the offset with its source (CDRIP3_ERROR
    // without the call).
    int32_t CR_GetReadOffsetFrom();
    int32_t CR_SetReadOffsetFrom(int32_t samples, int32_t from);
    // Whether the library keeps where each offset came from: without, no offset can be
    // taken from elsewhere than the user.
    bool KeepsReadOffsetSources() const {
        return cells_.GetReadOffsetFrom && cells_.SetReadOffsetFrom;
    }
    // The active drive's vendor, product and revision as it gave them; all empty without
    // the library or the call (CDRIP3_ERROR then). Answered without waiting on the drive.
    int32_t CR_GetDriveIdentity(TDriveIdentity* identity);
    void CR_StopPlayTrack();       // also from a rip thread
    void CR_LockCD(int32_t lock);  // also from a rip thread
    void CR_EjectCD(int32_t open);
    // The settings file the library writes; empty when it cannot say.
    std::string CR_GetSettingsFileName();
    // A field (CR_CDTEXT_*) of the CD-Text the last CR_ReadToc read: track 0 the disc, i the
    // table's i-th track. UTF-8; empty when absent, and with a library that has no such call.
    std::string CR_GetCDText(int32_t track, int32_t field);

    // Whether drive index is the device at node, as udev names it. A real drive's name ends
    // with its device path, "<vendor> <model> (<device>)" (then " #2" when the name was
    // taken), and that path may be a symlink to node (CDRIP3_DEVICES naming /dev/cdrom, udev
    // /dev/sr0). Image drives are no device.
    bool DriveIsDevice(int32_t index, const std::string& node);

    // 0 = filled; 1 = the table cannot be read, holds no track or is inconsistent;
    // 6 = not ready. Reads through this session's library and MCI device.
    int32_t ReadDiscInfo(TDiscInfo& info);

    // ---------------------------------------------------------------------------------
    // The MCI CD-audio device following the library's active drive (user-interface thread)

    // The MCI send function; tests replace it before the session is used.
    void SetMciSend(MciSendFn send) { mciSend_ = send; }
    uint32_t SendMci(uint32_t device, uint32_t message, uintptr_t flags, uintptr_t params) const {
        return mciSend_(device, message, flags, params);
    }
    uint32_t MciDeviceID() const { return mciDeviceId_; }
    bool MciDeviceOpen() const { return mciDeviceOpen_; }

    uint32_t GetCDAudioDeviceCount();
    void OpenCDAudioDevice();
    void CloseCDAudioDevice();
    void GetMciTrackInfo(uint32_t& trackCount, uint32_t& lastTrackStart, uint32_t& lastTrackLength);
    // Makes drive index the library's active drive and moves the MCI device along.
    void SelectCDROM(int32_t index);

private:
    void* handle_ = nullptr;
    bool functionsBound_ = false;  // a test table is in use instead of the library
    CDRipFunctions cells_;
    bool ready_ = false;
    TDiscInfo disc_;
    TDriveParams params_{};
    MciSendFn mciSend_ = SendMciCommand;
    uint32_t mciDeviceId_ = 0;
    bool mciDeviceOpen_ = false;
};

}  // namespace CDRipIntf
