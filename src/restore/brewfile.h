#pragma once

#include "model/manifest.h"
#include "restore/brewfilekinds.h"

#include <QList>
#include <QString>

// The Brewfile: the text Homebrew's bundle command reads to install taps, formulae, casks and Mac App
// Store applications. Homebrew evaluates it as Ruby, so every inserted value goes in as a Ruby string
// literal that evaluates to exactly that value, and the two comment lines cannot spill into code.
namespace restore {

// Taps that come with Homebrew and never get a line of their own.
inline const QStringList builtInTaps{QStringLiteral("homebrew/core"), QStringLiteral("homebrew/cask")};

// The Brewfile of `entries` under a header naming the Mac and the time of its manifest. Each kind's
// block comes in table order, its lines sorted by the name as written (Unicode scalar values after
// canonical composition, stably); a kind without lines writes nothing, not even its heading.
QString writeBrewfile(const model::Manifest &manifest, const BrewfileEntries &entries);

// The entries of a manifest's taps (with their kept remotes) and formulae, of the casks of
// `brewCasks` no application of the manifest stands for, and of the given applications: `casks` by
// their tokens, `appStoreApps` by their ids (those without get no line). No name is checked here.
BrewfileEntries brewfileEntries(const model::Manifest &manifest, const QList<model::AppRecord> &casks,
                                const QList<model::AppRecord> &appStoreApps);
// writeBrewfile of brewfileEntries.
QString buildBrewfile(const model::Manifest &manifest, const QList<model::AppRecord> &casks,
                      const QList<model::AppRecord> &appStoreApps);

// The casks of `manifest.brewCasks` that no application of the manifest stands for (fonts,
// command-line tools, drivers), in manifest order: a cask and an application's token are the same
// cask when their last parts agree.
QStringList otherCasks(const model::Manifest &manifest);

// The remote a Brewfile may give `tap`: its manifest remote where that is an https address without
// credentials; empty otherwise (Homebrew then clones its default address).
QString writableRemote(const model::Manifest &manifest, const QString &tap);

// The entries of a package kind (restore::packageKinds) the manifest lists, in manifest order: its
// editor extensions, npm packages, crates, Python tools, or the casks of its matched fonts, each
// once. Empty for any other kind.
QStringList packageNames(const model::Manifest &manifest, BrewfileKind kind);

// Whether the app has an App Store id the store could have given; the store numbers its apps from 1,
// so 0 or less is no id at all.
bool hasAppStoreId(const model::AppRecord &app);

// A double-quoted Ruby literal whose value is `text`. Text without a backslash, double quote,
// interpolation opener or control character is only wrapped in quotes.
QString rubyStringLiteral(const QString &text);
// `text` fit to print to a terminal: control characters (tab, line breaks and escape included), line
// and paragraph separators and lone surrogates spelt as in a Ruby literal ("\n", "\e", "\u{85}"),
// a backslash doubled, everything else as it is. What a server or another Mac's disk says can then
// neither drive the terminal nor split one printed record into two.
QString escapedControls(const QString &text);
void appendRubyStringLiteral(QString &out, const QString &text);

// `text` fit to stand inside a one-line comment: control characters (line breaks included) become
// spaces.
QString commentText(const QString &text);

} // namespace restore
