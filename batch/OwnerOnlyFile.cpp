#include "batch/OwnerOnlyFile.h"

#include <QDir>
#include <QFileInfo>

#include <stdexcept>

namespace vantrel {

namespace {

// "x.log" -> "x_2.log" for n = 2.
QString numberedName(const QString& name, int n) {
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString suffix = "_" + QString::number(n);
    return dot > 0 ? name.left(dot) + suffix + name.mid(dot) : name + suffix;
}

} // namespace

std::unique_ptr<QFile> createOwnerOnlyFile(const std::string& directory, const std::string& name, bool exact,
                                           const std::string& what) {
    constexpr int Tries = 10000;
    const QDir dir(QString::fromStdString(directory));
    const QString wanted = QString::fromStdString(name);
    for (int n = 1; n <= (exact ? 1 : Tries); ++n) {
        auto file = std::make_unique<QFile>(dir.filePath(n == 1 ? wanted : numberedName(wanted, n)));
        // NewOnly: never an existing file, even one made in the same second by another run.
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
                       QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return file;
        if (!file->exists())
            throw std::runtime_error("Could not create " + what + " " +
                                     QDir::toNativeSeparators(file->fileName()).toStdString() + ": " +
                                     file->errorString().toStdString());
    }
    const std::string path = QDir::toNativeSeparators(dir.filePath(wanted)).toStdString();
    throw std::runtime_error(exact ? "The file " + path + " already exists; it is never overwritten"
                                   : "Could not create " + what + ": every name for " + name + " is taken");
}

} // namespace vantrel
