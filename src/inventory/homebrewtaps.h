#pragma once

#include "platform/filemanager.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The taps of one Homebrew repository, read from its Library/Taps folder and each tap's own git
// configuration. Neither Homebrew nor git is run.
namespace inventory::homebrew {

struct TapRecord {
    QString name; // "user/repo", lower-cased as Homebrew names it
    // Where the tap was cloned from, when that is kept: an https address other than the default,
    // with any credentials removed.
    std::optional<QString> remote;

    friend bool operator==(const TapRecord &, const TapRecord &) = default;
};

// Two non-empty parts around one slash: the shape of a tap's name in a receipt.
bool isTapName(QStringView name);

// The url of the [remote "origin"] section of a git config file; absent when there is none, more than
// one, or the value needs git's own parser (quotes, escapes, comments) to be read right.
std::optional<QString> parseOriginUrl(QByteArrayView gitConfig);

// `url` as it may be recorded: https only, without user name, password, query or fragment (where a
// token would sit). Absent for anything else.
std::optional<QString> keptRemote(const QString &url);

// Homebrew's own address for `tap`, https://github.com/<user>/homebrew-<repo>, with or without ".git"
// (GitHub ignores case).
bool isDefaultRemote(const QString &tap, const QString &url);

// The taps under the repository `repository` (a Mac path: "/opt/homebrew", "/usr/local/Homebrew").
QList<TapRecord> readTaps(const platform::FileManager &fm, const QString &repository);

// A git config is small; a larger file is not one this program reads.
inline constexpr qint64 maxGitConfigBytes = 256 * 1024;

} // namespace inventory::homebrew
