#pragma once

#include "restore/homebrewnames.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <optional>

// Every kind of line a Brewfile holds, one row of a table each: where its block goes, the heading
// over it, how a line is written and which names it can take. A new kind is a new row.
namespace restore {

// In block order. After the App Store come the packages of the other managers a Brewfile reaches,
// and the casks of fonts matched to a file.
enum class BrewfileKind {
    tap,
    formula,
    appCask,
    otherCask,
    appStore,
    extension,
    npm,
    crate,
    pythonTool,
    fontCask
};
inline constexpr std::size_t brewfileKindCount = 10;

// The kinds each read from a list of their own in the manifest and chosen entry by entry.
inline constexpr std::array packageKinds{BrewfileKind::extension, BrewfileKind::npm, BrewfileKind::crate,
                                         BrewfileKind::pythonTool, BrewfileKind::fontCask};

// One line: what it installs and, for some kinds, one more value (a tap's remote, an App Store id).
struct BrewfileEntry {
    QString name;
    QString argument; // empty: none

    friend bool operator==(const BrewfileEntry &, const BrewfileEntry &) = default;
};

struct BrewfileKindRow {
    BrewfileKind kind;
    // What a left-out entry of this kind is called.
    HomebrewKind nameKind;
    // The comment line over the block; empty for none.
    QStringView heading;
    // The Brewfile method the line calls: `<keyword> "name"`.
    QStringView keyword;
    // How the argument follows the name: `, "argument"`, or `, id: argument` for a number.
    enum class Argument { text, id } argument;
    // A formula the block's lines need, written first unless the formulae already have it.
    QStringView needsFormula;
    // Why a name can't be written as this kind; nothing when it can.
    std::optional<QString> (*problem)(QStringView name);
    // The name as written; an empty result writes no line (the taps that come with Homebrew).
    QString (*written)(const QString &name);
    // Installing one runs code from a registry Homebrew doesn't maintain.
    bool thirdParty = false;
};

const BrewfileKindRow &brewfileKind(BrewfileKind kind);
const std::array<BrewfileKindRow, brewfileKindCount> &brewfileKinds();

// The lines of a Brewfile, by kind, in the order they were added (the writer sorts).
using BrewfileEntries = std::array<QList<BrewfileEntry>, brewfileKindCount>;

inline QList<BrewfileEntry> &entriesOf(BrewfileEntries &entries, BrewfileKind kind) {
    return entries[static_cast<std::size_t>(kind)];
}

// Names, or a choice of names, by kind; only the package kinds are filled.
using PackageNames = std::array<QStringList, brewfileKindCount>;
using PackageChoice = std::array<QSet<QString>, brewfileKindCount>;

template <class Array> auto &ofKind(Array &array, BrewfileKind kind) {
    return array[static_cast<std::size_t>(kind)];
}

// Why a restore leaves out a retired tap.
inline QString retiredTapReason() {
    return QStringLiteral("Homebrew retired this tap");
}

} // namespace restore
