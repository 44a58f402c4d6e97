#pragma once

#include "platform/userdefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
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

template <typename Work> double elapsedMs(const Work &work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Each piece of work once to warm up, then all of them in turn, so that every one sees the same
// machine conditions: the milliseconds of each run, one list per piece of work.
template <typename... Work>
std::array<QList<double>, sizeof...(Work)> interleaved(int repetitions, const Work &...work) {
    (work(), ...);
    std::array<QList<double>, sizeof...(Work)> times;
    for (int r = 0; r < repetitions; ++r) {
        std::size_t i = 0;
        (times[i++].append(elapsedMs(work)), ...);
    }
    return times;
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
