// The two kinds of drive behind svdrives::Drive, as the model creates them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "drivemodel.h"

namespace svdrives::detail {

// Drive index: what the drive reports to the media listeners.
std::unique_ptr<Drive> makeImageDrive(int index, std::string name, std::string cuePath);
std::unique_ptr<Drive> makeCdioDrive(int index, std::string name, std::string devicePath,
                                     DriveIdentity identity);

// Device paths of the machine's CD drives as libcdio finds them.
std::vector<std::string> cdioDevicePaths();
// What the device answers to libcdio's cdio_get_hwinfo; all empty when it does not.
DriveIdentity cdioDriveIdentity(const std::string& devicePath);
// "<vendor> <model> (<path>)", or "CD drive (<path>)" when the device does not answer.
std::string cdioDriveName(const DriveIdentity& identity, const std::string& devicePath);

}  // namespace svdrives::detail
