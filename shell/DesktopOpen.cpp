#include "shell/DesktopOpen.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace vantrel {

namespace {
std::function<void(const QString&)>& installedOpener() {
    static std::function<void(const QString&)> opener;
    return opener;
}

void openWithDesktop(const QString& target) {
    // A file path becomes a file: URL so that characters such as '#' or '?' in a folder name
    // are not taken for parts of an address.
    const QUrl url = QDir::isAbsolutePath(target) ? QUrl::fromLocalFile(target) : QUrl(target);
    QDesktopServices::openUrl(url);
}
} // namespace

void desktopOpen(const QString& target) {
    if (const auto& opener = installedOpener())
        opener(target);
    else
        openWithDesktop(target);
}

void setDesktopOpener(std::function<void(const QString&)> opener) {
    installedOpener() = std::move(opener);
}

} // namespace vantrel
