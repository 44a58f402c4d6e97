#include "sync/setuptext.h"

#include "platform/trimming.h"

#include <QCoreApplication>
#include <QStringList>

namespace syncing {

namespace {

const QString heading = QStringLiteral("Haulwise setup");
const QString urlPrefix = QStringLiteral("Worker URL: ");
const QString tokenPrefix = QStringLiteral("Bearer token: ");

bool isBlank(const QString &line) {
    return line.trimmed().isEmpty();
}

} // namespace

QString SetupText::format() const {
    return heading + u'\n' + urlPrefix + workerURL + u'\n' + tokenPrefix + token;
}

platform::Result<SetupText> SetupText::parse(const QString &text) {
    QStringList lines = text.split(u'\n');
    // A Windows line end converted once more on its way arrives as "\r\r\n": every carriage return at
    // the end goes, or a value would keep one that its own text could never give back.
    for (QString &line : lines) {
        while (line.endsWith(u'\r'))
            line.chop(1);
    }
    while (!lines.isEmpty() && isBlank(lines.first()))
        lines.removeFirst();
    while (!lines.isEmpty() && isBlank(lines.last()))
        lines.removeLast();
    if (lines.isEmpty())
        return platform::fail(QCoreApplication::translate(
            "syncing::setupText",
            "No setup text came in. Paste the text that \"Copy setup for new Mac\" copies in "
            "Haulwise's settings, then end the input (Ctrl-D)."));
    if (lines.size() != 3 || lines[0] != heading || !lines[1].startsWith(urlPrefix) ||
        !lines[2].startsWith(tokenPrefix))
        return platform::fail(QCoreApplication::translate(
            "syncing::setupText",
            "That is not a Haulwise setup text. It has three lines: \"Haulwise setup\", "
            "\"Worker URL: \" and the URL, \"Bearer token: \" and the token."));
    SetupText setup{lines[1].mid(urlPrefix.size()), lines[2].mid(tokenPrefix.size())};
    if (platform::trimSpacesAndTabs(setup.workerURL).isEmpty())
        return platform::fail(
            QCoreApplication::translate("syncing::setupText", "The setup text has no Worker URL."));
    if (setup.token.isEmpty())
        return platform::fail(
            QCoreApplication::translate("syncing::setupText", "The setup text has no token."));
    return setup;
}

} // namespace syncing
