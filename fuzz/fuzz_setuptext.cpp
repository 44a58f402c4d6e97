// The setup text reader on arbitrary pastes: whatever it accepts must format to a text it reads back
// as the same URL and token. And every URL and token it promises to carry (URL not blank, token not
// empty, neither holding a line break) must come back unchanged from the text they format to.
// Otherwise the target aborts.
//
// Input (see fuzzinput.h): the whole input is the paste; read as fields, the first two are also a URL
// and a token, whose text is then read as a paste too (so line breaks inside values get tried).

#include "fuzzinput.h"

#include "platform/trimming.h"
#include "sync/setuptext.h"

namespace {

using fuzzing::fail;
using fuzzing::require;

void requireReadBack(const syncing::SetupText &setup, const char *what) {
    const QString text = setup.format();
    const auto again = syncing::SetupText::parse(text);
    if (!again)
        fail(what, text + u'\n' + again.message());
    require(*again == setup, what, text);
}

bool hasLineBreak(const QString &text) {
    return text.contains(u'\n') || text.contains(u'\r');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes = fuzzing::bytesOf(data, size);
    if (const auto pasted = syncing::SetupText::parse(fuzzing::text(bytes)))
        requireReadBack(*pasted, "what was read does not read back the same");

    const QList<QByteArrayView> fields = fuzzing::fields(bytes);
    const syncing::SetupText setup{fuzzing::text(fields.value(0)), fuzzing::text(fields.value(1))};
    if (const auto pasted = syncing::SetupText::parse(setup.format()))
        requireReadBack(*pasted, "what was read from a formatted text does not read back the same");
    if (!platform::trimSpacesAndTabs(setup.workerURL).isEmpty() && !setup.token.isEmpty() &&
        !hasLineBreak(setup.workerURL) && !hasLineBreak(setup.token))
        requireReadBack(setup, "a URL and token do not come back from their text");
    return 0;
}
