#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace inventory {

// A cask as far as choosing between casks needs it.
struct Cask {
    QString token;
    bool disabled = false; // Homebrew refuses to install it
    bool deprecated = false;

    friend bool operator==(const Cask &, const Cask &) = default;
};

// The tokens of the casks Homebrew installed on the scanned Mac.
using InstalledCasks = QSet<QString>;

// Every cask of the Homebrew catalogue that could install an application, found by the name the
// application has once installed, and for casks that install through a package and list no name,
// by what their uninstall and zap stanzas name. Many casks can list one application (a stable cask and its
// beta, nightly or ESR siblings, rival builds, disabled ones), so every candidate is kept and the choice is
// made per application, knowing which casks this Mac has installed.
class CaskCatalogue {
public:
    // Reads the catalogue: a JSON array of cask objects. Empty when the bytes are not JSON or the top
    // level is not an array of objects; the whole document is validated before anything is taken. A
    // cask whose "token" is not text, or whose "artifacts" is not an array of objects, contributes
    // nothing.
    //
    // Application names: each text element of an "app" artifact, or the text "target" of the object
    // right after it when there is one (the name it is renamed to on installation); only the last path
    // component, lower-cased.
    //
    // Package evidence, only from casks with a "pkg" artifact: the uninstall "delete" entries of the
    // form "/Applications/<name>.app" give "<name>.app" lower-cased; the uninstall "quit" values, the
    // identifiers of the uninstall "signal" pairs and the zap "trash" entries of the form
    // "~/Library/Preferences/<id>.plist" give bundle identifiers, as written. Entries with glob
    // characters name no one application and are left out.
    static CaskCatalogue parse(QByteArrayView json);

    bool isEmpty() const {
        return m_appNames.isEmpty() && m_packageNames.isEmpty() && m_bundleIds.isEmpty() &&
               m_fontFiles.isEmpty();
    }

    // The cask that installs an application named `appName` ("Firefox" for Firefox.app), or absent.
    // The casks that list it by name are the candidates; only when there are none, the package
    // casks that delete it from /Applications, and when there are none of those either, the package
    // casks that name its bundle identifier (never one of Apple's own: a cask quitting Mail on
    // uninstall does not install Mail). Among the candidates, a disabled one is never chosen; then
    // the first of: one in `installed`, a token without "@" (the stable channel), one not
    // deprecated, a token equal to the name lower-cased with spaces as "-", the shorter token, the
    // earlier cask.
    std::optional<QString> caskFor(const QString &appName, const std::optional<QString> &bundleId,
                                   const InstalledCasks &installed) const;

    // The casks, in catalogue order and never a disabled one, whose "font" artifacts install a file
    // named `fileName`: the last path component of each artifact, compared without regard to case.
    QStringList fontCasks(const QString &fileName) const;

    // Each key with the tokens of its casks in catalogue order: lower-cased application names, the
    // package casks' application names, and their bundle identifiers.
    QHash<QString, QStringList> appNames() const { return tokensByKey(m_appNames); }
    QHash<QString, QStringList> packageAppNames() const { return tokensByKey(m_packageNames); }
    QHash<QString, QStringList> packageBundleIds() const { return tokensByKey(m_bundleIds); }
    // The casks that list something, in catalogue order.
    const QList<Cask> &casks() const { return m_casks; }

private:
    // The candidates of all keys share one list of links, each naming a cask and the key's next
    // (earlier) link, so a key costs one hash entry and no list of its own.
    struct Link {
        qint32 cask;
        qint32 next;
    };
    using Index = QHash<QString, qint32>; // key → its latest link
    static constexpr qint32 none = -1;

    class Builder;
    enum class Found { nothing, nothingInstallable, cask };
    Found choose(const Index &index, const QString &key, const QString &appName,
                 const InstalledCasks &installed, QString &token) const;
    QHash<QString, QStringList> tokensByKey(const Index &index) const;

    QList<Cask> m_casks;
    QList<Link> m_links;
    Index m_appNames;
    Index m_packageNames;
    Index m_bundleIds;
    Index m_fontFiles;
};

} // namespace inventory
