#include "ProgramOptions.h"

#include <QSettings>
#include <QStandardPaths>

namespace {
const QString kTestAndCopy = QStringLiteral("Rip/TestAndCopy");
}  // namespace

TProgramOptions::TProgramOptions(QString path) : path_(std::move(path)) {
    const QSettings file(path_, QSettings::IniFormat);
    testAndCopy_ = file.value(kTestAndCopy, false).toBool();
}

QString TProgramOptions::DefaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Sonvale/Sonvale.conf");
}

bool TProgramOptions::SetTestAndCopy(bool on) {
    testAndCopy_ = on;
    QSettings file(path_, QSettings::IniFormat);
    file.setValue(kTestAndCopy, on);
    file.sync();
    return file.status() == QSettings::NoError;
}
