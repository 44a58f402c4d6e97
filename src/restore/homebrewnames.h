#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// What a manifest may name for Homebrew. Taps, formulae and casks come from the old Mac over the
// network, and Homebrew reads a name with a path, a URL or an option in it as something else than a
// package; only names of the plain shape reach a Brewfile.
namespace restore {

// What a Brewfile line installs: Homebrew's own kinds, and the packages of the other managers a
// Brewfile reaches (editor extensions, npm packages, crates, Python tools).
enum class HomebrewKind { tap, formula, cask, extension, npmPackage, crate, pythonTool };

// "tap", "formula", "cask", "extension", "npm package", "crate" or "Python tool".
QString kindWord(HomebrewKind kind);

// Why Homebrew can't be given `name` as a `kind`; nothing when it can. A tap is "user/repo", a formula
// or cask "name" or "user/repo/name"; each segment is ASCII letters, digits and "@ . _ + -" and
// doesn't start with "-" or ".".
std::optional<QString> homebrewNameProblem(HomebrewKind kind, QStringView name);

// The tap a formula or cask of the "user/repo/name" form comes from; empty for a plain name.
QString tapOf(QStringView name);
// A tap that Homebrew itself doesn't maintain. No tap (the empty one `tapOf` gives a plain name) is
// Homebrew's own.
bool isThirdPartyTap(QStringView tap);

// Whether `formulae` hold the formula `needed` (such as "node"): by that name, a version of it
// ("node@22") or that name from a tap.
bool providesFormula(const QStringList &formulae, QStringView needed);

// An entry of the manifest that a restore leaves out, and why.
struct SkippedEntry {
    HomebrewKind kind = HomebrewKind::formula;
    QString name;
    QString reason;

    // One line for people: `Left out tap "x y": …`, the name quoted so that nothing in it is hidden.
    QString describe() const;

    friend bool operator==(const SkippedEntry &, const SkippedEntry &) = default;
};

} // namespace restore
