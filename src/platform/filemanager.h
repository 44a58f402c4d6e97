#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace platform {

// The file system as a Mac sees it. Every path this program speaks of is a Mac path ("/Applications",
// "/opt/homebrew/bin/brew"); a FileManager resolves it under its root folder before touching the disk,
// so a whole Mac (folders, bundles and the command-line tools) can live inside a test's temporary
// folder. Records keep the Mac path; only resolve() ever sees the root.
class FileManager {
public:
    // Root "/" and the current user's home: the real machine.
    FileManager();
    FileManager(QString root, QString homeDirectory);

    const QString &root() const { return m_root; }
    // The Mac is a disk or folder other than this machine's own file system (its root is not "/").
    bool hasRoot() const { return m_root != u'/'; }
    // The home folder as seen on the (possibly fake) Mac, a Mac path.
    const QString &homeDirectory() const { return m_home; }

    // The local path behind a Mac path.
    QString resolve(const QString &macPath) const;

    // Names of the entries directly inside a folder, in the order the file system gives them;
    // absent when the folder is missing, not a folder or unreadable.
    std::optional<QStringList> contentsOfDirectory(const QString &macPath) const;
    // The bytes of a regular file (links followed) of at most `maxBytes`. Anything else fails with the
    // reason, without blocking and without reading more than the cap: a link to a device such as
    // /dev/zero, a named pipe with no writer, a folder, or a file past the cap.
    [[nodiscard]] Result<QByteArray> regularFileContents(const QString &macPath, qint64 maxBytes) const;
    bool fileExists(const QString &macPath) const;
    bool isExecutableFile(const QString &macPath) const;

private:
    QString m_root;
    QString m_home;
};

} // namespace platform
