#include "restore/packagekinds.h"

#include "restore/fontcasks.h"
#include "restore/packagenames.h"

namespace restore {

namespace {

std::optional<QString> caskProblem(QStringView name) {
    return homebrewNameProblem(HomebrewKind::cask, name);
}

const std::array<PackageKindRow, packageKindCount> rows{{
    {PackageKind::extension,
     HomebrewKind::extension,
     u"# Editor extensions (VS Code, VSCodium, Cursor)",
     u"vscode",
     {},
     extensionIdProblem,
     [](const model::Manifest &m) { return m.vscodeExtensions; },
     true},
    {PackageKind::npm, HomebrewKind::npmPackage, u"# npm packages", u"npm", u"node", npmNameProblem,
     [](const model::Manifest &m) { return m.npmPackages; }, true},
    {PackageKind::crate, HomebrewKind::crate, u"# Rust crates (cargo install)", u"cargo", u"rust",
     crateNameProblem, [](const model::Manifest &m) { return m.cargoCrates; }, true},
    {PackageKind::pythonTool, HomebrewKind::pythonTool, u"# Python tools (uv tool install)", u"uv", u"uv",
     pythonNameProblem, [](const model::Manifest &m) { return m.uvTools; }, true},
    {PackageKind::fontCask,
     HomebrewKind::cask,
     u"# Fonts (Homebrew casks)",
     u"cask",
     {},
     caskProblem,
     fontCasks,
     false},
}};

} // namespace

const PackageKindRow &packageKind(PackageKind kind) {
    return rows[static_cast<std::size_t>(kind)];
}

const std::array<PackageKindRow, packageKindCount> &packageKinds() {
    return rows;
}

PackageNames usablePackages(const model::Manifest &manifest, const PackageChoice &unchosen,
                            QList<SkippedEntry> &skipped) {
    PackageNames usable;
    for (const PackageKindRow &row : rows) {
        for (const QString &name : row.listed(manifest)) {
            if (auto problem = row.problem(name))
                skipped.append({row.nameKind, name, std::move(*problem)});
            else if (!ofKind(unchosen, row.kind).contains(name))
                ofKind(usable, row.kind).append(name);
        }
    }
    return usable;
}

} // namespace restore
