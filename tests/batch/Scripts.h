#pragma once
// Small stand-ins for Osprel, written as shell scripts into a test's folder.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace batchtest {

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing " + path.toUtf8() + ">");
}

inline QString writeScript(const QString& path, const QByteArray& body) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write("#!/bin/sh\n" + body);
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// A helper that publishes its process id in `dir`/pid, then keeps running for a minute and
// only then leaves `dir`/finished behind: proof that a wait for it ended early.
inline QString writeHangingScript(const QString& dir, const QString& name) {
    const QByteArray d = dir.toUtf8();
    return writeScript(dir + "/" + name,
                       "echo $$ > \"" + d + "/pid.t\"; mv \"" + d + "/pid.t\" \"" + d +
                           "/pid\"\ni=0\nwhile [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done\n"
                           "touch \"" +
                           d + "/finished\"\n");
}

} // namespace batchtest
