// Tells the program when a disc arrives in or leaves a drive, as a DeviceNotice
// (devicenotice.h): kDeviceArrival (0x8000) or kDeviceRemoveComplete (0x8004), and the drive
// it concerns.
//
// Two sources, both delivered on the monitor's own thread (the one it was created on,
// which must run a Qt event loop):
//  - real drives: udev's block-device events (see udevevents.h), read from a netlink
//    socket watched by the event loop; the notice names the drive's device node. Where there is no
//    udev (a container without /run/udev, or the monitor socket cannot be had) this source stays
//    silent and the monitor works on with the other one.
//  - image drives: the drive model's media listeners, which fire on whatever thread moved
//    the tray and are passed on to the monitor's thread through a call queue (callqueue.h); the
//    notice names the drive's index in the model (the CD library's index of it).
// Each tray movement gives one signal: a real drive is heard through udev only, unless
// udev is not there. The monitor covers what libcdrip3's CR_SetMediaNotify reports, so a
// program using it should not feed that callback into the same handler as well.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "callqueue.h"
#include "devicenotice.h"

class QSocketNotifier;

namespace svdevmon {

class DeviceMonitor : public QObject {
    Q_OBJECT
public:
    struct Options {
        bool watchUdev = true;
        // Where udev keeps its run-time data; no such folder means no udev to listen to.
        QString udevRunDir = QStringLiteral("/run/udev");
    };

    explicit DeviceMonitor(QObject* parent = nullptr);
    explicit DeviceMonitor(const Options& options, QObject* parent = nullptr);
    ~DeviceMonitor() override;

    // Whether real drives are watched (udev is there and its monitor runs).
    bool watchingRealDrives() const { return udev_ != nullptr; }

signals:
    void deviceChange(const svdevmon::DeviceNotice& notice);

private:
    struct Udev;
    struct ListenerGuard;

    void startUdev(const Options& options);
    void readUdev();
    void mediaChanged(int driveIndex, bool arrived);

    std::unique_ptr<Udev> udev_;
    QSocketNotifier* notifier_ = nullptr;
    // The model's notices come on the thread that moved the tray; the monitor's thread takes
    // them from here. Made before the guard lets any in, and destroyed after it has closed.
    svcalls::CallQueue calls_;
    std::shared_ptr<ListenerGuard> guard_;
    int listenerId_ = 0;
};

}  // namespace svdevmon
