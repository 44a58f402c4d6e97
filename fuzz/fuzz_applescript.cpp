// The login-item command on arbitrary paths and names. The AppleScript is read back as the compiler
// reads string literals: it must be exactly the command made for harmless marker values, except that
// each marker's literal is replaced by one literal that reads as exactly the given value, so nothing
// of a value stands outside its literal; and values without NUL, which no argument can carry, give a
// command without NUL. Otherwise the target aborts.
//
// Input (see fuzzinput.h): the bundle path, then the name.

#include "fuzzinput.h"

#include "tools/systemevents.h"

#include <optional>

namespace {

using fuzzing::fail;
using fuzzing::require;

// An AppleScript string literal starting at `pos`: between double quotes, a backslash escapes a double
// quote or a backslash and writes a tab, return or line feed as \t, \r, \n. Any other backslash is
// refused (the compiler has no such escape). On success `pos` is just past the closing quote.
std::optional<QString> readAppleScriptLiteral(QStringView command, qsizetype &pos) {
    if (pos >= command.size() || command[pos] != u'"')
        return std::nullopt;
    QString value;
    for (++pos; pos < command.size(); ++pos) {
        const QChar c = command[pos];
        if (c == u'\u201C' || c == u'\u201D')
            return std::nullopt; // the compiler would end the literal here
        if (c == u'"') {
            ++pos;
            return value;
        }
        if (c != u'\\') {
            value += c;
            continue;
        }
        if (++pos == command.size())
            return std::nullopt;
        switch (command[pos].unicode()) {
        case u'"':
        case u'\\':
            value += command[pos];
            break;
        case u't':
            value += u'\t';
            break;
        case u'r':
            value += u'\r';
            break;
        case u'n':
            value += u'\n';
            break;
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// A text expression: one literal, or literals joined by `& (character id N) &`, as the escaper writes
// a curly double quote.
std::optional<QString> readAppleScriptText(QStringView command, qsizetype &pos) {
    std::optional<QString> value = readAppleScriptLiteral(command, pos);
    static const QString join = QStringLiteral(" & (character id ");
    while (value && QStringView(command).sliced(pos).startsWith(join)) {
        qsizetype end = pos + join.size();
        while (end < command.size() && command[end].isDigit())
            ++end;
        bool ok = false;
        const uint code = QStringView(command).sliced(pos + join.size(), end - pos - join.size()).toUInt(&ok);
        if (!ok || !QStringView(command).sliced(end).startsWith(u") & "))
            return std::nullopt;
        pos = end + 4;
        const std::optional<QString> rest = readAppleScriptLiteral(command, pos);
        if (!rest)
            return std::nullopt;
        *value += QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1) + *rest;
    }
    return value;
}

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
