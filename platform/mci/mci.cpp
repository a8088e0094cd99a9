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

#include "drivemodel.h"
#include "mcitime.h"

namespace svmci {
namespace {

// One open device. The playback commands (MCI_PLAY/SEEK/STOP/PAUSE) will keep their state
// here: the mode, the current position and the range and callback of a running play.
struct Device {
    MCIDEVICEID id = 0;
    int drive = 0;                     // index in the drive model
    DWORD timeFormat = MCI_FORMAT_MSF;
    DWORD mode = MCI_MODE_STOP;        // while a disc is in: STOP (later PLAY/PAUSE/SEEK)
    bool positionSet = false;          // false: the current position is the disc's start
    uint32_t position = 0;             // logical sector of the current position
    std::string alias;                 // MCI_OPEN_ALIAS, kept for a later string interface
    DWORD_PTR callback = 0;            // dwCallback of the last MCI_NOTIFY command
};

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
    void clear() { devices_.clear(); }
    size_t size() const { return devices_.size(); }

private:
    std::map<MCIDEVICEID, std::unique_ptr<Device>> devices_;
    MCIDEVICEID nextId_ = 1;
};

Registry& registry() {
    static Registry* r = new Registry;  // never destroyed: usable until process exit
    return *r;
}

svdrives::DriveModel& model() { return svdrives::DriveModel::instance(); }

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

uint32_t currentPosition(const Device& dev, const svdrives::Toc& toc) {
    const uint32_t first = toc.tracks.front().startSector;
    if (!dev.positionSet || dev.position < first || dev.position >= toc.leadOut) return first;
    return dev.position;
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
            if ((typeId & 0xFFFF) != MCI_DEVTYPE_CD_AUDIO || (static_cast<uint64_t>(typeId) >> 32) != 0) {
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
            p->dwReturn = mediaPresent(dev) ? dev.mode : MCI_MODE_OPEN;
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

MCIERROR set(Device& dev, DWORD_PTR flags, MCI_SET_PARMS* p) {
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
        // Playback (later) stops here before the tray moves.
        drive->eject((flags & MCI_SET_DOOR_OPEN) != 0);
        dev.positionSet = false;
        dev.mode = MCI_MODE_STOP;
    }
    if (flags & MCI_SET_TIME_FORMAT) dev.timeFormat = p->dwTimeFormat;
    return 0;
}

// --- dispatch ----------------------------------------------------------------------------

MCIERROR close(MCIDEVICEID id) {
    Registry& reg = registry();
    if (id == MCI_ALL_DEVICE_ID) {
        reg.clear();
        return 0;
    }
    if (!reg.find(id)) return MCIERR_INVALID_DEVICE_ID;
    // Playback (later) stops here.
    reg.remove(id);
    return 0;
}

MCIERROR send(MCIDEVICEID id, UINT message, DWORD_PTR flags, DWORD_PTR params) {
    switch (message) {
        case MCI_SYSINFO:
            return sysinfo(flags, reinterpret_cast<MCI_SYSINFO_PARMSA*>(params));
        case MCI_OPEN:
            return open(flags, reinterpret_cast<MCI_OPEN_PARMSA*>(params));
        case MCI_CLOSE:
            return close(id);
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
            return set(*dev, flags, reinterpret_cast<MCI_SET_PARMS*>(params));
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
};

}  // namespace
}  // namespace svmci

extern "C" MCI_API MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, DWORD_PTR flags,
                                            DWORD_PTR params) {
    try {
        std::lock_guard<std::mutex> lock(svmci::registry().mutex);
        return svmci::send(device, message, flags, params);
    } catch (const std::bad_alloc&) {
        return MCIERR_OUT_OF_MEMORY;
    } catch (...) {
        return MCIERR_INTERNAL;
    }
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
