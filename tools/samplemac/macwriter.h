#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVariantMap>

// Writes a Mac's files under a root folder; the paths given to it are Mac paths. The tests' fake Macs
// and the sample Mac (haulwise-samplemac) are both written with it, so property lists and JSON come
// out of the formats' own writers rather than hand-made text.
class MacWriter {
public:
    enum class PlistFormat { xml, binary };
    enum class Mode { plain, executable };

    explicit MacWriter(QString root)
        : m_root(std::move(root)) {}

    QString root() const { return m_root; }
    QString local(const QString &macPath) const { return m_root + macPath; }

    platform::Result<void> makeFolder(const QString &macPath) const;
    // Makes the folders above macPath as needed.
    platform::Result<void> writeFile(const QString &macPath, const QByteArray &bytes,
                                     Mode mode = Mode::plain) const;
    platform::Result<void> writePlist(const QString &macPath, const QVariantMap &plist,
                                      PlistFormat format = PlistFormat::xml) const;
    // A symbolic link at macPath to `target`, a path relative to the link's folder that stays inside
    // the Mac (as the links inside a bundle are).
    platform::Result<void> makeLink(const QString &macPath, const QString &target) const;
    // Indented, as Homebrew writes its receipts and metadata.
    platform::Result<void> writeJson(const QString &macPath, const QJsonObject &object) const;

    // Map keys become dictionary keys; bool, integer, double, QByteArray (data), list and map values
    // keep their types, anything else is written as a string.
    static QByteArray encodePlist(const QVariantMap &plist, PlistFormat format);

private:
    QString m_root;
};
