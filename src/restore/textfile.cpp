#include "restore/textfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

namespace restore {

namespace {

platform::Failure failure(const QString &path, const QString &reason) {
    return platform::fail(
        QCoreApplication::translate("restore::textfile", "Couldn't write \"%1\": %2").arg(path, reason));
}

} // namespace

platform::Result<void> writeUtf8Atomically(const QString &path, const QString &text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(path, file.errorString());
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failure(path, reason);
    }
    if (!file.commit())
        return failure(path, file.errorString());
    return {};
}

platform::Result<void> makeExecutable(const QString &path) {
    QFile file(path);
    const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser |
                                    QFile::WriteUser | QFile::ExeUser | QFile::ReadGroup | QFile::ExeGroup |
                                    QFile::ReadOther | QFile::ExeOther;
    if (!file.setPermissions(mode))
        return platform::fail(
            QCoreApplication::translate("restore::textfile", "Couldn't make \"%1\" executable: %2")
                .arg(path, file.errorString()));
    return {};
}

} // namespace restore
