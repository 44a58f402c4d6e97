#include "platform/filemanager.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

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

std::optional<QByteArray> FileManager::contents(const QString &macPath) const {
    QFile file(resolve(macPath));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
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
