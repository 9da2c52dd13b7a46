#include "shell/DesktopOpen.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace vantrel {

namespace {
std::function<bool(const QString&)>& installedOpener() {
    static std::function<bool(const QString&)> opener;
    return opener;
}

bool openWithDesktop(const QString& target) {
    // A file path becomes a file: URL so that characters such as '#' or '?' in a folder name
    // are not taken for parts of an address.
    const QUrl url = QDir::isAbsolutePath(target) ? QUrl::fromLocalFile(target) : QUrl(target);
    return QDesktopServices::openUrl(url);
}
} // namespace

bool desktopOpen(const QString& target) {
    if (const auto& opener = installedOpener()) return opener(target);
    return openWithDesktop(target);
}

void setDesktopOpener(std::function<bool(const QString&)> opener) {
    installedOpener() = std::move(opener);
}

} // namespace vantrel
