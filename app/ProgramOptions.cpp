#include "ProgramOptions.h"

#include <QSettings>
#include <QStandardPaths>

namespace {
const QString kTestAndCopy = QStringLiteral("Rip/TestAndCopy");
const QString kFullTags = QStringLiteral("Rip/FullTags");
}  // namespace

TProgramOptions::TProgramOptions(QString path) : path_(std::move(path)) {
    const QSettings file(path_, QSettings::IniFormat);
    testAndCopy_ = file.value(kTestAndCopy, false).toBool();
    fullTags_ = file.value(kFullTags, false).toBool();
}

QString TProgramOptions::DefaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Sonvale/Sonvale.conf");
}

bool TProgramOptions::SetTestAndCopy(bool on) {
    testAndCopy_ = on;
    return save(kTestAndCopy, on);
}

bool TProgramOptions::SetFullTags(bool on) {
    fullTags_ = on;
    return save(kFullTags, on);
}

bool TProgramOptions::save(const QString& key, bool on) {
    QSettings file(path_, QSettings::IniFormat);
    file.setValue(key, on);
    file.sync();
    return file.status() == QSettings::NoError;
}
