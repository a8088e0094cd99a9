#include "DriveSettings.h"

#include <cerrno>
#include <system_error>

using namespace CDRipIntf;

QString TDriveSettings::Save() {
    // Start from the drive's own parameters, so the fields we do not set are stored as the
    // library knows them rather than as zeros. A block of its own: the button works during a
    // batch too.
    TDriveParams params{};
    session_.CR_GetCDROMParameters(&params);
    SetParam(params, kParamSectorsPerRead, 26);
    SetParam(params, kParamOverlap, 7);
    SetParam(params, kParamCompare, 1);
    SetParam(params, kParamJitterCorrection, -1);
    SetParam(params, kParamRetries, 0);
    SetParam(params, kParamTimeout, 30);
    SetParam(params, kParamMultiRead, 0);
    SetParam(params, kParamMultiReadFirst, 0);
    SetParam(params, kParamMultiReadCount, 0);
    SetParam(params, kParamLockWhileReading, 0);
    session_.CR_SetCDROMParameters(&params);
    errno = 0;
    if (session_.CR_SaveSettings() == 0)
        return QStringLiteral("Saved CD/DVD-ROM Settings! - (") +
               QString::fromStdString(session_.CR_GetSettingsFileName()) +
               QStringLiteral(" file).");
    // The library leaves why in errno.
    const int error = errno;
    const QString reason = error != 0
                               ? QString::fromStdString(std::generic_category().message(error))
                               : QStringLiteral("it cannot be written");
    return QStringLiteral("Cannot Save CD/DVD-ROM Settings! - (%1: %2).").arg(fileName(), reason);
}

QString TDriveSettings::SetReadOffset(int32_t samples) {
    if (session_.CR_SetReadOffset(samples) != 0) return {};
    const bool saved = session_.CR_SaveSettings() == 0;
    const int32_t stored = session_.CR_GetReadOffset();
    const QString offset = QStringLiteral("Drive Read Offset: %1%2 samples")
                               .arg(stored > 0 ? QStringLiteral("+") : QString())
                               .arg(stored);
    return saved ? offset + QLatin1Char('.')
                 : offset + QStringLiteral(" (not saved: %1 cannot be written).").arg(fileName());
}

QString TDriveSettings::fileName() {
    const std::string name = session_.CR_GetSettingsFileName();
    return name.empty() ? QStringLiteral("the settings file") : QString::fromStdString(name);
}
