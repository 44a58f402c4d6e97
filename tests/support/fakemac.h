#pragma once

#include "macwriter.h"
#include "platform/filemanager.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>

// A Mac laid out in a temporary folder: application bundles with real XML or binary Info.plists and
// receipts, a home folder, and the command-line tools as small shell scripts that print what the real
// ones print. Paths given to it are Mac paths.
class FakeMac {
public:
    using PlistFormat = MacWriter::PlistFormat;

    FakeMac();

    QString root() const { return m_dir.path(); }
    static QString home() { return QStringLiteral("/Users/me"); }
    platform::FileManager fileManager() const { return platform::FileManager(root(), home()); }
    QString local(const QString &macPath) const { return root() + macPath; }

    // Creates folder/name.app with Contents/Info.plist holding `info`; gives the bundle's Mac path.
    QString addBundle(const QString &folder, const QString &fileName, const QVariantMap &info,
                      PlistFormat format = PlistFormat::xml);
    // A bundle with no Info.plist at all.
    QString addBareBundle(const QString &folder, const QString &fileName);
    void writeInfoPlistBytes(const QString &bundlePath, const QByteArray &bytes);
    void addReceipt(const QString &bundlePath);

    void makeFolder(const QString &macPath);
    void writeFile(const QString &macPath, const QByteArray &bytes);
    // An executable /bin/sh script at macPath with `body` after the #! line.
    void addTool(const QString &macPath, const QByteArray &body);

    static QByteArray encodePlist(const QVariantMap &info, PlistFormat format) {
        return MacWriter::encodePlist(info, format);
    }

private:
    QTemporaryDir m_dir;
    MacWriter m_writer{m_dir.path()};
};
