#pragma once

#include "platform/filemanager.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The formulae of one Homebrew prefix, read from the receipts Homebrew writes into every keg
// (Cellar/<name>/<version>/INSTALL_RECEIPT.json). Homebrew is not run.
namespace inventory::homebrew {

// What a keg's receipt says about how it came to be installed.
struct KegReceipt {
    // False only where the receipt says so: a keg Homebrew pulled in as another's dependency.
    bool installedOnRequest = true;
    // The tap the formula came from ("user/repo"); empty when the receipt names none or no valid one.
    QString tap;

    friend bool operator==(const KegReceipt &, const KegReceipt &) = default;
};

// The receipt's answer; anything unreadable (not JSON, not an object, wrong types) counts as a keg
// installed on request from Homebrew's own tap, so a damaged receipt never loses a formula.
KegReceipt parseKegReceipt(QByteArrayView json);

// How a Brewfile names the formula `name` from `tap`: plain for Homebrew's core tap (or none),
// "user/repo/name" otherwise.
QString formulaFullName(const QString &name, const QString &tap);

// The full names of the formulae under `prefix` (a Mac path such as "/opt/homebrew") whose receipt
// doesn't mark them as a dependency, in listing order: the receipt of the keg opt/<name> links to, or
// where there is no such link, of any keg in the Cellar.
QStringList readFormulae(const platform::FileManager &fm, const QString &prefix);

// A receipt is a few kilobytes; a larger file is not one.
inline constexpr qint64 maxReceiptBytes = 1024 * 1024;

} // namespace inventory::homebrew
