#include "inventory/homebrewrecords.h"

#include "inventory/homebrewcasks.h"
#include "inventory/homebrewformulae.h"
#include "inventory/homebrewtaps.h"

#include <algorithm>

namespace inventory::homebrew {

namespace {

void sortUnique(QStringList &names) {
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
}

} // namespace

QStringList repositoriesOf(const QString &prefix) {
    return {prefix, prefix + QStringLiteral("/Homebrew")};
}

HomebrewRecords readHomebrewRecords(const platform::FileManager &fm) {
    HomebrewRecords records;
    for (const QString &prefix : prefixes) {
        records.formulae += readFormulae(fm, prefix);
        records.casks += readCasks(fm, prefix);
        for (const QString &repository : repositoriesOf(prefix)) {
            for (const TapRecord &tap : readTaps(fm, repository)) {
                records.taps.append(tap.name);
                // The first prefix's clone wins where both have the tap.
                if (tap.remote && !records.tapRemotes.contains(tap.name))
                    records.tapRemotes.insert(tap.name, *tap.remote);
            }
        }
    }
    sortUnique(records.formulae);
    sortUnique(records.casks);
    sortUnique(records.taps);
    return records;
}

} // namespace inventory::homebrew
