#include "restore/brewfilekinds.h"

#include "restore/brewfile.h"
#include "restore/packagenames.h"
#include "restore/retiredtaps.h"

namespace restore {

namespace {

std::optional<QString> tapProblem(QStringView name) {
    if (auto problem = homebrewNameProblem(HomebrewKind::tap, name))
        return problem;
    if (isRetiredTap(name))
        return retiredTapReason();
    return std::nullopt;
}

std::optional<QString> formulaProblem(QStringView name) {
    return homebrewNameProblem(HomebrewKind::formula, name);
}

std::optional<QString> caskProblem(QStringView name) {
    return homebrewNameProblem(HomebrewKind::cask, name);
}

// Retired taps are never written, whoever asks: Homebrew refuses them and the installer would hide it.
QString writtenTap(const QString &name) {
    return builtInTaps.contains(name) || isRetiredTap(name) ? QString() : name;
}

QString asIs(const QString &name) {
    return name;
}

using Argument = BrewfileKindRow::Argument;

const std::array<BrewfileKindRow, brewfileKindCount> rows{{
    {BrewfileKind::tap, HomebrewKind::tap, {}, u"tap", Argument::text, {}, tapProblem, writtenTap},
    {BrewfileKind::formula,
     HomebrewKind::formula,
     u"# CLI tools (Homebrew formulae)",
     u"brew",
     Argument::text,
     {},
     formulaProblem,
     withoutRetiredTap},
    {BrewfileKind::appCask,
     HomebrewKind::cask,
     u"# Apps (Homebrew casks)",
     u"cask",
     Argument::text,
     {},
     caskProblem,
     withoutRetiredTap},
    {BrewfileKind::otherCask,
     HomebrewKind::cask,
     u"# Other casks (fonts, command-line tools, drivers)",
     u"cask",
     Argument::text,
     {},
     caskProblem,
     withoutRetiredTap},
    {BrewfileKind::appStore, HomebrewKind::formula,
     u"# Mac App Store (requires `mas`; sign in to the App Store first)", u"mas", Argument::id, u"mas",
     nullptr, asIs},
    // An extension needs one of the editors, which no formula stands for: nothing is added.
    {BrewfileKind::extension,
     HomebrewKind::extension,
     u"# Editor extensions (VS Code, VSCodium, Cursor)",
     u"vscode",
     Argument::text,
     {},
     extensionIdProblem,
     asIs,
     true},
    {BrewfileKind::npm, HomebrewKind::npmPackage, u"# npm packages", u"npm", Argument::text, u"node",
     npmNameProblem, asIs, true},
    {BrewfileKind::crate, HomebrewKind::crate, u"# Rust crates (cargo install)", u"cargo", Argument::text,
     u"rust", crateNameProblem, asIs, true},
    {BrewfileKind::pythonTool, HomebrewKind::pythonTool, u"# Python tools (uv tool install)", u"uv",
     Argument::text, u"uv", pythonNameProblem, asIs, true},
    {BrewfileKind::fontCask,
     HomebrewKind::cask,
     u"# Fonts (Homebrew casks)",
     u"cask",
     Argument::text,
     {},
     caskProblem,
     withoutRetiredTap},
}};

} // namespace

const BrewfileKindRow &brewfileKind(BrewfileKind kind) {
    return rows[static_cast<std::size_t>(kind)];
}

const std::array<BrewfileKindRow, brewfileKindCount> &brewfileKinds() {
    return rows;
}

} // namespace restore
