#pragma once
// Small helpers several tests share: files in a test's temporary folder, and the name of this
// computer (the simulated network treats the machine of that name as the local one).
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <string>
#include <unistd.h>

namespace simtest {

// Writes (or overwrites) the file `name` in `dir`; its path. A test that cannot write its own
// files cannot go on.
inline QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
    return path;
}

inline std::string hostName() {
    char buf[256] = {};
    gethostname(buf, sizeof buf - 1);
    return buf;
}

} // namespace simtest
