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
// application has once installed. Many casks can list one application (a stable cask and its beta,
// nightly or ESR siblings, rival builds, disabled ones), so every candidate is kept and the choice is
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
    static CaskCatalogue parse(QByteArrayView json);

    bool isEmpty() const { return m_appNames.isEmpty(); }

    // The cask that installs an application named `appName` ("Firefox" for Firefox.app), or absent.
    // Among the casks that list it, a disabled one is never chosen; then the first of: one in
    // `installed`, a token without "@" (the stable channel), one not deprecated, a token equal to the
    // name lower-cased with spaces as "-", the shorter token, the earlier cask.
    std::optional<QString> caskFor(const QString &appName, const InstalledCasks &installed) const;

    // Each lower-cased application name with the tokens of its casks in catalogue order.
    QHash<QString, QStringList> appNames() const { return tokensByKey(m_appNames); }
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
};

} // namespace inventory
