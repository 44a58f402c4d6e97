#include "model/manifest.h"

#include <QCoreApplication>
#include <QHash>

#include <algorithm>

namespace model {

namespace {

// Absent and present values must hash apart, so an absent field contributes a fixed marker.
template <typename T> size_t hashOptional(const std::optional<T> &value, size_t seed) noexcept {
    return value ? qHashMulti(seed, 1, *value) : qHashMulti(seed, 0);
}

} // namespace

QList<AppRecord> Manifest::installableApps() const {
    QList<AppRecord> result;
    std::copy_if(apps.cbegin(), apps.cend(), std::back_inserter(result),
                 [](const AppRecord &app) { return app.source != AppSource::apple; });
    return result;
}

qsizetype Manifest::builtInCount() const {
    return std::count_if(apps.cbegin(), apps.cend(),
                         [](const AppRecord &app) { return app.source == AppSource::apple; });
}

QList<AppRecord> Manifest::appsWithSource(AppSource source) const {
    QList<AppRecord> result;
    std::copy_if(apps.cbegin(), apps.cend(), std::back_inserter(result),
                 [source](const AppRecord &app) { return app.source == source; });
    return result;
}

QStringList Manifest::unreadLines() const {
    const QHash<QString, QString> titles{
        {QStringLiteral("legacyLoginItems"), QCoreApplication::translate("model::Manifest", "Login items")},
        {QStringLiteral("backgroundItems"),
         QCoreApplication::translate("model::Manifest", "Background items")},
        {QStringLiteral("brewFormulae"), QCoreApplication::translate("model::Manifest", "Homebrew formulae")},
        {QStringLiteral("brewTaps"), QCoreApplication::translate("model::Manifest", "Homebrew taps")},
        {QStringLiteral("apps"), QCoreApplication::translate("model::Manifest", "Apps")},
    };
    QStringList lines;
    for (auto it = unread.cbegin(); it != unread.cend(); ++it)
        lines.append(titles.value(it.key(), it.key()) + QStringLiteral(": ") + it.value());
    return lines;
}

QStringList sortedUnique(QStringList names) {
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

// One record per file name; where a name comes twice, the first of them stays.
QList<FontRecord> sortedUnique(QList<FontRecord> fonts) {
    std::stable_sort(fonts.begin(), fonts.end(),
                     [](const FontRecord &a, const FontRecord &b) { return a.file < b.file; });
    fonts.erase(std::unique(fonts.begin(), fonts.end(),
                            [](const FontRecord &a, const FontRecord &b) { return a.file == b.file; }),
                fonts.end());
    return fonts;
}

size_t qHash(const AppRecord &r, size_t seed) noexcept {
    seed = qHashMulti(seed, r.name);
    seed = hashOptional(r.bundleId, seed);
    seed = hashOptional(r.version, seed);
    seed = qHashMulti(seed, r.path, static_cast<int>(r.source), r.isMenuBarApp);
    seed = hashOptional(r.appStoreId, seed);
    seed = hashOptional(r.caskToken, seed);
    return hashOptional(r.downloadURL, seed);
}

size_t qHash(const BackgroundItem &item, size_t seed) noexcept {
    seed = qHashMulti(seed, item.name);
    seed = hashOptional(item.developer, seed);
    return hashOptional(item.type, seed);
}

} // namespace model
