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
    // A root other than "/" is another Mac's disk: read, never run, unless `trustRootTools` says its
    // programs may run and answer for that Mac (sample Macs and tests). A startup disk since macOS 11
    // is two volumes, "Name" and "Name - Data"; given either, the other is found beside it.
    FileManager(QString root, QString homeDirectory, bool trustRootTools = false);

    const QString &root() const { return m_root; }
    // The Mac is a disk or folder other than this machine's own file system (its root is not "/").
    bool hasRoot() const { return m_root != u'/'; }
    // The home folder as seen on the (possibly fake) Mac, a Mac path.
    const QString &homeDirectory() const { return m_home; }

    // The local path behind a Mac path.
    QString resolve(const QString &macPath) const;

    bool trustsRootTools() const { return m_trustRootTools; }
    // The local path of a tool that answers about the Mac being looked at: the tool itself on this
    // machine, the one under a trusted root; absent under any other root, whose programs never run.
    std::optional<QString> toolOfThatMac(const QString &macPath) const;
    // The local path of a tool that acts on this machine (re-adding login items, checking a Brewfile):
    // this machine's own, except under a trusted root, whose stand-ins answer for it.
    QString toolOfThisMac(const QString &macPath) const;

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
    bool m_trustRootTools = false;
    // With a two-volume startup disk, the Data volume (the user's files, /Applications, /opt) and the
    // system volume; both empty otherwise.
    QString m_dataVolume;
    QString m_systemVolume;
};

} // namespace platform
