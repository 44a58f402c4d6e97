#include "platform/englishplurals.h"

#include <QCoreApplication>

#include <cstring>

namespace platform {

namespace {

struct Forms {
    const char *source;
    const char *one;
    const char *other;
};

// Every counted text whose English changes with its count. A text of the program's that says "(s)"
// and isn't here keeps it for every count.
constexpr Forms forms[] = {
    {"%n minute(s) ago", "%n minute ago", "%n minutes ago"},
    {"%n hour(s) ago", "%n hour ago", "%n hours ago"},
    {"%n day(s) ago", "%n day ago", "%n days ago"},
    {"%n minute(s)", "%n minute", "%n minutes"},
    {"%n second(s)", "%n second", "%n seconds"},
    {"%n byte(s)", "%n byte", "%n bytes"},
    {"%n extension(s)", "%n extension", "%n extensions"},
    {"%n npm package(s)", "%n npm package", "%n npm packages"},
    {"%n Rust crate(s)", "%n Rust crate", "%n Rust crates"},
    {"%n Python tool(s)", "%n Python tool", "%n Python tools"},
    {"%n font(s)", "%n font", "%n fonts"},
};

} // namespace

QString EnglishPlurals::translate(const char *, const char *sourceText, const char *, int n) const {
    if (n < 0 || !sourceText)
        return {};
    for (const Forms &form : forms) {
        if (std::strcmp(form.source, sourceText) == 0)
            return QString::fromUtf8(n == 1 ? form.one : form.other);
    }
    return {};
}

void installEnglishPlurals() {
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || app->findChild<EnglishPlurals *>(QString(), Qt::FindDirectChildrenOnly))
        return;
    QCoreApplication::installTranslator(new EnglishPlurals(app));
}

} // namespace platform
