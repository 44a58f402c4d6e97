#include "restore/packagenames.h"

#include <algorithm>

namespace restore {

namespace {

bool isAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}
bool isAlphanumeric(QChar c) {
    return isAsciiLetter(c) || isAsciiDigit(c);
}

template <class Allowed> bool allOf(QStringView text, Allowed allowed) {
    return std::all_of(text.begin(), text.end(), allowed);
}

} // namespace

std::optional<QString> extensionIdProblem(QStringView id) {
    const qsizetype dot = id.indexOf(u'.');
    if (dot < 0 || id.count(u'.') != 1)
        return QStringLiteral("an extension id is publisher.name");
    for (const QStringView part : {id.first(dot), id.sliced(dot + 1)}) {
        if (part.isEmpty())
            return QStringLiteral("an extension id is publisher.name");
        if (!isAlphanumeric(part.front()))
            return QStringLiteral("a part starts with \"%1\"").arg(part.front());
        if (!allOf(part, [](QChar c) { return isAlphanumeric(c) || c == u'-'; }))
            return QStringLiteral("it contains a character other than letters, digits and \"-\"");
    }
    return std::nullopt;
}

std::optional<QString> npmNameProblem(QStringView name) {
    if (name.isEmpty())
        return QStringLiteral("the name is empty");
    if (name.size() > 214)
        return QStringLiteral("an npm name has at most 214 characters");
    QStringView bare = name;
    if (name.front() == u'@') {
        const qsizetype slash = name.indexOf(u'/');
        if (slash < 0 || name.count(u'/') != 1)
            return QStringLiteral("a scoped npm name is @scope/name");
        bare = name.sliced(slash + 1);
        if (auto problem = npmNameProblem(name.sliced(1, slash - 1)))
            return problem;
    }
    if (bare.isEmpty())
        return QStringLiteral("the name is empty");
    if (bare.front() == u'.' || bare.front() == u'_' || bare.front() == u'-')
        return QStringLiteral("it starts with \"%1\"").arg(bare.front());
    if (!allOf(bare, [](QChar c) {
            return (c >= u'a' && c <= u'z') || isAsciiDigit(c) || c == u'-' || c == u'.' || c == u'_';
        }))
        return QStringLiteral("it contains a character other than lower-case letters, digits and \"- . _\"");
    return std::nullopt;
}

std::optional<QString> crateNameProblem(QStringView name) {
    if (name.endsWith(u" (git)"))
        return QStringLiteral("it was installed from git; only crates from crates.io are restored");
    if (name.endsWith(u" (path)"))
        return QStringLiteral(
            "it was installed from a folder on the old Mac; only crates from crates.io are restored");
    if (name.endsWith(u" (registry)"))
        return QStringLiteral(
            "it was installed from another registry; only crates from crates.io are restored");
    if (name.isEmpty())
        return QStringLiteral("the name is empty");
    if (name.size() > 64)
        return QStringLiteral("a crate name has at most 64 characters");
    if (!isAsciiLetter(name.front()))
        return QStringLiteral("a crate name starts with a letter");
    if (!allOf(name, [](QChar c) { return isAlphanumeric(c) || c == u'-' || c == u'_'; }))
        return QStringLiteral("it contains a character other than letters, digits, \"-\" and \"_\"");
    return std::nullopt;
}

std::optional<QString> pythonNameProblem(QStringView name) {
    if (name.isEmpty())
        return QStringLiteral("the name is empty");
    if (!isAlphanumeric(name.front()) || !isAlphanumeric(name.back()))
        return QStringLiteral("a Python package name starts and ends with a letter or digit");
    if (!allOf(name, [](QChar c) { return isAlphanumeric(c) || c == u'-' || c == u'.' || c == u'_'; }))
        return QStringLiteral("it contains a character other than letters, digits and \". _ -\"");
    return std::nullopt;
}

} // namespace restore
