#pragma once

#include "platform/filemanager.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// The extensions of the editors that share one extension format: the editor itself, its Insiders
// build, the build without the vendor's branding, and the fork with the AI features. Each keeps its
// extensions in one folder under the home folder, with a registry file beside them.
namespace inventory::editorExtensions {

// The extension folders, relative to the home folder.
inline const QStringList folders{
    QStringLiteral(".vscode/extensions"), QStringLiteral(".vscode-insiders/extensions"),
    QStringLiteral(".vscode-oss/extensions"), QStringLiteral(".cursor/extensions")};

// The ids ("publisher.name", lower case) of an extensions.json: an array of objects, each with
// identifier.id. Absent when the text is not such an array, so the folders' names are used instead.
std::optional<QStringList> parseRegistry(QByteArrayView json);
// "ms-python.python-2024.2.1-darwin-arm64" → "ms-python.python"; absent for a name that is no
// extension folder (the registry file, ".obsolete", anything without a version).
std::optional<QString> idFromFolderName(const QString &name);
// The folder names an ".obsolete" file marks for deletion: the keys of its JSON object.
QStringList parseObsolete(QByteArrayView json);

// The ids of every editor's extensions, sorted and each once.
QStringList read(const platform::FileManager &fm);

} // namespace inventory::editorExtensions
