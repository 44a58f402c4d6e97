#include "restore/retiredtaps.h"

namespace restore {

const QStringList retiredTapRepositories{
    QStringLiteral("aliases"),
    QStringLiteral("apache"),
    QStringLiteral("binary"),
    QStringLiteral("bundle"),
    QStringLiteral("cask-drivers"),
    QStringLiteral("cask-eid"),
    QStringLiteral("cask-fonts"),
    QStringLiteral("cask-versions"),
    QStringLiteral("command-not-found"),
    QStringLiteral("completions"),
    QStringLiteral("devel-only"),
    QStringLiteral("dupes"),
    QStringLiteral("emacs"),
    QStringLiteral("formula-analytics"),
    QStringLiteral("fuse"),
    QStringLiteral("games"),
    QStringLiteral("gui"),
    QStringLiteral("head-only"),
    QStringLiteral("linux-fonts"),
    QStringLiteral("livecheck"),
    QStringLiteral("nginx"),
    QStringLiteral("php"),
    QStringLiteral("portable-ruby"),
    QStringLiteral("python"),
    QStringLiteral("science"),
    QStringLiteral("services"),
    QStringLiteral("test-bot"),
    QStringLiteral("tex"),
    QStringLiteral("versions"),
    QStringLiteral("x11"),
};

bool isRetiredTap(QStringView tap) {
    const qsizetype slash = tap.indexOf(u'/');
    if (slash < 0 || tap.first(slash).compare(u"homebrew", Qt::CaseInsensitive) != 0)
        return false;
    QStringView repository = tap.sliced(slash + 1);
    if (repository.startsWith(u"homebrew-", Qt::CaseInsensitive))
        repository = repository.sliced(9);
    for (const QString &retired : retiredTapRepositories) {
        if (repository.compare(retired, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString withoutRetiredTap(const QString &name) {
    const qsizetype last = name.lastIndexOf(u'/');
    if (last <= 0 || name.count(u'/') != 2 || !isRetiredTap(QStringView(name).first(last)))
        return name;
    return name.sliced(last + 1);
}

} // namespace restore
