#include "platform/userdefaults.h"

#include <QCoreApplication>
#include <QSettings>

namespace platform {

void setApplicationIdentity() {
    QCoreApplication::setOrganizationDomain(QStringLiteral("quillfen.com"));
    QCoreApplication::setApplicationName(QStringLiteral("Haulwise"));
    const QString folder = qEnvironmentVariable("HAULWISE_SETTINGS_FOLDER");
    if (!folder.isEmpty()) {
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
    }
}

QVariant UserDefaults::value(const QString &key) {
    return QSettings().value(key);
}

void UserDefaults::setValue(const QString &key, const QVariant &value) {
    QSettings settings;
    settings.setValue(key, value);
    settings.sync();
}

void UserDefaults::remove(const QString &key) {
    QSettings settings;
    settings.remove(key);
    settings.sync();
}

} // namespace platform
