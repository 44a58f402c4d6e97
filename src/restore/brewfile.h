#pragma once

#include "model/manifest.h"

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
// elsewhere (the manifest's own), so a plan rebuilt on every redraw copies none of them.
QString buildBrewfile(const model::Manifest &manifest, const QStringList &taps, const QStringList &formulae,
                      const QList<const model::AppRecord *> &casks,
                      const QList<const model::AppRecord *> &appStoreApps);

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
