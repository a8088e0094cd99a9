// How udev's block-device events of CD drives read as the program's device-change codes.
// Kept apart from the monitor so it can be checked on recorded events without udev.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "devicenotice.h"

namespace svdevmon {

struct UdevEvent {
    std::string action;                             // "add", "remove", "change", ...
    std::map<std::string, std::string> properties;  // SUBSYSTEM, DEVNAME, ID_CDROM, ...
};

// The device an event is about: its node (DEVNAME), else its DEVPATH.
std::string udevDeviceKey(const UdevEvent& event);

struct UdevTranslation {
    std::optional<unsigned> code;  // what to emit, if anything
    std::optional<bool> media;     // whether the drive now holds a medium; none: forget it
};

// One event of a CD drive (ID_CDROM=1, a whole disk, subsystem block):
//   add                          -> arrival
//   remove                       -> removal (the drive is forgotten)
//   change, DISK_EJECT_REQUEST=1 -> removal, unless the drive was known to be empty
//   change, ID_CDROM_MEDIA=1     -> arrival when the drive was empty or not known
//   change without it            -> removal when the drive held a medium or was not known
// hadMedia is what the previous events (or the start-up scan) said about the drive.
// Anything else - other devices, partitions, other actions - gives no code and leaves the
// state as it was.
UdevTranslation translateUdevEvent(const UdevEvent& event, std::optional<bool> hadMedia);

// translateUdevEvent over a stream of events, remembering each drive's medium.
class UdevMediaTracker {
public:
    // What a scan of the drives at start-up found.
    void seed(const std::string& deviceKey, bool media) { media_[deviceKey] = media; }
    // The notice to give, naming the drive by its device node (DEVNAME), if any.
    std::optional<DeviceNotice> feed(const UdevEvent& event);

private:
    std::map<std::string, bool> media_;
};

}  // namespace svdevmon
