#pragma once

#include <QString>
#include <QVariant>

namespace platform {

// The names under which settings are kept: the standard domain of the application on a Mac
// (com.quillfen.Haulwise), ~/.config/quillfen.com/Haulwise.conf on Linux. Every program entry point
// and test calls this before touching settings.
//
// When the environment names a folder in HAULWISE_SETTINGS_FOLDER, the settings are an INI file in
// that folder instead, on every platform. The tests use it, and the programs they start inherit it:
// on a Mac the native settings are the user's own preferences, and no path can move those aside.
void setApplicationIdentity();

// The user defaults of this program. Stateless: each call goes to the store, so a value written by one
// part of the program (or another process) is what the next read sees.
class UserDefaults {
public:
    static QVariant value(const QString &key);
    static void setValue(const QString &key, const QVariant &value);
    static void remove(const QString &key);
};

} // namespace platform
