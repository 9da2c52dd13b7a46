#include "batch/OwnerOnlyFile.h"

#include "platform/NewFile.h"

#include <QDir>
#include <QFileInfo>

#include <stdexcept>

namespace vantrel {

std::unique_ptr<QFile> createOwnerOnlyFile(const std::string& directory, const std::string& name, bool exact,
                                           const std::string& what) {
    constexpr int Tries = 10000;
    const QDir dir(QString::fromStdString(directory));
    for (int n = 1; n <= (exact ? 1 : Tries); ++n) {
        const std::string candidate = n == 1 ? name : platform::numberedName(name, n);
        auto file = std::make_unique<QFile>(dir.filePath(QString::fromStdString(candidate)));
        // NewOnly: never an existing file, even one made in the same second by another run.
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
                       QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return file;
        if (!file->exists())
            throw std::runtime_error("Could not create " + what + " " +
                                     QDir::toNativeSeparators(file->fileName()).toStdString() + ": " +
                                     file->errorString().toStdString());
    }
    const std::string path =
        QDir::toNativeSeparators(dir.filePath(QString::fromStdString(name))).toStdString();
    throw std::runtime_error(exact ? "The file " + path + " already exists; it is never overwritten"
                                   : "Could not create " + what + ": every name for " + name + " is taken");
}

} // namespace vantrel
