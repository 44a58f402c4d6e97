#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes `bytes` to `path`, replacing what was there; optionally makes it executable by its owner.
inline bool writeFile(const QString &path, const QByteArray &bytes, bool executable = false) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return !executable || file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// What `path` holds; empty when it can't be read.
inline QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A folder name a shell would take apart if it were not quoted properly.
inline const QString awkwardName = QStringLiteral("My \"Mac\" $HOME `echo oops` it's \\ here");
