// The media control interface for CD audio over the shared drive model. See mci.h for the
// behaviour, mcitime.h for the time values.
#include "mci.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "drivemodel.h"
#include "mciaudio.h"
#include "mcitime.h"
#include "playback.h"

namespace svmci {
namespace {

// One open device. While a playback runs, and after it ended until the next PLAY or SEEK,
// the playback is the source of the current position.
struct Device {
    MCIDEVICEID id = 0;
    int drive = 0;  // index in the drive model
    DWORD timeFormat = MCI_FORMAT_MSF;
    bool paused = false;       // MCI_PAUSE: not playing, but reported as paused
    bool positionSet = false;  // false: the current position is the disc's start
    uint32_t position = 0;     // logical sector of the current position
    std::shared_ptr<Playback> playback;
    std::string alias;       // MCI_OPEN_ALIAS, kept for a later string interface
    DWORD_PTR callback = 0;  // dwCallback of the last MCI_NOTIFY command
};

// What a command leaves to do once the MCI lock is released: joining stopped playbacks
// (their notification may call back into MCI), then starting the new one.
struct Deferred {
    std::vector<std::shared_ptr<Playback>> stopped;
    std::shared_ptr<Playback> start;
    bool waitForStart = false;  // MCI_PLAY with MCI_WAIT

    void run() {
        for (auto& p : stopped) p->join();
        if (start) {
            start->start();
            if (waitForStart) start->waitDone();
        }
    }
};

// Ends the device's playback (code: how its notification reads) and makes its position
// the device's own. The worker is joined later, by Deferred.
void stopPlayback(Device& dev, UINT code, Deferred& later) {
    if (!dev.playback) return;
    dev.playback->requestStop(code);
    later.stopped.push_back(dev.playback);
}

// Drops the playback entirely (a new position or a new playback takes over).
void dropPlayback(Device& dev, UINT code, Deferred& later) {
    if (!dev.playback) return;
    stopPlayback(dev, code, later);
    dev.playback.reset();
}

class Registry {
public:
    std::mutex mutex;

    Device* find(MCIDEVICEID id) {
        auto it = devices_.find(id);
        return it == devices_.end() ? nullptr : it->second.get();
    }

    Device* add(int drive) {
        MCIDEVICEID id = nextId_;
        while (id == 0 || id == MCI_ALL_DEVICE_ID || devices_.count(id)) ++id;
        nextId_ = id + 1;
        auto dev = std::make_unique<Device>();
        dev->id = id;
        dev->drive = drive;
        Device* raw = dev.get();
        devices_.emplace(id, std::move(dev));
        return raw;
    }

    void remove(MCIDEVICEID id) { devices_.erase(id); }
    size_t size() const { return devices_.size(); }

    template <typename F>
    void forEach(F f) {
        for (auto& [id, dev] : devices_) f(*dev);
    }
    void clear() { devices_.clear(); }

private:
    std::map<MCIDEVICEID, std::unique_ptr<Device>> devices_;
    MCIDEVICEID nextId_ = 1;
};

Registry& registry() {
    static Registry* r = new Registry;  // never destroyed: usable until process exit
    return *r;
}

svdrives::DriveModel& model() {
    return svdrives::DriveModel::instance();
}

// The disc's TOC: 0, MCIERR_DEVICE_NOT_READY (no disc) or MCIERR_HARDWARE (unreadable).
MCIERROR loadToc(const Device& dev, svdrives::Toc* toc) {
    svdrives::Drive* drive = model().drive(dev.drive);
    if (!drive || !drive->unitReady()) return MCIERR_DEVICE_NOT_READY;
    toc->tracks.clear();
    toc->leadOut = 0;
    if (!drive->readToc(toc)) {
        return drive->unitReady() ? MCIERR_HARDWARE : MCIERR_DEVICE_NOT_READY;
    }
    if (toc->tracks.empty()) return MCIERR_HARDWARE;
    return 0;
}

bool mediaPresent(const Device& dev) {
    svdrives::Drive* drive = model().drive(dev.drive);
    return drive && drive->unitReady();
}

// The current position: where the playback is (or ended), else where the device was
// put; the first track's start when nothing was set or the position is off this disc.
uint32_t currentPosition(const Device& dev, const svdrives::Toc& toc) {
    const uint32_t first = toc.tracks.front().startSector;
    const uint32_t pos = dev.playback ? dev.playback->position() : dev.position;
    if ((!dev.playback && !dev.positionSet) || pos > toc.leadOut) return first;
    return pos;
}

// One past the last sector of the last audio track (the session gap of a CD-Extra disc
// is not part of it); 0 when the disc has no audio track.
uint32_t audioEnd(const svdrives::Toc& toc) {
    for (int i = static_cast<int>(toc.tracks.size()) - 1; i >= 0; --i) {
        if (!toc.tracks[i].data) return toc.tracks[i].startSector + trackSectors(toc, i);
    }
    return 0;
}

// The first audio sector at or after lsn: a position in a data track moves to the next
// audio track (to end when there is none).
uint32_t skipData(const svdrives::Toc& toc, uint32_t lsn, uint32_t end) {
    const int i = trackAt(toc, lsn);
    if (lsn < toc.tracks[i].startSector || !toc.tracks[i].data) return lsn;
    for (size_t j = size_t(i) + 1; j < toc.tracks.size(); ++j) {
        if (!toc.tracks[j].data) return std::min(toc.tracks[j].startSector, end);
    }
    return end;
}

DWORD deviceMode(const Device& dev) {
    if (dev.playback && dev.playback->playing()) return MCI_MODE_PLAY;
    return dev.paused ? MCI_MODE_PAUSE : MCI_MODE_STOP;
}

// 0-based TOC index for a 1-based dwTrack, or -1.
int trackIndex(const svdrives::Toc& toc, DWORD track) {
    if (track < 1 || track > toc.tracks.size()) return -1;
    return static_cast<int>(track) - 1;
}

// --- MCI_SYSINFO -------------------------------------------------------------------------

MCIERROR sysinfo(DWORD_PTR flags, MCI_SYSINFO_PARMSA* p) {
    if (!p) return MCIERR_NULL_PARAMETER_BLOCK;
    const bool cdType = p->wDeviceType == 0 || p->wDeviceType == MCI_DEVTYPE_CD_AUDIO;
    if (flags & MCI_SYSINFO_QUANTITY) {
        if (flags & MCI_SYSINFO_NAME) return MCIERR_FLAGS_NOT_COMPATIBLE;
        if (!p->lpstrReturn) return MCIERR_MISSING_PARAMETER;
        if (p->dwRetSize < sizeof(uint32_t)) return MCIERR_PARAM_OVERFLOW;
        uint32_t n = 0;
        if (cdType) {
            n = (flags & MCI_SYSINFO_OPEN) ? static_cast<uint32_t>(registry().size())
                                           : static_cast<uint32_t>(std::max(0, model().count()));
        }
        std::memcpy(p->lpstrReturn, &n, sizeof n);
        return 0;
    }
    if (flags & MCI_SYSINFO_NAME) {
        if (!p->lpstrReturn) return MCIERR_MISSING_PARAMETER;
        if (!cdType || (flags & MCI_SYSINFO_OPEN)) return MCIERR_UNSUPPORTED_FUNCTION;
        if (p->dwNumber < 1 || p->dwNumber > static_cast<DWORD>(std::max(0, model().count()))) {
            return MCIERR_OUTOFRANGE;
        }
        svdrives::Drive* drive = model().drive(static_cast<int>(p->dwNumber) - 1);
        if (!drive) return MCIERR_OUTOFRANGE;
        const std::string name = drive->name();
        if (p->dwRetSize < name.size() + 1) return MCIERR_PARAM_OVERFLOW;
        std::memcpy(p->lpstrReturn, name.c_str(), name.size() + 1);
        return 0;
    }
    return MCIERR_MISSING_PARAMETER;
}

// --- MCI_OPEN ----------------------------------------------------------------------------

bool elementMatches(const std::string& name, const char* element) {
    if (name == element) return true;
    const std::string suffix = std::string("(") + element + ")";
    return name.size() >= suffix.size() &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

MCIERROR open(DWORD_PTR flags, MCI_OPEN_PARMSA* p) {
    if (!p) return MCIERR_NULL_PARAMETER_BLOCK;
    if (flags & MCI_OPEN_ELEMENT_ID) return MCIERR_FLAGS_NOT_COMPATIBLE;
    if ((flags & MCI_OPEN_TYPE_ID) && !(flags & MCI_OPEN_TYPE)) return MCIERR_MISSING_PARAMETER;
    if (!(flags & (MCI_OPEN_TYPE | MCI_OPEN_ELEMENT))) return MCIERR_DEVICE_TYPE_REQUIRED;
    const int count = model().count();
    int drive = 0;
    if (flags & MCI_OPEN_TYPE) {
        if (flags & MCI_OPEN_TYPE_ID) {
            const uintptr_t typeId = reinterpret_cast<uintptr_t>(p->lpstrDeviceType);
            if ((typeId & 0xFFFF) != MCI_DEVTYPE_CD_AUDIO ||
                (static_cast<uint64_t>(typeId) >> 32) != 0) {
                return MCIERR_INVALID_DEVICE_NAME;
            }
            drive = static_cast<int>((typeId >> 16) & 0xFFFF);
        } else {
            if (!p->lpstrDeviceType) return MCIERR_MISSING_PARAMETER;
            if (strcasecmp(p->lpstrDeviceType, "cdaudio") != 0) return MCIERR_INVALID_DEVICE_NAME;
        }
    }
    if (flags & MCI_OPEN_ELEMENT) {
        if (!p->lpstrElementName) return MCIERR_MISSING_PARAMETER;
        int found = -1;
        for (int i = 0; i < count && found < 0; ++i) {
            svdrives::Drive* d = model().drive(i);
            if (d && elementMatches(d->name(), p->lpstrElementName)) found = i;
        }
        if (found < 0) return MCIERR_INVALID_DEVICE_NAME;
        if ((flags & MCI_OPEN_TYPE_ID) && found != drive) return MCIERR_FLAGS_NOT_COMPATIBLE;
        drive = found;
    }
    if (drive < 0 || drive >= count) return MCIERR_INVALID_DEVICE_NAME;
    if ((flags & MCI_OPEN_FOR_PLAYBACK) && !audioOutputFactory()->available()) {
        return MCIERR_WAVE_OUTPUTSUNSUITABLE;
    }
    Device* dev = registry().add(drive);
    if ((flags & MCI_OPEN_ALIAS) && p->lpstrAlias) dev->alias = p->lpstrAlias;
    if (flags & MCI_NOTIFY) dev->callback = p->dwCallback;
    p->wDeviceID = dev->id;
    return 0;
}

// --- MCI_STATUS --------------------------------------------------------------------------

MCIERROR status(Device& dev, DWORD_PTR flags, MCI_STATUS_PARMS* p) {
    if (!p) return MCIERR_NULL_PARAMETER_BLOCK;
    if (!(flags & MCI_STATUS_ITEM)) return MCIERR_MISSING_PARAMETER;
    svdrives::Toc toc;
    MCIERROR err = 0;
    switch (p->dwItem) {
        case MCI_STATUS_MEDIA_PRESENT:
        case MCI_STATUS_READY:
            p->dwReturn = mediaPresent(dev) ? 1 : 0;
            return 0;
        case MCI_STATUS_MODE:
            p->dwReturn = mediaPresent(dev) ? deviceMode(dev) : MCI_MODE_OPEN;
            return 0;
        case MCI_STATUS_TIME_FORMAT:
            p->dwReturn = dev.timeFormat;
            return 0;
        case MCI_STATUS_NUMBER_OF_TRACKS:
            if ((err = loadToc(dev, &toc))) return err;
            p->dwReturn = toc.tracks.size();
            return 0;
        case MCI_STATUS_POSITION: {
            if ((err = loadToc(dev, &toc))) return err;
            uint32_t lsn = 0;
            if (flags & MCI_TRACK) {
                const int i = trackIndex(toc, p->dwTrack);
                if (i < 0) return MCIERR_OUTOFRANGE;
                lsn = toc.tracks[i].startSector;
            } else if (flags & MCI_STATUS_START) {
                lsn = toc.tracks.front().startSector;
            } else {
                lsn = currentPosition(dev, toc);
            }
            p->dwReturn = encodePosition(dev.timeFormat, lsn, toc);
            return 0;
        }
        case MCI_STATUS_LENGTH: {
            if ((err = loadToc(dev, &toc))) return err;
            uint32_t sectors = 0;
            if (flags & MCI_TRACK) {
                const int i = trackIndex(toc, p->dwTrack);
                if (i < 0) return MCIERR_OUTOFRANGE;
                sectors = trackSectors(toc, i);
            } else {
                const uint32_t first = toc.tracks.front().startSector;
                sectors = toc.leadOut > first ? toc.leadOut - first : 0;
            }
            p->dwReturn = encodeLength(dev.timeFormat, sectors);
            return 0;
        }
        case MCI_STATUS_CURRENT_TRACK:
            if ((err = loadToc(dev, &toc))) return err;
            p->dwReturn = static_cast<DWORD>(trackAt(toc, currentPosition(dev, toc)) + 1);
            return 0;
        case MCI_CDA_STATUS_TYPE_TRACK: {
            if (!(flags & MCI_TRACK)) return MCIERR_MISSING_PARAMETER;
            if ((err = loadToc(dev, &toc))) return err;
            const int i = trackIndex(toc, p->dwTrack);
            if (i < 0) return MCIERR_OUTOFRANGE;
            p->dwReturn = toc.tracks[i].data ? MCI_CDA_TRACK_OTHER : MCI_CDA_TRACK_AUDIO;
            return 0;
        }
        default:
            return MCIERR_BAD_CONSTANT;
    }
}

// --- MCI_SET -----------------------------------------------------------------------------

MCIERROR set(Device& dev, DWORD_PTR flags, MCI_SET_PARMS* p, Deferred& later) {
    if (!p) return MCIERR_NULL_PARAMETER_BLOCK;
    if ((flags & MCI_SET_DOOR_OPEN) && (flags & MCI_SET_DOOR_CLOSED)) {
        return MCIERR_FLAGS_NOT_COMPATIBLE;
    }
    if (flags & MCI_SET_TIME_FORMAT) {
        if (!supportedTimeFormat(p->dwTimeFormat)) return MCIERR_BAD_TIME_FORMAT;
    }
    if (flags & (MCI_SET_DOOR_OPEN | MCI_SET_DOOR_CLOSED)) {
        svdrives::Drive* drive = model().drive(dev.drive);
        if (!drive) return MCIERR_HARDWARE;
        dropPlayback(dev, MCI_NOTIFY_ABORTED, later);
        // The door does not wait for CDRIP3_FAULTS' tray= as CR_EjectCD does: it moves under
        // the registry's lock, which every device's commands take, and the playback it
        // stops must stop as the command is given. The disc that went in spins up all the
        // same, from before the arrival is told.
        const bool open = (flags & MCI_SET_DOOR_OPEN) != 0;
        if (!open) drive->startSpinUp(svdrives::driveMotionFromEnvironment().spinUpMs);
        drive->eject(open);
        dev.positionSet = false;
        dev.paused = false;
    }
    if (flags & MCI_SET_TIME_FORMAT) dev.timeFormat = p->dwTimeFormat;
    return 0;
}

// --- MCI_SEEK, MCI_PLAY, MCI_STOP, MCI_PAUSE -------------------------------------------

// Decodes a position given with a command; it must lie on the disc (the lead-out counts,
// as the end of the last track).
MCIERROR commandPosition(const Device& dev, DWORD value, const svdrives::Toc& toc, uint32_t* lsn) {
    if (MCIERROR err = decodePosition(dev.timeFormat, value, toc, lsn)) return err;
    return *lsn > toc.leadOut ? MCIERR_OUTOFRANGE : 0;
}

MCIERROR seek(Device& dev, DWORD_PTR flags, MCI_SEEK_PARMS* p, Deferred& later) {
    const DWORD_PTR targets = flags & (MCI_TO | MCI_SEEK_TO_START | MCI_SEEK_TO_END);
    if (!targets) return MCIERR_MISSING_PARAMETER;
    if (targets & (targets - 1)) return MCIERR_FLAGS_NOT_COMPATIBLE;
    if ((flags & MCI_TO) && !p) return MCIERR_NULL_PARAMETER_BLOCK;
    svdrives::Toc toc;
    if (MCIERROR err = loadToc(dev, &toc)) return err;
    uint32_t lsn = toc.tracks.front().startSector;
    if (flags & MCI_SEEK_TO_END) {
        lsn = std::max(audioEnd(toc), lsn);
    } else if (flags & MCI_TO) {
        if (MCIERROR err = commandPosition(dev, p->dwTo, toc, &lsn)) return err;
    }
    dropPlayback(dev, MCI_NOTIFY_ABORTED, later);
    dev.position = lsn;
    dev.positionSet = true;
    dev.paused = false;
    return 0;
}

MCIERROR play(Device& dev, DWORD_PTR flags, MCI_PLAY_PARMS* p, Deferred& later) {
    if ((flags & (MCI_FROM | MCI_TO | MCI_NOTIFY)) && !p) return MCIERR_NULL_PARAMETER_BLOCK;
    svdrives::Toc toc;
    if (MCIERROR err = loadToc(dev, &toc)) return err;
    const uint32_t end = audioEnd(toc);
    if (end == 0) return MCIERR_NONAPPLICABLE_FUNCTION;  // nothing on the disc to hear
    uint32_t from = currentPosition(dev, toc), to = end;
    if (flags & MCI_FROM) {
        if (MCIERROR err = commandPosition(dev, p->dwFrom, toc, &from)) return err;
    }
    if (flags & MCI_TO) {
        if (MCIERROR err = commandPosition(dev, p->dwTo, toc, &to)) return err;
        to = std::min(to, end);
    }
    from = std::min(skipData(toc, from, end), end);
    if (to < from) return MCIERR_OUTOFRANGE;
    auto factory = audioOutputFactory();
    if (!factory->available()) return MCIERR_WAVE_OUTPUTSUNSUITABLE;

    PlayRequest req;
    if (from < to) {
        svdrives::Drive* drive = model().drive(dev.drive);
        if (!drive) return MCIERR_DEVICE_NOT_READY;
        svdrives::ReadSettings settings;
        // Playback keeps pace with the sound device: no re-reads of doubtful sectors.
        settings.paranoia = false;
        req.reader = drive->openReader(from, to - 1, settings);
        if (!req.reader) return drive->unitReady() ? MCIERR_HARDWARE : MCIERR_DEVICE_NOT_READY;
    }
    req.device = dev.id;
    req.driveIndex = dev.drive;
    req.toc = std::move(toc);
    req.from = from;
    req.to = to;
    req.output = std::move(factory);
    req.notify = (flags & MCI_NOTIFY) != 0;
    req.callbackData = p ? p->dwCallback : 0;

    dropPlayback(dev, MCI_NOTIFY_SUPERSEDED, later);
    dev.playback = std::make_shared<Playback>(std::move(req));
    dev.paused = false;
    later.start = dev.playback;
    later.waitForStart = (flags & MCI_WAIT) != 0;
    return 0;
}

// Always succeeds, also without a disc: stopping is how a caller recovers after the tray
// was opened under a playback.
MCIERROR stop(Device& dev, bool pause, Deferred& later) {
    const bool wasPlaying = dev.playback && dev.playback->playing();
    stopPlayback(dev, MCI_NOTIFY_ABORTED, later);
    // A pause keeps the place for the next MCI_PLAY; for CD audio that is all it is.
    dev.paused = pause && (wasPlaying || dev.paused);
    return 0;
}

// --- dispatch ----------------------------------------------------------------------------

// Whether the command reads the disc (the table, the tray's state or the audio), and so
// has to wait while the drive spins up.
bool readsDisc(UINT message, DWORD_PTR flags, DWORD_PTR params) {
    if (message == MCI_PLAY || message == MCI_SEEK) return true;
    if (message != MCI_STATUS || !params || !(flags & MCI_STATUS_ITEM)) return false;
    switch (reinterpret_cast<const MCI_STATUS_PARMS*>(params)->dwItem) {
        case MCI_STATUS_MEDIA_PRESENT:
        case MCI_STATUS_READY:
        case MCI_STATUS_MODE:
        case MCI_STATUS_NUMBER_OF_TRACKS:
        case MCI_STATUS_POSITION:
        case MCI_STATUS_LENGTH:
        case MCI_STATUS_CURRENT_TRACK:
        case MCI_CDA_STATUS_TYPE_TRACK:
            return true;
        default:
            return false;
    }
}

// The drive a command has to wait for first: the device's, while it spins up; else null.
svdrives::Drive* spinningDrive(MCIDEVICEID id, UINT message, DWORD_PTR flags, DWORD_PTR params) {
    if (!readsDisc(message, flags, params)) return nullptr;
    const Device* dev = registry().find(id);
    svdrives::Drive* drive = dev ? model().drive(dev->drive) : nullptr;
    return drive && drive->spinningUp() ? drive : nullptr;
}

MCIERROR close(MCIDEVICEID id, Deferred& later) {
    Registry& reg = registry();
    if (id == MCI_ALL_DEVICE_ID) {
        reg.forEach([&later](Device& dev) { stopPlayback(dev, MCI_NOTIFY_ABORTED, later); });
        reg.clear();
        return 0;
    }
    Device* dev = reg.find(id);
    if (!dev) return MCIERR_INVALID_DEVICE_ID;
    stopPlayback(*dev, MCI_NOTIFY_ABORTED, later);
    reg.remove(id);
    return 0;
}

MCIERROR send(MCIDEVICEID id, UINT message, DWORD_PTR flags, DWORD_PTR params, Deferred& later) {
    switch (message) {
        case MCI_SYSINFO:
            return sysinfo(flags, reinterpret_cast<MCI_SYSINFO_PARMSA*>(params));
        case MCI_OPEN:
            return open(flags, reinterpret_cast<MCI_OPEN_PARMSA*>(params));
        case MCI_CLOSE:
            return close(id, later);
        default:
            break;
    }
    Device* dev = registry().find(id);
    if (!dev) return MCIERR_INVALID_DEVICE_ID;
    if ((flags & MCI_NOTIFY) && params) {
        dev->callback = reinterpret_cast<MCI_GENERIC_PARMS*>(params)->dwCallback;
    }
    switch (message) {
        case MCI_STATUS:
            return status(*dev, flags, reinterpret_cast<MCI_STATUS_PARMS*>(params));
        case MCI_SET:
            return set(*dev, flags, reinterpret_cast<MCI_SET_PARMS*>(params), later);
        case MCI_SEEK:
            return seek(*dev, flags, reinterpret_cast<MCI_SEEK_PARMS*>(params), later);
        case MCI_PLAY:
            return play(*dev, flags, reinterpret_cast<MCI_PLAY_PARMS*>(params), later);
        case MCI_STOP:
            return stop(*dev, false, later);
        case MCI_PAUSE:
            return stop(*dev, true, later);
        default:
            return MCIERR_UNRECOGNIZED_COMMAND;
    }
}

struct ErrorText {
    MCIERROR code;
    const char* text;
};

const ErrorText kErrorTexts[] = {
    {0, "The command completed successfully."},
    {MCIERR_INVALID_DEVICE_ID, "The device is not open or is not known to MCI."},
    {MCIERR_UNRECOGNIZED_COMMAND, "The device does not know this command."},
    {MCIERR_HARDWARE, "The drive reported a hardware or medium error."},
    {MCIERR_INVALID_DEVICE_NAME, "There is no such device, or its name is not valid."},
    {MCIERR_OUT_OF_MEMORY, "There is not enough memory to carry out the command."},
    {MCIERR_DEVICE_OPEN, "The device is already open."},
    {MCIERR_CANNOT_LOAD_DRIVER, "The device driver could not be loaded."},
    {MCIERR_PARAM_OVERFLOW, "The return buffer is too small for the result."},
    {MCIERR_BAD_INTEGER, "A value given with the command is not a valid number."},
    {MCIERR_MISSING_PARAMETER, "The command needs a parameter or flag that was not given."},
    {MCIERR_UNSUPPORTED_FUNCTION, "The device cannot carry out this function."},
    {MCIERR_DEVICE_NOT_READY, "The device is not ready: there is no disc in the drive."},
    {MCIERR_INTERNAL, "An internal error occurred in the MCI layer."},
    {MCIERR_OUTOFRANGE, "A track number or time given with the command is out of range."},
    {MCIERR_FLAGS_NOT_COMPATIBLE, "Flags were given together that cannot be combined."},
    {MCIERR_DEVICE_TYPE_REQUIRED, "The command needs a device type or device name."},
    {MCIERR_BAD_CONSTANT, "The item or value asked for is not known to the device."},
    {MCIERR_BAD_TIME_FORMAT, "The device does not support this time format."},
    {MCIERR_NULL_PARAMETER_BLOCK, "The command needs a parameter block but none was given."},
    {MCIERR_NONAPPLICABLE_FUNCTION, "The command does not apply in the device's state."},
    {MCIERR_DEVICE_NOT_INSTALLED, "The device is not installed."},
    {MCIERR_WAVE_OUTPUTSUNSUITABLE, "No sound output device is available for playback."},
};

}  // namespace
}  // namespace svmci

extern "C" MCI_API MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, DWORD_PTR flags,
                                            DWORD_PTR params) {
    try {
        svmci::Deferred later;
        MCIERROR result = 0;
        for (;;) {
            std::unique_lock<std::mutex> lock(svmci::registry().mutex);
            // A disc spinning up is waited for without the lock, so the other devices'
            // commands go on meanwhile; the device is looked up again afterwards.
            if (svdrives::Drive* drive = svmci::spinningDrive(device, message, flags, params)) {
                lock.unlock();
                drive->awaitSpinUp();
                continue;
            }
            result = svmci::send(device, message, flags, params, later);
            break;
        }
        later.run();
        return result;
    } catch (const std::bad_alloc&) {
        return MCIERR_OUT_OF_MEMORY;
    } catch (...) {
        return MCIERR_INTERNAL;
    }
}

extern "C" MCI_API void mciSetNotifyCallback(MCI_NOTIFY_CALLBACK callback) {
    svmci::setNotifyCallback(callback);
}

extern "C" MCI_API int mciGetErrorStringA(MCIERROR error, char* buffer, UINT length) {
    const char* text = "Unknown MCI error.";
    int known = 0;
    for (const auto& e : svmci::kErrorTexts) {
        if (e.code == error) {
            text = e.text;
            known = 1;
            break;
        }
    }
    if (buffer && length > 0) {
        const size_t n = std::min<size_t>(std::strlen(text), length - 1);
        std::memcpy(buffer, text, n);
        buffer[n] = '\0';
    }
    return known;
}
