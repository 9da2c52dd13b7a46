#include "batch/RunSettings.h"

#include "Version.h"

#include <QSettings>
#include <QStandardPaths>

#include <algorithm>

namespace vantrel {

namespace {

const QString Key = QStringLiteral("run/machinesAtOnce");

// An explicit file rather than the native store, so the same text file is found on every
// system (the registry would be used on Windows otherwise).
QSettings settingsFile() {
    return QSettings(settingsFilePath(), QSettings::IniFormat);
}

} // namespace

QString settingsFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/" VANTREL_MAKER "/Vantrel.conf");
}

int machinesAtOnce() {
    bool ok = false;
    const int stored = settingsFile().value(Key).toInt(&ok);
    return ok ? std::clamp(stored, MinMachinesAtOnce, MaxMachinesAtOnce) : MinMachinesAtOnce;
}

bool setMachinesAtOnce(int count) {
    QSettings file = settingsFile();
    file.setValue(Key, std::clamp(count, MinMachinesAtOnce, MaxMachinesAtOnce));
    file.sync();
    return file.status() == QSettings::NoError;
}

} // namespace vantrel
