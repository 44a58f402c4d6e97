#pragma once

#include "platform/userdefaults.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// Points this process's settings (and, through XDG_CONFIG_HOME, those of every program it starts) at
// a fresh temporary folder, so tests never read or write the user's own settings.
class TestSettings {
public:
    TestSettings() {
        QVERIFY(m_dir.isValid());
        platform::setApplicationIdentity();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
