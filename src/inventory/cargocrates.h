#pragma once

#include "platform/filemanager.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// Crates installed with `cargo install`, as cargo records them in ~/.cargo/.crates2.json.
namespace inventory::cargoCrates {

// Each installed crate of a .crates2.json: the name alone when it came from crates.io, otherwise the
// name and where it came from ("name (git)", "name (path)", "name (registry)" for another registry),
// so the restore can list it and say why it stays behind. Sorted, each once; empty when the text is
// not cargo's record.
QStringList parse(QByteArrayView json);

// What ~/.cargo/.crates2.json records.
QStringList read(const platform::FileManager &fm);

} // namespace inventory::cargoCrates
