#pragma once

#include "model/manifest.h"
#include "restore/homebrewnames.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <optional>

// The kinds of Brewfile lines beyond Homebrew's taps, formulae and applications: editor extensions,
// npm packages, crates, Python tools and the casks of fonts. One row each: which manifest entries it
// takes, how a line reads, which names it can take and what the restore window calls it.
namespace restore {

// In Brewfile order, after the App Store lines.
enum class PackageKind { extension, npm, crate, pythonTool, fontCask };
inline constexpr std::size_t packageKindCount = 5;

struct PackageKindRow {
    PackageKind kind;
    // What a left-out entry of this kind is called.
    HomebrewKind nameKind;
    // The comment line over the block, and the Brewfile method each line calls: `<keyword> "name"`.
    QStringView heading;
    QStringView keyword;
    // A formula the lines need, written first unless the chosen formulae have it; empty for none.
    QStringView needsFormula;
    // Why a name can't be written as this kind; nothing when it can.
    std::optional<QString> (*problem)(QStringView name);
    // The entries of a manifest of this kind, in manifest order.
    QStringList (*listed)(const model::Manifest &manifest);
    // Installing one runs code from a registry Homebrew doesn't maintain.
    bool thirdParty;
};

const PackageKindRow &packageKind(PackageKind kind);
const std::array<PackageKindRow, packageKindCount> &packageKinds();

// Names of each kind, by kind.
using PackageNames = std::array<QStringList, packageKindCount>;
using PackageChoice = std::array<QSet<QString>, packageKindCount>;

// The entries of each kind a Brewfile can take and the user left chosen, in manifest order; the
// others are appended to `skipped` with the reason, chosen or not.
PackageNames usablePackages(const model::Manifest &manifest, const PackageChoice &unchosen,
                            QList<SkippedEntry> &skipped);

template <class Array> auto &ofKind(Array &array, PackageKind kind) {
    return array[static_cast<std::size_t>(kind)];
}

} // namespace restore
