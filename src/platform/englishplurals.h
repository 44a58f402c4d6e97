#pragma once

#include <QTranslator>

namespace platform {

// The program's texts are written in English and read through tr() / qsTr(), a count in one as "%n"
// so that a translation can give each count its own form. No translation ships yet, and without one
// the toolkit prints the source as written for every count. This translator gives the English texts
// whose nouns follow their count ("%n day(s) ago") their two forms, "1 day ago" and "3 days ago"; a
// text it doesn't list reads as written. A real translation installed after it is asked first.
class EnglishPlurals final : public QTranslator {
    Q_OBJECT

public:
    using QTranslator::QTranslator;

    QString translate(const char *context, const char *sourceText, const char *disambiguation = nullptr,
                      int n = -1) const override;
    bool isEmpty() const override { return false; }
};

// Installs the English forms on the application; again, it does nothing. Call after the application
// object is made.
void installEnglishPlurals();

} // namespace platform
