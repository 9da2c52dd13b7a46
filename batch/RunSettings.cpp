#include "batch/RunSettings.h"

#include "Version.h"

#include <QSettings>
#include <QStandardPaths>

#include <algorithm>

namespace vantrel {

namespace {

const QString Key = QStringLiteral("run/machinesAtOnce");

} // namespace

// Windows keeps a program's settings in the registry (a key of HKEY_CURRENT_USER\Software named
// after the maker and the program), where policies can preset them; elsewhere a text file.
QSettings programSettings() {
#ifdef Q_OS_WIN
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral(VANTREL_MAKER),
                     QStringLiteral("Vantrel"));
#else
    return QSettings(settingsFilePath(), QSettings::IniFormat);
#endif
}

QString settingsFilePath() {
#ifdef Q_OS_WIN
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\" VANTREL_MAKER "\\Vantrel");
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/" VANTREL_MAKER "/Vantrel.conf");
#endif
}

int machinesAtOnce() {
    bool ok = false;
    const int stored = programSettings().value(Key).toInt(&ok);
    return ok ? std::clamp(stored, MinMachinesAtOnce, MaxMachinesAtOnce) : MinMachinesAtOnce;
}

bool setMachinesAtOnce(int count) {
    QSettings file = programSettings();
    file.setValue(Key, std::clamp(count, MinMachinesAtOnce, MaxMachinesAtOnce));
    file.sync();
    return file.status() == QSettings::NoError;
}

} // namespace vantrel
