#include "devicemonitor.h"

#include <libudev.h>

#include <QDir>
#include <QSocketNotifier>
#include <mutex>

#include "drivemodel.h"
#include "udevevents.h"

namespace svdevmon {

struct DeviceMonitor::Udev {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    UdevMediaTracker tracker;

    ~Udev() {
        if (monitor) udev_monitor_unref(monitor);
        if (context) udev_unref(context);
    }
};

// The media listener may run on another thread at the very moment the monitor goes away;
// it only reaches the monitor through this guard, which the destructor empties first.
struct DeviceMonitor::ListenerGuard {
    std::mutex mutex;
    DeviceMonitor* monitor = nullptr;
};

namespace {

UdevEvent eventOf(udev_device* device) {
    UdevEvent event;
    if (const char* action = udev_device_get_action(device)) event.action = action;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_device_get_properties_list_entry(device)) {
        const char* name = udev_list_entry_get_name(entry);
        const char* value = udev_list_entry_get_value(entry);
        if (name) event.properties[name] = value ? value : "";
    }
    return event;
}

// Learns which CD drives hold a medium now, so the first change event is read right.
void seedFromScan(udev* context, UdevMediaTracker& tracker) {
    udev_enumerate* scan = udev_enumerate_new(context);
    if (!scan) return;
    udev_enumerate_add_match_subsystem(scan, "block");
    udev_enumerate_add_match_property(scan, "ID_CDROM", "1");
    if (udev_enumerate_scan_devices(scan) == 0) {
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan)) {
            udev_device* device =
                udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
            if (!device) continue;
            const UdevEvent event = eventOf(device);
            auto media = event.properties.find("ID_CDROM_MEDIA");
            tracker.seed(udevDeviceKey(event),
                         media != event.properties.end() && media->second == "1");
            udev_device_unref(device);
        }
    }
    udev_enumerate_unref(scan);
}

}  // namespace

DeviceMonitor::DeviceMonitor(QObject* parent) : DeviceMonitor(Options{}, parent) {}

DeviceMonitor::DeviceMonitor(const Options& options, QObject* parent)
    : QObject(parent), guard_(std::make_shared<ListenerGuard>()) {
    qRegisterMetaType<DeviceNotice>();
    guard_->monitor = this;
    if (options.watchUdev) startUdev(options);
    std::weak_ptr<ListenerGuard> weak = guard_;
    listenerId_ =
        svdrives::DriveModel::instance().addMediaListener([weak](int driveIndex, bool arrived) {
            auto guard = weak.lock();
            if (!guard) return;
            std::lock_guard lock(guard->mutex);
            if (!guard->monitor) return;
            guard->monitor->calls_.post([monitor = guard->monitor, driveIndex, arrived] {
                monitor->mediaChanged(driveIndex, arrived);
            });
        });
}

DeviceMonitor::~DeviceMonitor() {
    {
        std::lock_guard lock(guard_->mutex);
        guard_->monitor = nullptr;
    }
    svdrives::DriveModel::instance().removeMediaListener(listenerId_);
    delete notifier_;
}

void DeviceMonitor::startUdev(const Options& options) {
    if (!QDir(options.udevRunDir).exists()) return;
    auto u = std::make_unique<Udev>();
    u->context = udev_new();
    if (!u->context) return;
    u->monitor = udev_monitor_new_from_netlink(u->context, "udev");
    if (!u->monitor) return;
    if (udev_monitor_filter_add_match_subsystem_devtype(u->monitor, "block", nullptr) < 0 ||
        udev_monitor_enable_receiving(u->monitor) < 0) {
        return;
    }
    const int fd = udev_monitor_get_fd(u->monitor);
    if (fd < 0) return;
    seedFromScan(u->context, u->tracker);
    udev_ = std::move(u);
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DeviceMonitor::readUdev);
}

void DeviceMonitor::readUdev() {
    if (!udev_) return;
    // The socket does not block: take everything that is waiting.
    while (udev_device* device = udev_monitor_receive_device(udev_->monitor)) {
        const UdevEvent event = eventOf(device);
        udev_device_unref(device);
        if (auto notice = udev_->tracker.feed(event)) emit deviceChange(*notice);
    }
}

void DeviceMonitor::mediaChanged(int driveIndex, bool arrived) {
    if (udev_) {
        // udev already tells of real drives; the model's word would make it twice.
        svdrives::Drive* drive = svdrives::DriveModel::instance().drive(driveIndex);
        if (drive && !drive->isImage()) return;
    }
    emit deviceChange(
        DeviceNotice::OfDrive(arrived ? kDeviceArrival : kDeviceRemoveComplete, driveIndex));
}

}  // namespace svdevmon
