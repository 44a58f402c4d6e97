#pragma once

#include "model/manifest.h"

#include <QStringList>

// The fonts of a manifest as a restore treats them: a font the catalogue matched comes back with its
// cask, one line per cask however many of its files the old Mac had; the rest can only be copied by
// hand, since no file leaves the old Mac.
namespace restore {

// The casks of the matched fonts, each once, in manifest order.
QStringList fontCasks(const model::Manifest &manifest);
// The file names of the fonts no cask was found for, in manifest order.
QStringList fontsByHand(const model::Manifest &manifest);

} // namespace restore
