// udev's events of CD drives, as recorded from the kernel's sequences, read as device
// changes.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "udevevents.h"

using namespace svdevmon;

namespace {

constexpr unsigned kIn = kDeviceArrival;
constexpr unsigned kOut = kDeviceRemoveComplete;

UdevEvent cdEvent(const char* action, std::map<std::string, std::string> extra = {},
                  const char* node = "/dev/sr0") {
    UdevEvent e;
    e.action = action;
    e.properties = {{"SUBSYSTEM", "block"}, {"DEVTYPE", "disk"},  {"DEVNAME", node},
                    {"ID_CDROM", "1"},      {"ID_CDROM_CD", "1"}, {"DEVPATH", "/devices/x"}};
    for (auto& [k, v] : extra) e.properties[k] = v;
    return e;
}

const std::map<std::string, std::string> kMedia = {{"ID_CDROM_MEDIA", "1"},
                                                   {"ID_CDROM_MEDIA_CD", "1"}};
const std::map<std::string, std::string> kEjectRequest = {{"DISK_EJECT_REQUEST", "1"},
                                                          {"ID_CDROM_MEDIA", "1"}};

}  // namespace

TEST(UdevEvents, SingleEventsByPreviousState) {
    struct Case {
        const char* what;
        UdevEvent event;
        std::optional<bool> had;
        std::optional<unsigned> code;
        std::optional<bool> media;
    };
    const Case cases[] = {
        {"disc inserted", cdEvent("change", kMedia), false, kIn, true},
        {"disc seen first time", cdEvent("change", kMedia), std::nullopt, kIn, true},
        {"disc still there", cdEvent("change", kMedia), true, std::nullopt, true},
        {"disc taken out", cdEvent("change"), true, kOut, false},
        {"empty drive, not known", cdEvent("change"), std::nullopt, kOut, false},
        {"empty drive stays empty", cdEvent("change"), false, std::nullopt, false},
        {"eject button, disc in", cdEvent("change", kEjectRequest), true, kOut, false},
        {"eject button, not known", cdEvent("change", kEjectRequest), std::nullopt, kOut, false},
        {"eject button, empty", cdEvent("change", kEjectRequest), false, std::nullopt, false},
        {"drive plugged in, empty", cdEvent("add"), std::nullopt, kIn, false},
        {"drive plugged in, disc", cdEvent("add", kMedia), std::nullopt, kIn, true},
        {"drive unplugged", cdEvent("remove", kMedia), true, kOut, std::nullopt},
        {"other action", cdEvent("bind", kMedia), false, std::nullopt, false},
        {"other action keeps unknown", cdEvent("move"), std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        const UdevTranslation t = translateUdevEvent(c.event, c.had);
        EXPECT_EQ(t.code, c.code) << c.what;
        EXPECT_EQ(t.media, c.media) << c.what;
    }
}

TEST(UdevEvents, OnlyWholeCdDrivesOfTheBlockSubsystemCount) {
    std::vector<UdevEvent> ignored;
    UdevEvent disk = cdEvent("change", kMedia);
    disk.properties.erase("ID_CDROM");  // a hard disk
    ignored.push_back(disk);
    UdevEvent notCd = cdEvent("add");
    notCd.properties["ID_CDROM"] = "0";
    ignored.push_back(notCd);
    UdevEvent partition = cdEvent("add", kMedia, "/dev/sr0p1");
    partition.properties["DEVTYPE"] = "partition";
    ignored.push_back(partition);
    UdevEvent scsi = cdEvent("change", kMedia);
    scsi.properties["SUBSYSTEM"] = "scsi_generic";
    ignored.push_back(scsi);
    for (const UdevEvent& e : ignored) {
        for (std::optional<bool> had :
             {std::optional<bool>(), std::optional<bool>(true), std::optional<bool>(false)}) {
            const UdevTranslation t = translateUdevEvent(e, had);
            EXPECT_FALSE(t.code) << e.properties.at("DEVNAME");
            EXPECT_EQ(t.media, had);
        }
    }
}

TEST(UdevEvents, TrackerFollowsEachDriveThroughASequence) {
    UdevMediaTracker tracker;
    tracker.seed("/dev/sr0", true);  // the start-up scan found a disc in sr0
    struct Step {
        UdevEvent event;
        std::optional<unsigned> code;
    };
    const Step steps[] = {
        {cdEvent("change", kMedia), std::nullopt},  // polling, same disc
        {cdEvent("change", kEjectRequest), kOut},   // eject button
        {cdEvent("change"), std::nullopt},          // tray open: already told
        {cdEvent("change", {}, "/dev/sr1"), kOut},  // sr1 unknown: take it as gone
        {cdEvent("change", kMedia), kIn},           // new disc in sr0
        {cdEvent("change", kMedia, "/dev/sr1"), kIn},
        {cdEvent("change", kMedia, "/dev/sr1"), std::nullopt},
        {cdEvent("remove", kMedia), kOut},  // sr0 unplugged
        {cdEvent("add"), kIn},              // and back, empty
        {cdEvent("change"), std::nullopt},  // the add told it is empty
        {cdEvent("change", kMedia), kIn},
    };
    int i = 0;
    for (const Step& s : steps) {
        // The notice names the drive the event is about.
        const std::optional<DeviceNotice> notice = tracker.feed(s.event);
        EXPECT_EQ(notice ? std::optional<unsigned>(notice->code) : std::nullopt, s.code)
            << "step " << i;
        if (notice) {
            EXPECT_EQ(notice->deviceNode, s.event.properties.at("DEVNAME")) << i;
        }
        ++i;
    }
}

TEST(UdevEvents, DeviceKeyFallsBackToThePath) {
    UdevEvent e = cdEvent("change");
    EXPECT_EQ(udevDeviceKey(e), "/dev/sr0");
    e.properties.erase("DEVNAME");
    EXPECT_EQ(udevDeviceKey(e), "/devices/x");
}
