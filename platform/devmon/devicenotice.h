// What the device monitor tells the program: a medium arrived in or left one drive. The
// event codes are declared here only; the window's WMDeviceChange knows them by these names.
#pragma once

#include <QMetaType>
#include <string>

namespace svdevmon {

constexpr unsigned kDeviceArrival = 0x8000;
constexpr unsigned kDeviceRemoveComplete = 0x8004;

struct DeviceNotice {
    unsigned code = 0;
    // The drive it concerns, one way or the other: a real drive heard through udev by its
    // device node ("/dev/sr0"; a drive the CD library lists by a symlink to it, such as
    // /dev/cdrom, is the same drive), a drive the drive model told of by its index in the
    // model, which is the CD library's drive index as well (CR_GetNumCDROM,
    // CR_SetActiveCDROM).
    std::string deviceNode;
    int driveIndex = -1;

    static DeviceNotice OfDevice(unsigned code, std::string node) {
        DeviceNotice notice;
        notice.code = code;
        notice.deviceNode = std::move(node);
        return notice;
    }
    static DeviceNotice OfDrive(unsigned code, int index) {
        DeviceNotice notice;
        notice.code = code;
        notice.driveIndex = index;
        return notice;
    }
};

}  // namespace svdevmon

Q_DECLARE_METATYPE(svdevmon::DeviceNotice)
