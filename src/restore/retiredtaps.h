#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Taps Homebrew once maintained and has since emptied. Homebrew refuses to tap them ("… was
// deprecated"), and their formulae and casks moved to its own core and cask taps, where the plain name
// finds them.
namespace restore {

// The repository part of each, as Homebrew's own list of retired official taps gives it.
extern const QStringList retiredTapRepositories;

// "homebrew/<retired>", in any case, with or without the "homebrew-" Homebrew drops from a tap's name.
bool isRetiredTap(QStringView tap);

// `name` without the tap where that tap is retired ("homebrew/cask-fonts/font-fira-code" →
// "font-fira-code"); any other name as it is.
QString withoutRetiredTap(const QString &name);

} // namespace restore
