#include "inventory/caskcatalogue.h"

#include <QVarLengthArray>

#include <simdjson.h>

#include <algorithm>
#include <tuple>

namespace inventory {

namespace {

using simdjson::dom::array;
using simdjson::dom::element;
using simdjson::dom::object;

bool allObjects(const array &elements) {
    for (const element item : elements) {
        if (!item.is_object())
            return false;
    }
    return true;
}

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// True only for the JSON value true: a flag given as text or a number is not set.
bool flag(const object &cask, std::string_view key) {
    bool value = false;
    return cask[key].get_bool().get(value) == simdjson::SUCCESS && value;
}

// Calls `use` with each object of the value when it is an array.
template <class Use> void forEachObject(const simdjson::simdjson_result<element> &value, Use use) {
    array items;
    if (value.get_array().get(items) != simdjson::SUCCESS)
        return;
    for (const element item : items) {
        object found;
        if (item.get_object().get(found) == simdjson::SUCCESS)
            use(found);
    }
}

// Calls `use` with the value when it is text, or with each text of it when it is an array.
template <class Use> void forEachText(const simdjson::simdjson_result<element> &value, Use use) {
    std::string_view text;
    array items;
    if (value.get_string().get(text) == simdjson::SUCCESS) {
        use(text);
    } else if (value.get_array().get(items) == simdjson::SUCCESS) {
        for (const element item : items) {
            if (item.get_string().get(text) == simdjson::SUCCESS)
                use(text);
        }
    }
}

// What lies between `prefix` and `suffix` when `path` is exactly that: one path component, no glob
// characters (a pattern stands for no one application in particular).
std::optional<std::string_view> between(std::string_view path, std::string_view prefix,
                                        std::string_view suffix) {
    if (path.size() < prefix.size() + suffix.size() || !path.starts_with(prefix) || !path.ends_with(suffix))
        return std::nullopt;
    const std::string_view middle = path.substr(prefix.size(), path.size() - prefix.size() - suffix.size());
    if (middle.find_first_of("/*?[]") != std::string_view::npos)
        return std::nullopt;
    return middle;
}

// "chrome-mac/Chromium.app" → "Chromium.app".
std::string_view lastPathComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

class CaskCatalogue::Builder {
public:
    explicit Builder(CaskCatalogue &catalogue)
        : m_catalogue(catalogue) {}

    // Takes one cask; gives up on it (adding nothing) when its token or artifacts are not of the
    // catalogue's shape.
    void add(const object &cask) {
        std::string_view token;
        if (cask["token"].get_string().get(token) != simdjson::SUCCESS)
            return;
        array artifacts;
        if (cask["artifacts"].get_array().get(artifacts) != simdjson::SUCCESS || !allObjects(artifacts))
            return;

        m_token = token;
        m_cask = none;
        m_object = cask;
        bool package = false;
        for (const element artifact : artifacts) {
            const object kind = artifact.get_object().value_unsafe();
            array apps;
            if (kind["app"].get_array().get(apps) == simdjson::SUCCESS)
                forEachInstalledName(apps, [this](std::string_view path) { addAppName(path); });
            package = package || kind["pkg"].error() == simdjson::SUCCESS;
            array fonts;
            if (kind["font"].get_array().get(fonts) == simdjson::SUCCESS) {
                forEachInstalledName(fonts, [this](std::string_view path) {
                    link(m_catalogue.m_fontFiles, fromUtf8(lastPathComponent(path)).toLower());
                });
            }
        }
        // What a package installs is named only by what uninstalling it removes; a cask that lists
        // its application is found by that name alone.
        if (package) {
            for (const element artifact : artifacts)
                addPackageEvidence(artifact.get_object().value_unsafe());
        }
    }

private:
    // A text element names what the artifact installs; an object right after it may rename it on
    // installation.
    template <class Use> static void forEachInstalledName(const array &items, Use use) {
        std::optional<std::string_view> pending;
        for (const element item : items) {
            std::string_view text;
            if (pending) {
                std::string_view target;
                const bool renamed =
                    item.is_object() &&
                    item.get_object().value_unsafe()["target"].get_string().get(target) == simdjson::SUCCESS;
                use(renamed ? target : *pending);
                pending.reset();
            }
            if (item.get_string().get(text) == simdjson::SUCCESS)
                pending = text;
        }
        if (pending)
            use(*pending);
    }

    void addPackageEvidence(const object &artifact) {
        forEachObject(artifact["uninstall"], [this](const object &stanza) {
            forEachText(stanza["delete"], [this](std::string_view path) {
                if (const auto name = between(path, "/Applications/", ".app"))
                    link(m_catalogue.m_packageNames, fromUtf8(*name).toLower() + QStringLiteral(".app"));
            });
            forEachText(stanza["quit"], [this](std::string_view id) { addBundleId(id); });
            addSignalledIds(stanza["signal"]);
        });
        forEachObject(artifact["zap"], [this](const object &stanza) {
            forEachText(stanza["trash"], [this](std::string_view path) {
                if (const auto id = between(path, "~/Library/Preferences/", ".plist"))
                    addBundleId(*id);
            });
        });
    }

    // Pairs of a signal and the identifier of what receives it: flat, or each pair an array.
    void addSignalledIds(const simdjson::simdjson_result<element> &signal) {
        array pairs;
        if (signal.get_array().get(pairs) != simdjson::SUCCESS)
            return;
        size_t position = 0;
        for (const element item : pairs) {
            array pair;
            std::string_view id;
            if (item.get_array().get(pair) == simdjson::SUCCESS) {
                if (pair.at(1).get_string().get(id) == simdjson::SUCCESS)
                    addBundleId(id);
            } else if (position % 2 == 1 && item.get_string().get(id) == simdjson::SUCCESS) {
                addBundleId(id);
            }
            ++position;
        }
    }

    void addBundleId(std::string_view id) {
        if (!id.empty())
            link(m_catalogue.m_bundleIds, fromUtf8(id));
    }

    void addAppName(std::string_view path) {
        link(m_catalogue.m_appNames, fromUtf8(lastPathComponent(path)).toLower());
    }

    void link(Index &index, const QString &key) {
        if (m_cask == none) {
            // Only casks that list something are kept, so their positions stay in catalogue order.
            m_cask = static_cast<qint32>(m_catalogue.m_casks.size());
            m_catalogue.m_casks.append(
                {fromUtf8(m_token), flag(m_object, "disabled"), flag(m_object, "deprecated")});
        }
        auto head = index.find(key);
        if (head == index.end())
            head = index.insert(key, none);
        else if (m_catalogue.m_links.at(*head).cask == m_cask)
            return; // the same cask naming the same key twice
        m_catalogue.m_links.append({m_cask, *head});
        *head = static_cast<qint32>(m_catalogue.m_links.size() - 1);
    }

    CaskCatalogue &m_catalogue;
    std::string_view m_token;
    object m_object;
    qint32 m_cask = none;
};

CaskCatalogue CaskCatalogue::parse(QByteArrayView json) {
    if (json.isEmpty())
        return {};
    // The DOM parser validates the whole document (UTF-8 included) before anything is read from it,
    // so a truncated download gives an empty catalogue rather than a partial one.
    simdjson::dom::parser parser;
    element root;
    if (parser.parse(json.data(), static_cast<size_t>(json.size())).get(root) != simdjson::SUCCESS)
        return {};
    array casks;
    if (root.get_array().get(casks) != simdjson::SUCCESS || !allObjects(casks))
        return {};

    CaskCatalogue catalogue;
    // About one application per cask; reserving up front spares the rehashing of 7,500 entries.
    const auto count = static_cast<qsizetype>(casks.size());
    catalogue.m_casks.reserve(count);
    catalogue.m_links.reserve(count + count / 8);
    catalogue.m_appNames.reserve(count);
    Builder builder(catalogue);
    for (const element cask : casks)
        builder.add(cask.get_object().value_unsafe());
    return catalogue;
}

CaskCatalogue::Found CaskCatalogue::choose(const Index &index, const QString &key, const QString &appName,
                                           const InstalledCasks &installed, QString &token) const {
    const auto head = index.constFind(key);
    if (head == index.cend())
        return Found::nothing;
    QVarLengthArray<qint32, 8> candidates;
    for (qint32 at = *head; at != none; at = m_links.at(at).next) {
        if (!m_casks.at(m_links.at(at).cask).disabled)
            candidates.append(m_links.at(at).cask);
    }
    if (candidates.isEmpty())
        return Found::nothingInstallable;

    // Smaller is better, field by field. Most applications have one cask, and need no ranking.
    using Rank = std::tuple<bool, bool, bool, bool, qsizetype, qint32>;
    const QString wanted = candidates.size() > 1 ? appName.toLower().replace(u' ', u'-') : QString();
    const auto rank = [&](qint32 position) {
        const Cask &cask = m_casks.at(position);
        return Rank{!installed.contains(cask.token),
                    cask.token.contains(u'@'),
                    cask.deprecated,
                    cask.token != wanted,
                    cask.token.size(),
                    position};
    };
    token = m_casks
                .at(*std::min_element(candidates.cbegin(), candidates.cend(),
                                      [&](qint32 a, qint32 b) { return rank(a) < rank(b); }))
                .token;
    return Found::cask;
}

std::optional<QString> CaskCatalogue::caskFor(const QString &appName, const std::optional<QString> &bundleId,
                                              const InstalledCasks &installed) const {
    const QString name = (appName + QStringLiteral(".app")).toLower();
    QString token;
    Found found = choose(m_appNames, name, appName, installed, token);
    if (found == Found::nothing)
        found = choose(m_packageNames, name, appName, installed, token);
    if (found == Found::nothing && bundleId && !bundleId->startsWith(QStringLiteral("com.apple.")))
        found = choose(m_bundleIds, *bundleId, appName, installed, token);
    if (found == Found::cask)
        return token;
    return std::nullopt;
}

QStringList CaskCatalogue::fontCasks(const QString &fileName) const {
    QStringList tokens;
    const auto head = m_fontFiles.constFind(fileName.toLower());
    for (qint32 at = head == m_fontFiles.cend() ? none : *head; at != none; at = m_links.at(at).next) {
        if (!m_casks.at(m_links.at(at).cask).disabled)
            tokens.prepend(m_casks.at(m_links.at(at).cask).token);
    }
    return tokens;
}

QHash<QString, QStringList> CaskCatalogue::tokensByKey(const Index &index) const {
    QHash<QString, QStringList> result;
    result.reserve(index.size());
    for (auto it = index.cbegin(); it != index.cend(); ++it) {
        QStringList tokens;
        for (qint32 at = *it; at != none; at = m_links.at(at).next)
            tokens.prepend(m_casks.at(m_links.at(at).cask).token);
        result.insert(it.key(), tokens);
    }
    return result;
}

} // namespace inventory
