// The Terminal installer script on arbitrary paths and addresses. Running bash on every input would be
// far too slow, so the script is read back by bash's quoting rules instead: it must be exactly the
// script made for harmless marker values, except that each marker's quoted word is replaced by one word
// which bash reads as exactly the given value, with no expansion in it; and values without NUL give a
// script without NUL. Otherwise the target aborts.
//
// Input (see fuzzinput.h): the Brewfile path, the install script's address, and, when a third field is
// present, the path of the brew to put first on the PATH.

#include "fuzzinput.h"

#include "restore/installerscript.h"

#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace {

using fuzzing::fail;
using fuzzing::require;

// One shell word's quoted part starting at `pos`, read as bash reads it outside any quotes: runs
// between single quotes taken as they are, double-quoted runs (where \ escapes only $ ` " \ and a line
// break, and an unescaped $ or ` would expand, which fails the read), and backslash-escaped characters
// (a backslash before a line break joins the lines). It ends at the first character that starts none
// of these; `pos` is left there.
std::optional<QString> readQuotedWord(QStringView script, qsizetype &pos) {
    QString value;
    const qsizetype start = pos;
    while (pos < script.size()) {
        const QChar c = script[pos];
        if (c == u'\'') {
            const qsizetype close = script.indexOf(u'\'', pos + 1);
            if (close < 0)
                return std::nullopt;
            value += script.sliced(pos + 1, close - pos - 1);
            pos = close + 1;
        } else if (c == u'"') {
            for (++pos;; ++pos) {
                if (pos == script.size())
                    return std::nullopt;
                const QChar d = script[pos];
                if (d == u'"')
                    break;
                if (d == u'$' || d == u'`')
                    return std::nullopt;
                if (d == u'\\' && pos + 1 < script.size()) {
                    const QChar next = script[pos + 1];
                    if (next == u'\n') {
                        ++pos;
                        continue;
                    }
                    if (next == u'$' || next == u'`' || next == u'"' || next == u'\\') {
                        value += next;
                        ++pos;
                        continue;
                    }
                }
                value += d;
            }
            ++pos;
        } else if (c == u'\\') {
            if (pos + 1 == script.size())
                return std::nullopt;
            if (script[pos + 1] != u'\n')
                value += script[pos + 1];
            pos += 2;
        } else {
            break;
        }
    }
    if (pos == start)
        return std::nullopt;
    return value;
}

struct Slot {
    qsizetype begin;
    qsizetype end;
    QString value;
};

// Where `marker` stands quoted in `templateScript`, with the quotes.
Slot slotOf(const QString &templateScript, const QString &marker, const QString &value) {
    const qsizetype at = templateScript.indexOf(marker);
    require(at > 0 && templateScript.indexOf(marker, at + 1) < 0, "marker not found once", templateScript);
    const QChar quote = templateScript[at - 1];
    const qsizetype close = at + marker.size();
    require((quote == u'"' || quote == u'\'') && close < templateScript.size() &&
                templateScript[close] == quote,
            "marker not quoted", templateScript);
    return {at - 1, close + 1, value};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QList<QByteArrayView> fields = fuzzing::fields(fuzzing::bytesOf(data, size));
    const QString brewfilePath = fuzzing::text(fields.value(0));
    const QString url = fuzzing::text(fields.value(1));
    std::optional<QString> brew;
    if (fields.size() > 2)
        brew = fuzzing::text(fields[2]);
    const QString script = restore::installerScript(brewfilePath, url, brew);

    const QString brewfileMarker = QStringLiteral("@brewfile@");
    const QString urlMarker = QStringLiteral("@url@");
    const QString brewMarker = QStringLiteral("@brew@");
    const QString templateScript = restore::installerScript(
        brewfileMarker, urlMarker, brew ? std::optional<QString>(brewMarker) : std::nullopt);
    QList<Slot> slots{slotOf(templateScript, brewfileMarker, brewfilePath),
                      slotOf(templateScript, urlMarker, url)};
    if (brew)
        slots.append(slotOf(templateScript, brewMarker, *brew));
    std::sort(slots.begin(), slots.end(), [](const Slot &a, const Slot &b) { return a.begin < b.begin; });

    qsizetype pos = 0;
    qsizetype templatePos = 0;
    for (const Slot &slot : slots) {
        const QStringView fixed = QStringView(templateScript).sliced(templatePos, slot.begin - templatePos);
        require(QStringView(script).sliced(pos).startsWith(fixed), "script text around a value differs",
                script);
        pos += fixed.size();
        const auto word = readQuotedWord(script, pos);
        if (!word)
            fail("a value is not one quoted word", script);
        require(*word == slot.value, "a quoted word does not read back as its value", script);
        templatePos = slot.end;
    }
    require(QStringView(script).sliced(pos) == QStringView(templateScript).sliced(templatePos),
            "script text after the values differs", script);

    const bool nulInValues =
        brewfilePath.contains(QChar()) || url.contains(QChar()) || (brew && brew->contains(QChar()));
    require(nulInValues || !script.toUtf8().contains('\0'), "NUL in the script", script);
    return 0;
}
