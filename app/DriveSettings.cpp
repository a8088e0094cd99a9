#include "DriveSettings.h"

#include <QStringList>
#include <cerrno>
#include <optional>
#include <string>
#include <system_error>

using namespace CDRipIntf;

TDriveSettings::TDriveSettings(TCDSession& session, const QString& listBase,
                               const QString& cacheFile, int timeoutMs)
    : session_(session), list_(listBase, cacheFile, timeoutMs) {
    // The list answers on the window's thread, from its event loop: never within a command.
    QObject::connect(
        &list_, &Rip::TDriveOffsetList::Ready, &list_, [this] { takeListedOffset(); },
        Qt::QueuedConnection);
}

void TDriveSettings::DriveBecameActive() {
    // A library that keeps no sources could not tell the list's offset from the user's.
    if (!session_.KeepsReadOffsetSources() || session_.CR_GetNumCDROM() == 0) return;
    if (session_.CR_GetReadOffsetFrom() != kOffsetFromNone) return;
    list_.Want();
}

void TDriveSettings::SetBatchRunning(bool running) {
    batchRunning_ = running;
    if (!running && listWaits_) {
        listWaits_ = false;
        takeListedOffset();
    }
}

void TDriveSettings::takeListedOffset() {
    if (batchRunning_) {
        listWaits_ = true;
        return;
    }
    // The drive may have changed since the list was asked for, or been given an offset.
    if (session_.CR_GetReadOffsetFrom() != kOffsetFromNone) return;
    TDriveIdentity id{};
    if (session_.CR_GetDriveIdentity(&id) != 0) return;
    const std::optional<int> offset =
        Rip::FindDriveOffset(list_.Entries(), IdentityText(id.vendor), IdentityText(id.product));
    if (!offset) return;
    if (session_.CR_SetReadOffsetFrom(*offset, kOffsetFromList) == 0) session_.CR_SaveSettings();
}

QString TDriveSettings::ReadOffsetPrompt() {
    QString prompt;
    if (session_.KeepsReadOffsetSources()) {
        switch (session_.CR_GetReadOffsetFrom()) {
            case kOffsetFromUser:
                prompt = QStringLiteral("Set by you.\n");
                break;
            case kOffsetFromList:
                prompt = QStringLiteral("From AccurateRip's drive list.\n");
                break;
            case kOffsetFromDetected:
                prompt = QStringLiteral("Detected on a disc in this drive.\n");
                break;
            default:
                prompt = list_.Available() ? QStringLiteral(
                                                 "None of its own, and none in AccurateRip's drive "
                                                 "list: 0 applies.\n")
                                           : QStringLiteral("None of its own yet: 0 applies.\n");
                break;
        }
        if (!list_.Failure().isNull())
            prompt += QStringLiteral("AccurateRip's drive list could not be had (%1).\n")
                          .arg(list_.Failure());
    }
    return prompt + QStringLiteral("Read offset of the active drive, in samples:");
}

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
    return setOffset(samples, kOffsetFromUser, QString());
}

QString TDriveSettings::SetDetectedOffset(int32_t samples) {
    return setOffset(samples, kOffsetFromDetected, QStringLiteral("detected"));
}

QString TDriveSettings::setOffset(int32_t samples, int32_t from, const QString& how) {
    // The user's offset goes through the call every library has.
    const int32_t set = from == kOffsetFromUser ? session_.CR_SetReadOffset(samples)
                                                : session_.CR_SetReadOffsetFrom(samples, from);
    if (set != 0) return {};
    const bool saved = session_.CR_SaveSettings() == 0;
    const int32_t stored = session_.CR_GetReadOffset();
    const QString offset = QStringLiteral("Drive Read Offset: %1%2 samples")
                               .arg(stored > 0 ? QStringLiteral("+") : QString())
                               .arg(stored);
    QStringList notes;
    if (!how.isEmpty()) notes << how;
    if (!saved) notes << QStringLiteral("not saved: %1 cannot be written").arg(fileName());
    return notes.isEmpty() ? offset + QLatin1Char('.')
                           : offset + QStringLiteral(" (") + notes.join(QStringLiteral(", ")) +
                                 QStringLiteral(").");
}

QString TDriveSettings::fileName() {
    const std::string name = session_.CR_GetSettingsFileName();
    return name.empty() ? QStringLiteral("the settings file") : QString::fromStdString(name);
}
