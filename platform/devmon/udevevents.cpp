#include "udevevents.h"

namespace svdevmon {
namespace {

std::string property(const UdevEvent& event, const char* name) {
    auto it = event.properties.find(name);
    return it == event.properties.end() ? std::string() : it->second;
}

bool isCdDrive(const UdevEvent& event) {
    const std::string subsystem = property(event, "SUBSYSTEM");
    if (!subsystem.empty() && subsystem != "block") return false;
    // A data disc's partitions are announced too; the drive itself speaks for them.
    if (property(event, "DEVTYPE") == "partition") return false;
    return property(event, "ID_CDROM") == "1";
}

}  // namespace

std::string udevDeviceKey(const UdevEvent& event) {
    const std::string node = property(event, "DEVNAME");
    return node.empty() ? property(event, "DEVPATH") : node;
}

UdevTranslation translateUdevEvent(const UdevEvent& event, std::optional<bool> hadMedia) {
    UdevTranslation out;
    out.media = hadMedia;
    if (!isCdDrive(event)) return out;
    const bool media = property(event, "ID_CDROM_MEDIA") == "1";
    if (event.action == "add") {
        out.code = kDeviceArrival;
        out.media = media;
    } else if (event.action == "remove") {
        out.code = kDeviceRemoveComplete;
        out.media.reset();
    } else if (event.action == "change") {
        if (property(event, "DISK_EJECT_REQUEST") == "1") {
            if (hadMedia != false) out.code = kDeviceRemoveComplete;
            out.media = false;
        } else if (media) {
            if (hadMedia != true) out.code = kDeviceArrival;
            out.media = true;
        } else {
            if (hadMedia != false) out.code = kDeviceRemoveComplete;
            out.media = false;
        }
    }
    return out;
}

std::optional<DeviceNotice> UdevMediaTracker::feed(const UdevEvent& event) {
    const std::string key = udevDeviceKey(event);
    std::optional<bool> had;
    if (auto it = media_.find(key); it != media_.end()) had = it->second;
    const UdevTranslation t = translateUdevEvent(event, had);
    if (t.media) {
        media_[key] = *t.media;
    } else {
        media_.erase(key);
    }
    if (!t.code) return std::nullopt;
    return DeviceNotice::OfDevice(*t.code, property(event, "DEVNAME"));
}

}  // namespace svdevmon
