// The background-item reader on arbitrary dumps: it must never crash, and it gives one item per name
// in the order the names first appear on "Name:" lines, each name, developer and type on one line and
// free of spaces and tabs at either end. Otherwise the target aborts.
//
// Input: the dump as UTF-8, or as raw UTF-16 after a leading 0xFE byte (see fuzzinput.h).

#include "fuzzinput.h"

#include "platform/trimming.h"
#include "tools/sfltool.h"

#include <QSet>
#include <QStringList>

#include <optional>

namespace {

using fuzzing::require;

void checkValue(const QString &value, const QString &dump) {
    require(!value.contains(u'\n'), "a value spans lines", dump);
    require(platform::trimSpacesAndTabs(value) == value, "a value is not trimmed", dump);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString dump = fuzzing::text(fuzzing::bytesOf(data, size));
    const QList<model::BackgroundItem> items = tools::sfltool::parseBackgroundItems(dump, 501);

    QStringList names;
    QSet<QString> seen;
    for (const QStringView line : QStringView(dump).split(u'\n')) {
        const QStringView trimmed = platform::trimSpacesAndTabs(line);
        if (!trimmed.startsWith(u"Name:"))
            continue;
        const QString name = platform::trimSpacesAndTabs(trimmed.sliced(5)).toString();
        names.append(name);
    }
    // Sections of other users and developer rows are left out, so the items are the Name: lines in
    // order with some missing, each at most once.
    qsizetype next = 0;
    for (qsizetype i = 0; i < items.size(); ++i) {
        while (next < names.size() && names[next] != items[i].name)
            ++next;
        require(next < names.size(), "names differ from the Name: lines", dump);
        ++next;
        checkValue(items[i].name, dump);
        checkValue(items[i].developer.value_or(QString()), dump);
        checkValue(items[i].type.value_or(QString()), dump);
    }
    return 0;
}
