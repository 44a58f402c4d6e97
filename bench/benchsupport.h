#pragma once

#include "platform/userdefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

// What the benchmarks that run the real engine share: a way to stop on a broken set-up, files for a
// fake Mac, the settings of a run kept away from the user's, and the median of the samples.
namespace bench {

// A set-up that failed makes every figure meaningless: the run stops with status 2.
[[noreturn]] inline void fail(const QString &what) {
    std::fprintf(stderr, "%s: %s\n",
                 qPrintable(QFileInfo(QCoreApplication::applicationFilePath()).fileName()), qPrintable(what));
    std::exit(2);
}

inline void writeFile(const QString &path, const QByteArray &bytes, bool executable = false) {
    if (!QDir().mkpath(path.section(u'/', 0, -2)))
        fail(QStringLiteral("cannot create the folder of ") + path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fail(QStringLiteral("cannot write ") + path);
    if (executable && !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        fail(QStringLiteral("cannot make executable ") + path);
}

inline double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 ? values.at(middle) : (values.at(middle - 1) + values.at(middle)) / 2;
}

// The program's settings in a scratch folder for as long as this lives, so a run neither reads nor
// changes the user's remembered links.
class ScratchSettings {
public:
    ScratchSettings() {
        if (!m_dir.isValid())
            fail(QStringLiteral("no temporary folder"));
        platform::setApplicationIdentity();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
    }

private:
    QTemporaryDir m_dir;
};

} // namespace bench
