#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

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

// A file of tests/data. Missing, it stops the run: every test that reads it would fail anyway.
inline QByteArray testData(const char *name) {
    QFile file(QStringLiteral(HAULWISE_TEST_DATA "/") + QLatin1StringView(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test data: %s", qPrintable(file.fileName()));
    return file.readAll();
}

// The words of `line` split at its spaces: arguments, or any list of names, that hold no space.
inline QStringList words(const char *line) {
    return QString::fromUtf8(line).split(u' ');
}

// A folder name a shell would take apart if it were not quoted properly.
inline const QString awkwardName = QStringLiteral("My \"Mac\" $HOME `echo oops` it's \\ here");

// A temporary folder with a bin folder in it, for stand-ins of the programs a script runs; valid only
// when both were made.
class StandInDir : public QTemporaryDir {
public:
    const QString bin = filePath(QStringLiteral("bin"));
    StandInDir() { QDir().mkpath(bin); }
    bool isValid() const { return QTemporaryDir::isValid() && QFileInfo(bin).isDir(); }
};

// A Homebrew of this machine's own is found before any stand-in on the PATH.
inline bool hasRealHomebrew() {
    return QFileInfo(QStringLiteral("/opt/homebrew/bin/brew")).isExecutable() ||
           QFileInfo(QStringLiteral("/usr/local/bin/brew")).isExecutable();
}
