#include "inventory/editorextensions.h"

#include "model/manifest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace inventory::editorExtensions {

namespace {

// The registry of a few hundred extensions is well under a megabyte.
constexpr qint64 maxRegistryBytes = 16 * 1024 * 1024;

} // namespace

std::optional<QStringList> parseRegistry(QByteArrayView json) {
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray());
    if (!document.isArray())
        return std::nullopt;
    QStringList ids;
    for (const QJsonValue entry : document.array()) {
        const QString id = entry[QLatin1StringView("identifier")][QLatin1StringView("id")].toString();
        if (!id.isEmpty())
            ids.append(id.toLower());
    }
    return ids;
}

std::optional<QString> idFromFolderName(const QString &name) {
    // The version starts at the first "-<digits>.<digits>"; the id before it may hold hyphens of its
    // own ("esbenp.prettier-vscode-10.1.0"), and a platform may follow the version.
    static const QRegularExpression folder(QStringLiteral(R"(^([^.\-][^.]*\..+?)-\d+\.\d+.*$)"));
    const QRegularExpressionMatch match = folder.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toLower();
}

QStringList parseObsolete(QByteArrayView json) {
    return QJsonDocument::fromJson(json.toByteArray()).object().keys();
}

QStringList read(const platform::FileManager &fm) {
    QStringList ids;
    for (const QString &relative : folders) {
        const QString folder = fm.homeDirectory() + u'/' + relative;
        if (const auto registry =
                fm.regularFileContents(folder + QStringLiteral("/extensions.json"), maxRegistryBytes)) {
            if (const auto parsed = parseRegistry(*registry)) {
                ids += *parsed;
                continue;
            }
        }
        const auto entries = fm.contentsOfDirectory(folder);
        if (!entries)
            continue;
        // Folders of uninstalled extensions stay until the editor next starts.
        const QStringList obsolete =
            parseObsolete(fm.regularFileContents(folder + QStringLiteral("/.obsolete"), maxRegistryBytes)
                              .value_or(QByteArray()));
        for (const QString &entry : *entries) {
            if (obsolete.contains(entry))
                continue;
            if (const auto id = idFromFolderName(entry))
                ids.append(*id);
        }
    }
    return model::sortedUnique(ids);
}

} // namespace inventory::editorExtensions
