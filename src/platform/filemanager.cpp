#include "platform/filemanager.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

FileManager::FileManager()
    : FileManager(QStringLiteral("/"), QDir::homePath()) {}

namespace {

const QString dataSuffix = QStringLiteral(" - Data");

// The folders a startup disk keeps on its Data volume, merged into the system volume's tree.
bool onDataVolume(const QString &macPath) {
    static const QStringList prefixes{
        QStringLiteral("/Applications"), QStringLiteral("/Users"),   QStringLiteral("/Library"),
        QStringLiteral("/opt"),          QStringLiteral("/private"), QStringLiteral("/usr/local"),
        QStringLiteral("/Volumes"),      QStringLiteral("/cores"),
    };
    for (const QString &prefix : prefixes) {
        if (macPath == prefix || (macPath.startsWith(prefix) && macPath.at(prefix.size()) == u'/'))
            return true;
    }
    return false;
}

bool isFolder(const QString &path) {
    return QFileInfo(path).isDir();
}

} // namespace

FileManager::FileManager(QString root, QString homeDirectory, bool trustRootTools)
    : m_root(QDir::cleanPath(root.isEmpty() ? QStringLiteral("/") : root))
    , m_home(std::move(homeDirectory))
    , m_trustRootTools(trustRootTools) {
    if (m_root == u'/')
        return;
    if (m_root.endsWith(dataSuffix) && isFolder(m_root.chopped(dataSuffix.size()))) {
        m_dataVolume = m_root;
        m_systemVolume = m_root.chopped(dataSuffix.size());
    } else if (isFolder(m_root + dataSuffix)) {
        m_dataVolume = m_root + dataSuffix;
        m_systemVolume = m_root;
    }
}

QString FileManager::resolve(const QString &macPath) const {
    if (m_root == u'/')
        return macPath;
    const QString path = macPath.startsWith(u'/') ? macPath : u'/' + macPath;
    if (m_dataVolume.isEmpty())
        return m_root + path;
    // What the system volume brings along (Safari in /Applications) is found there when the Data
    // volume lacks it.
    if (onDataVolume(path)) {
        const QString onData = m_dataVolume + path;
        if (QFileInfo::exists(onData) || !QFileInfo::exists(m_systemVolume + path))
            return onData;
    }
    return m_systemVolume + path;
}

std::optional<QString> FileManager::toolOfThatMac(const QString &macPath) const {
    if (m_root == u'/')
        return macPath;
    if (m_trustRootTools)
        return resolve(macPath);
    return std::nullopt;
}

QString FileManager::toolOfThisMac(const QString &macPath) const {
    return m_trustRootTools ? resolve(macPath) : macPath;
}

std::optional<QStringList> FileManager::contentsOfDirectory(const QString &macPath) const {
    QStringList folders{resolve(macPath)};
    // A folder of the Data volume shows what the system volume keeps there too.
    const QString path = macPath.startsWith(u'/') ? macPath : u'/' + macPath;
    if (!m_dataVolume.isEmpty() && onDataVolume(path))
        folders = {m_dataVolume + path, m_systemVolume + path};
    std::optional<QStringList> names;
    QSet<QString> seen;
    for (const QString &local : std::as_const(folders)) {
        const QFileInfo info(local);
        if (!info.isDir() || !info.isReadable())
            continue;
        if (!names)
            names.emplace();
        // QDirIterator keeps the file system's own order and, unlike QDir, does not sort.
        QDirIterator it(local, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            it.next();
            if (folders.size() > 1) {
                if (seen.contains(it.fileName()))
                    continue;
                seen.insert(it.fileName());
            }
            names->append(it.fileName());
        }
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
