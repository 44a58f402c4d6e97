#include "platform/filemanager.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

FileManager::FileManager()
    : FileManager(QStringLiteral("/"), QDir::homePath()) {}

FileManager::FileManager(QString root, QString homeDirectory)
    : m_root(QDir::cleanPath(root.isEmpty() ? QStringLiteral("/") : root))
    , m_home(std::move(homeDirectory)) {}

QString FileManager::resolve(const QString &macPath) const {
    if (m_root == u'/')
        return macPath;
    return m_root + (macPath.startsWith(u'/') ? macPath : u'/' + macPath);
}

std::optional<QStringList> FileManager::contentsOfDirectory(const QString &macPath) const {
    const QString local = resolve(macPath);
    const QFileInfo info(local);
    if (!info.isDir() || !info.isReadable())
        return std::nullopt;
    // QDirIterator keeps the file system's own order and, unlike QDir, does not sort.
    QStringList names;
    QDirIterator it(local, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        names.append(it.fileName());
    }
    return names;
}

Result<QByteArray> FileManager::regularFileContents(const QString &macPath, qint64 maxBytes) const {
    const QString local = resolve(macPath);
    const QByteArray path = QFile::encodeName(local);
    // Looked at before opening: opening a device can have effects of its own. Non-blocking, since
    // opening a named pipe waits for a writer; and looked at again once open, in case the path was
    // swapped in between.
    struct stat before;
    if (::stat(path.constData(), &before) != 0)
        return fail(QCoreApplication::translate("platform::FileManager", "%1 doesn't exist.").arg(local));
    if (!S_ISREG(before.st_mode))
        return fail(
            QCoreApplication::translate("platform::FileManager", "%1 isn't a regular file.").arg(local));
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(QCoreApplication::translate("platform::FileManager", "Couldn't open %1: %2")
                        .arg(local, QString::fromLocal8Bit(strerror(errno))));
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        return fail(
            QCoreApplication::translate("platform::FileManager", "%1 isn't a regular file.").arg(local));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(QCoreApplication::translate("platform::FileManager", "Couldn't open %1.").arg(local));
    }
    // One byte past the cap tells a file that is too large from one that is exactly the cap, also
    // when it grows after the look at its size. The first read asks for the size the file has, not
    // the cap: a buffer of the cap for every small file costs more than reading it.
    QByteArray bytes = file.read(std::min<qint64>(opened.st_size, maxBytes) + 1);
    // Only a file that grew since then has more to give.
    while (file.error() == QFileDevice::NoError && bytes.size() > opened.st_size &&
           bytes.size() <= maxBytes) {
        const QByteArray more = file.read(maxBytes + 1 - bytes.size());
        if (more.isEmpty())
            break;
        bytes += more;
    }
    if (file.error() != QFileDevice::NoError)
        return fail(QCoreApplication::translate("platform::FileManager", "Couldn't read %1: %2")
                        .arg(local, file.errorString()));
    if (bytes.size() > maxBytes)
        return fail(QCoreApplication::translate("platform::FileManager", "%1 is larger than %2 bytes.")
                        .arg(local)
                        .arg(maxBytes));
    return bytes;
}

bool FileManager::fileExists(const QString &macPath) const {
    // lstat semantics would hide a dangling link; the platform call follows links, and so does this.
    struct stat st;
    return ::stat(QFile::encodeName(resolve(macPath)).constData(), &st) == 0;
}

bool FileManager::isExecutableFile(const QString &macPath) const {
    const QByteArray local = QFile::encodeName(resolve(macPath));
    struct stat st;
    return ::stat(local.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(local.constData(), X_OK) == 0;
}

} // namespace platform
