// The login-item list reader on arbitrary osascript output (the `-s s` form, `{"A", "B, with a
// comma"}`): it must never crash, and any list it reads must read back the same once written in that
// form again, quotes and backslashes escaped. Otherwise the target aborts.
//
// Input: the output as UTF-8, or as raw UTF-16 after a leading 0xFE byte (see fuzzinput.h).

#include "fuzzinput.h"

#include "tools/systemevents.h"

namespace {

using fuzzing::require;

QString writtenAsList(const QStringList &names) {
    QString text = QStringLiteral("{");
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i > 0)
            text += QStringLiteral(", ");
        text += u'"';
        for (const QChar c : names.at(i)) {
            if (c == u'"' || c == u'\\')
                text += u'\\';
            text += c;
        }
        text += u'"';
    }
    return text + u'}';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString output = fuzzing::text(fuzzing::bytesOf(data, size));
    const std::optional<QStringList> names = tools::systemEvents::parseLoginItemNames(output);
    if (!names)
        return 0;
    const std::optional<QStringList> again = tools::systemEvents::parseLoginItemNames(writtenAsList(*names));
    require(again && *again == *names, "a list read does not read back the same", output);
    return 0;
}
