// Built into every test program: the tests compare the program's English text, so they read it as an
// English desktop shows it, whatever this machine's locale: numbers, sizes and dates in the C locale,
// counted nouns in their English forms.

#include "platform/englishplurals.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

void pinLocale() {
    QLocale::setDefault(QLocale::c());
    platform::installEnglishPlurals();
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(pinLocale)
