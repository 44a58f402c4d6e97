#include "restore/brewfile.h"

#include "model/textorder.h"
#include "restore/homebrewnames.h"

#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace restore {

using model::AppRecord;

namespace {

bool isControl(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u < 0x20 || u == 0x7F;
    return c.category() == QChar::Other_Control;
}

bool needsEscaping(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' || c == u'"' || c.unicode() >= 0x80 || isControl(c))
            return true;
        if (c == u'#' && i + 1 < text.size() &&
            (text[i + 1] == u'{' || text[i + 1] == u'$' || text[i + 1] == u'@'))
            return true;
    }
    return false;
}

// The positions of `items` in ascending order of their keys (Unicode scalar values after NFC); stable,
// so equal keys keep manifest order. Keys are computed once per entry and nothing else is copied: the
// window rebuilds the plan on every redraw.
template <typename T, typename KeyOf> QList<qsizetype> sortedOrder(const QList<T> &items, KeyOf keyOf) {
    QList<std::pair<model::TextOrderKey, qsizetype>> keyed;
    keyed.reserve(items.size());
    for (qsizetype i = 0; i < items.size(); ++i)
        keyed.append({model::textOrderKey(keyOf(items.at(i))), i});
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<qsizetype> order;
    order.reserve(keyed.size());
    for (const auto &entry : keyed)
        order.append(entry.second);
    return order;
}

void appendLine(QString &text, QStringView line) {
    text += line;
    text += u'\n';
}

void appendLine(QString &text, QStringView keyword, const QString &value) {
    text += keyword;
    appendRubyStringLiteral(text, value);
    text += u'\n';
}

QList<const AppRecord *> pointersTo(const QList<AppRecord> &apps) {
    QList<const AppRecord *> pointers;
    pointers.reserve(apps.size());
    for (const AppRecord &app : apps)
        pointers.append(&app);
    return pointers;
}

} // namespace

void appendRubyStringLiteral(QString &out, const QString &text) {
    out += u'"';
    if (!needsEscaping(text)) {
        out += text;
        out += u'"';
        return;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\\' || c == u'"') {
            out += u'\\';
            out += c;
        } else if (c == u'#') {
            // "#{…}", "#$var" and "#@var" interpolate; a lone "#" is just a character.
            const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
            if (next == u'{' || next == u'$' || next == u'@')
                out += u'\\';
            out += c;
        } else if (c == u'\n') {
            out += QLatin1StringView("\\n");
        } else if (c == u'\t') {
            out += QLatin1StringView("\\t");
        } else if (c == QChar(0x1B)) {
            out += QLatin1StringView("\\e");
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += QLatin1StringView("\\u{") +
                   QString::number(QChar::surrogateToUcs4(c, text.at(i + 1)), 16) + u'}';
            ++i;
        } else if (c.isSurrogate()) {
            // A lone surrogate is no character Ruby can hold in UTF-8; it stands for the replacement.
            out += QLatin1StringView("\\u{fffd}");
        } else if (c.unicode() >= 0x80 || isControl(c)) {
            // Every byte of a value line stays ASCII, so no source encoding can read it otherwise.
            out += QLatin1StringView("\\u{") + QString::number(c.unicode(), 16) + u'}';
        } else {
            out += c;
        }
    }
    out += u'"';
}

QString rubyStringLiteral(const QString &text) {
    QString literal;
    literal.reserve(text.size() + 2);
    appendRubyStringLiteral(literal, text);
    return literal;
}

QString commentText(const QString &text) {
    QString line = text;
    for (QChar &c : line) {
        if (isControl(c))
            c = u' ';
    }
    // Ruby takes a "coding: X" (or "coding=X", in any of its spellings) in the first comment lines as
    // the file's source encoding, under which an escaped quote can stop being one. The header never
    // says it: the word is broken wherever the host name or the time would spell it.
    static const QRegularExpression coding(QStringLiteral("(c)(oding)"),
                                           QRegularExpression::CaseInsensitiveOption);
    line.replace(coding, QStringLiteral("\\1-\\2"));
    return line;
}

QString buildBrewfile(const model::Manifest &manifest, const QList<AppRecord> &casks,
                      const QList<AppRecord> &appStoreApps) {
    return buildBrewfile(manifest, manifest.brewTaps, manifest.brewFormulae, pointersTo(casks),
                         pointersTo(appStoreApps));
}

QString buildBrewfile(const model::Manifest &manifest, const QStringList &brewTaps,
                      const QStringList &formulae, const QList<const AppRecord *> &casks,
                      const QList<const AppRecord *> &appStoreApps, const PackageNames &packages) {
    // Every block ends with an empty line, so the text always ends with one line feed.
    QString text;
    text.reserve(256 + 32 * (brewTaps.size() + formulae.size() + casks.size() + appStoreApps.size()));
    text += QStringLiteral("# Generated by Haulwise — restore of ");
    appendLine(text, commentText(manifest.hostname));
    text += QStringLiteral("# ");
    appendLine(text, commentText(manifest.generatedAt));

    QStringList taps;
    for (const QString &tap : brewTaps) {
        if (!builtInTaps.contains(tap))
            taps.append(tap);
    }
    const auto itself = [](const QString &value) -> const QString & { return value; };
    if (!taps.isEmpty()) {
        text += u'\n';
        for (const qsizetype i : sortedOrder(taps, itself))
            appendLine(text, u"tap ", taps.at(i));
    }

    if (!formulae.isEmpty()) {
        text += u'\n';
        appendLine(text, u"# CLI tools (Homebrew formulae)");
        for (const qsizetype i : sortedOrder(formulae, itself))
            appendLine(text, u"brew ", formulae.at(i));
    }

    if (!casks.isEmpty()) {
        text += u'\n';
        appendLine(text, u"# Apps (Homebrew casks)");
        const auto byToken = [](const AppRecord *app) { return app->caskToken.value_or(QString()); };
        for (const qsizetype i : sortedOrder(casks, byToken)) {
            if (const auto &token = casks.at(i)->caskToken)
                appendLine(text, u"cask ", *token);
        }
    }

    if (!appStoreApps.isEmpty()) {
        text += u'\n';
        appendLine(text, u"# Mac App Store (requires `mas`; sign in to the App Store first)");
        // The store lines need the mas formula; the formula block may already bring it.
        if (!formulae.contains(QStringLiteral("mas")))
            appendLine(text, u"brew \"mas\"");
        const auto byName = [](const AppRecord *app) -> const QString & { return app->name; };
        for (const qsizetype i : sortedOrder(appStoreApps, byName)) {
            const AppRecord &app = *appStoreApps.at(i);
            if (app.appStoreId) {
                text += u"mas ";
                appendRubyStringLiteral(text, app.name);
                text += u", id: ";
                text += QString::number(*app.appStoreId);
                text += u'\n';
            }
        }
    }

    for (const PackageKindRow &row : packageKinds()) {
        const QStringList &names = packages[static_cast<std::size_t>(row.kind)];
        if (names.isEmpty())
            continue;
        text += u'\n';
        appendLine(text, row.heading);
        if (!row.needsFormula.isEmpty() && !providesFormula(formulae, row.needsFormula))
            appendLine(text, u"brew ", row.needsFormula.toString());
        const QString keyword = row.keyword.toString() + u' ';
        for (const qsizetype i : sortedOrder(names, itself))
            appendLine(text, keyword, names.at(i));
    }
    return text;
}

} // namespace restore
