#pragma once

#include "platform/userdefaults.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// Puts this process's settings, and those of every program it starts, in an INI file in a fresh
// temporary folder, on every platform, so tests never read or write the user's own settings.
class TestSettings {
public:
    TestSettings() {
        QVERIFY(m_dir.isValid());
        qputenv("HAULWISE_SETTINGS_FOLDER", m_dir.path().toUtf8());
        // Anything else that keeps its settings by the desktop's rules stays here too.
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
        platform::setApplicationIdentity();
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
