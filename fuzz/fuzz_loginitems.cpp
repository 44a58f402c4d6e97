// The login-item name reader on arbitrary osascript output: it must never crash, and the output must
// be exactly the names it gives in order, separated by at least one comma and surrounded by nothing
// but commas and white space; so every name is non-empty, trimmed and free of commas. Otherwise the
// target aborts.
//
// Input: the output as UTF-8, or as raw UTF-16 after a leading 0xFE byte (see fuzzinput.h).

#include "fuzzinput.h"

#include "tools/systemevents.h"

namespace {

using fuzzing::require;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString output = fuzzing::text(fuzzing::bytesOf(data, size));
    const QStringList names = tools::systemEvents::parseLoginItemNames(output);

    qsizetype pos = 0;
    const auto skipSeparators = [&] {
        qsizetype commas = 0;
        for (; pos < output.size() && (output[pos] == u',' || output[pos].isSpace()); ++pos)
            commas += output[pos] == u',';
        return commas;
    };
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString &name = names[i];
        require(!name.isEmpty() && name.trimmed() == name && !name.contains(u','), "name not as promised",
                output);
        const qsizetype commas = skipSeparators();
        require(i == 0 || commas > 0, "two names without a comma between them", output);
        require(QStringView(output).sliced(pos).startsWith(name), "name not next in the output", output);
        pos += name.size();
    }
    skipSeparators();
    require(pos == output.size(), "text left over after the last name", output);
    return 0;
}
