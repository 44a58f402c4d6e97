// The login-item command on arbitrary paths and names. The AppleScript is read back as the compiler
// reads string literals: it must be exactly the command made for harmless marker values, except that
// each marker's literal is replaced by one literal that reads as exactly the given value, so nothing
// of a value stands outside its literal; and values without NUL, which no argument can carry, give a
// command without NUL. Otherwise the target aborts.
//
// Input (see fuzzinput.h): the bundle path, then the name.

#include "fuzzinput.h"
#include "support/applescripttext.h"

#include "tools/systemevents.h"

#include <optional>

namespace {

using fuzzing::fail;
using fuzzing::require;
// The reader the unit tests hold the command to, so both judge it by the same rules.
using appleScriptText::readAppleScriptText;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QList<QByteArrayView> fields = fuzzing::fields(fuzzing::bytesOf(data, size));
    const QString path = fuzzing::text(fields.value(0));
    const QString name = fuzzing::text(fields.value(1));
    const QStringList arguments = tools::systemEvents::makeLoginItemArguments(path, name);

    const QString pathMarker = QStringLiteral("@path@");
    const QString nameMarker = QStringLiteral("@name@");
    const QStringList templateArguments = tools::systemEvents::makeLoginItemArguments(pathMarker, nameMarker);
    require(arguments.size() == 2 && templateArguments.size() == 2 && arguments[0] == templateArguments[0],
            "arguments of another shape", arguments.join(u'\n'));
    const QString &command = arguments[1];
    const QString &templateCommand = templateArguments[1];

    qsizetype pos = 0;
    qsizetype templatePos = 0;
    for (const auto &[marker, value] : {std::pair{pathMarker, path}, std::pair{nameMarker, name}}) {
        const QString literal = u'"' + marker + u'"';
        const qsizetype at = templateCommand.indexOf(literal, templatePos);
        require(at >= 0, "marker literal not found", templateCommand);
        const QStringView fixed = QStringView(templateCommand).sliced(templatePos, at - templatePos);
        require(QStringView(command).sliced(pos).startsWith(fixed), "command text around a value differs",
                command);
        pos += fixed.size();
        const auto read = readAppleScriptText(command, pos);
        if (!read)
            fail("a value is not one string literal", command);
        require(*read == value, "a literal does not read back as its value", command);
        templatePos = at + literal.size();
    }
    require(QStringView(command).sliced(pos) == QStringView(templateCommand).sliced(templatePos),
            "command text after the values differs", command);
    require(path.contains(QChar()) || name.contains(QChar()) || !command.contains(QChar()),
            "NUL in the command", command);
    return 0;
}
