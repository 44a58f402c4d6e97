#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// What a manifest may name for the package managers a Brewfile reaches beyond Homebrew. Each name
// goes on a command line of its installer, and each installer runs code from its registry, so only
// names of the registry's own shape are let through; the rest is left out with the reason.
namespace restore {

// An editor extension id: "publisher.name", each part ASCII letters, digits and "-", starting with a
// letter or digit.
std::optional<QString> extensionIdProblem(QStringView id);
// An npm package name: at most 214 characters, lower case, "@scope/name" or "name", each part of
// letters, digits and "- . _" and not starting with ".", "_" or "-".
std::optional<QString> npmNameProblem(QStringView name);
// A crate name as crates.io takes it: ASCII letters, digits, "-" and "_", starting with a letter, at
// most 64 characters. The manifest marks crates from elsewhere ("name (git)"); they are said so.
std::optional<QString> crateNameProblem(QStringView name);
// A Python package name (PEP 508): ASCII letters and digits, with ". _ -" inside.
std::optional<QString> pythonNameProblem(QStringView name);

} // namespace restore
