#pragma once

#include "model/manifest.h"
#include "restore/packagekinds.h"

#include <QList>
#include <QString>

// The Brewfile: the text Homebrew's bundle command reads to install taps, formulae, casks and Mac App
// Store applications. Homebrew evaluates it as Ruby, so every inserted value goes in as a Ruby string
// literal that evaluates to exactly that value, and the two comment lines cannot spill into code.
namespace restore {

// Taps that come with Homebrew and never get a line of their own.
inline const QStringList builtInTaps{QStringLiteral("homebrew/core"), QStringLiteral("homebrew/cask")};

// `casks` and `appStoreApps` are the chosen applications in manifest order; the manifest gives the
// header, the taps and the formulae; sorting happens here, on
// copies, by Unicode scalar values after canonical composition and stably.
QString buildBrewfile(const model::Manifest &manifest, const QList<model::AppRecord> &casks,
                      const QList<model::AppRecord> &appStoreApps);
// The same with the taps and formulae given rather than all of the manifest's, over records that live
// elsewhere (the manifest's own), so a plan rebuilt on every redraw copies none of them; and the
// lines of the other kinds, each kind under its heading after the App Store lines. A kind whose lines
// need a formula the formulae don't hold gets it first.
QString buildBrewfile(const model::Manifest &manifest, const QStringList &taps, const QStringList &formulae,
                      const QList<const model::AppRecord *> &casks,
                      const QList<const model::AppRecord *> &appStoreApps, const PackageNames &packages = {});

// A double-quoted Ruby literal whose value is `text`. Text without a backslash, double quote,
// interpolation opener or control character is only wrapped in quotes.
QString rubyStringLiteral(const QString &text);
void appendRubyStringLiteral(QString &out, const QString &text);

// `text` fit to stand inside a one-line comment: control characters (line breaks included) become
// spaces.
QString commentText(const QString &text);

} // namespace restore
