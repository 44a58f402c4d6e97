#include "restore/homebrewnames.h"

#include <QCoreApplication>

#include "restore/brewfile.h"

#include <algorithm>

namespace restore {

namespace {

bool isNameCharacter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'@' ||
           u == u'.' || u == u'_' || u == u'+' || u == u'-';
}

std::optional<QString> segmentProblem(QStringView segment) {
    if (segment.isEmpty())
        return QCoreApplication::translate("restore::homebrewnames", "it has an empty part");
    if (segment.front() == u'-' || segment.front() == u'.')
        return QCoreApplication::translate("restore::homebrewnames", "a part starts with \"%1\"")
            .arg(segment.front());
    for (const QChar c : segment) {
        if (!isNameCharacter(c))
            return QCoreApplication::translate(
                "restore::homebrewnames",
                "it contains a character other than letters, digits and \"@ . _ + -\"");
    }
    return std::nullopt;
}

} // namespace

QString kindWord(HomebrewKind kind) {
    switch (kind) {
    case HomebrewKind::tap:
        return QCoreApplication::translate("restore::homebrewnames", "tap");
    case HomebrewKind::formula:
        return QCoreApplication::translate("restore::homebrewnames", "formula");
    case HomebrewKind::cask:
        return QCoreApplication::translate("restore::homebrewnames", "cask");
    case HomebrewKind::extension:
        return QCoreApplication::translate("restore::homebrewnames", "extension");
    case HomebrewKind::npmPackage:
        return QCoreApplication::translate("restore::homebrewnames", "npm package");
    case HomebrewKind::crate:
        return QCoreApplication::translate("restore::homebrewnames", "crate");
    case HomebrewKind::pythonTool:
        return QCoreApplication::translate("restore::homebrewnames", "Python tool");
    }
    return {};
}

std::optional<QString> homebrewNameProblem(HomebrewKind kind, QStringView name) {
    if (name.isEmpty())
        return QCoreApplication::translate("restore::homebrewnames", "the name is empty");
    const QList<QStringView> segments = name.split(u'/');
    const bool shapeFits =
        kind == HomebrewKind::tap ? segments.size() == 2 : segments.size() == 1 || segments.size() == 3;
    if (!shapeFits) {
        return kind == HomebrewKind::tap
                   ? QCoreApplication::translate("restore::homebrewnames", "a tap is named user/repo")
                   : QCoreApplication::translate("restore::homebrewnames",
                                                 "a %1 is named name or user/repo/name")
                         .arg(kindWord(kind));
    }
    for (const QStringView segment : segments) {
        if (auto problem = segmentProblem(segment))
            return problem;
    }
    // Homebrew loads a formula or cask named like a file from that file, in whatever folder it runs
    // in, and a bottle's archive as that bottle.
    if (kind != HomebrewKind::tap) {
        for (const QStringView suffix : {u".rb", u".json", u".tar.gz"}) {
            if (segments.constLast().endsWith(suffix, Qt::CaseInsensitive))
                return QStringLiteral("it ends in \"%1\", which Homebrew reads as a file").arg(suffix);
        }
    }
    return std::nullopt;
}

QString tapOf(QStringView name) {
    const qsizetype last = name.lastIndexOf(u'/');
    return last > 0 && name.count(u'/') == 2 ? name.first(last).toString() : QString();
}

bool isThirdPartyTap(QStringView tap) {
    return !tap.isEmpty() && !tap.startsWith(u"homebrew/", Qt::CaseInsensitive);
}

bool providesFormula(const QStringList &formulae, QStringView needed) {
    return std::any_of(formulae.cbegin(), formulae.cend(), [needed](const QString &formula) {
        QStringView name = QStringView(formula).sliced(formula.lastIndexOf(u'/') + 1);
        if (const qsizetype at = name.indexOf(u'@'); at >= 0)
            name = name.first(at);
        return name == needed;
    });
}

QString SkippedEntry::describe() const {
    // Quoted as a Brewfile would, so a hostile name prints as one visible, inert token.
    return QCoreApplication::translate("restore::homebrewnames", "Left out %1 %2: %3")
        .arg(kindWord(kind), rubyStringLiteral(name), reason);
}

} // namespace restore
