#include "restore/brewfile.h"

#include "inventory/homebrewtaps.h"
#include "model/textorder.h"
#include "restore/fontcasks.h"
#include "restore/homebrewnames.h"

#include <QRegularExpression>
#include <QSet>

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

// The controls with a short escape that Ruby and a reader both know; false for any other character.
bool appendShortEscape(QString &out, QChar c) {
    switch (c.unicode()) {
    case u'\n':
        out += QLatin1StringView("\\n");
        return true;
    case u'\t':
        out += QLatin1StringView("\\t");
        return true;
    case 0x1B:
        out += QLatin1StringView("\\e");
        return true;
    default:
        return false;
    }
}

QStringView lastPart(QStringView name) {
    return name.sliced(name.lastIndexOf(u'/') + 1);
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
        if (appendShortEscape(out, c))
            continue;
        if (c == u'\\' || c == u'"') {
            out += u'\\';
            out += c;
        } else if (c == u'#') {
            // "#{…}", "#$var" and "#@var" interpolate; a lone "#" is just a character.
            const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
            if (next == u'{' || next == u'$' || next == u'@')
                out += u'\\';
            out += c;
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

bool hasAppStoreId(const AppRecord &app) {
    return app.appStoreId && *app.appStoreId > 0;
}

QString rubyStringLiteral(const QString &text) {
    QString literal;
    literal.reserve(text.size() + 2);
    appendRubyStringLiteral(literal, text);
    return literal;
}

QString escapedControls(const QString &text) {
    const auto needed = [](QChar c) {
        return c == u'\\' || isControl(c) || c.isSurrogate() || c.category() == QChar::Separator_Line ||
               c.category() == QChar::Separator_Paragraph;
    };
    if (std::none_of(text.cbegin(), text.cend(), needed))
        return text;
    QString out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (appendShortEscape(out, c))
            continue;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if (c == u'\\') {
            out += QLatin1StringView("\\\\");
        } else if (needed(c)) {
            out += QLatin1StringView("\\u{") + QString::number(c.unicode(), 16) + u'}';
        } else {
            out += c;
        }
    }
    return out;
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

QString writableRemote(const model::Manifest &manifest, const QString &tap) {
    const QString remote = manifest.brewTapRemotes.value(tap);
    return !remote.isEmpty() && inventory::homebrew::keptRemote(remote) == remote ? remote : QString();
}

QStringList otherCasks(const model::Manifest &manifest) {
    QSet<QStringView> appTokens;
    for (const AppRecord &app : manifest.apps) {
        if (app.source != model::AppSource::apple && app.caskToken)
            appTokens.insert(lastPart(*app.caskToken));
    }
    QStringList others;
    for (const QString &cask : manifest.brewCasks) {
        if (!appTokens.contains(lastPart(cask)))
            others.append(cask);
    }
    return others;
}

QStringList packageNames(const model::Manifest &manifest, BrewfileKind kind) {
    switch (kind) {
    case BrewfileKind::extension:
        return manifest.vscodeExtensions;
    case BrewfileKind::npm:
        return manifest.npmPackages;
    case BrewfileKind::crate:
        return manifest.cargoCrates;
    case BrewfileKind::pythonTool:
        return manifest.uvTools;
    case BrewfileKind::fontCask:
        return fontCasks(manifest);
    default:
        return {};
    }
}

BrewfileEntries brewfileEntries(const model::Manifest &manifest, const QList<AppRecord> &casks,
                                const QList<AppRecord> &appStoreApps) {
    BrewfileEntries entries;
    for (const QString &tap : manifest.brewTaps)
        entriesOf(entries, BrewfileKind::tap).append({tap, writableRemote(manifest, tap)});
    for (const QString &formula : manifest.brewFormulae)
        entriesOf(entries, BrewfileKind::formula).append({formula, {}});
    for (const AppRecord &app : casks) {
        if (app.caskToken)
            entriesOf(entries, BrewfileKind::appCask).append({*app.caskToken, {}});
    }
    for (const QString &cask : otherCasks(manifest))
        entriesOf(entries, BrewfileKind::otherCask).append({cask, {}});
    for (const AppRecord &app : appStoreApps) {
        if (hasAppStoreId(app))
            entriesOf(entries, BrewfileKind::appStore).append({app.name, QString::number(*app.appStoreId)});
    }
    return entries;
}

QString buildBrewfile(const model::Manifest &manifest, const QList<AppRecord> &casks,
                      const QList<AppRecord> &appStoreApps) {
    return writeBrewfile(manifest, brewfileEntries(manifest, casks, appStoreApps));
}

QString writeBrewfile(const model::Manifest &manifest, const BrewfileEntries &entries) {
    qsizetype lines = 0;
    for (const auto &kind : entries)
        lines += kind.size();
    // Every block ends with an empty line, so the text always ends with one line feed.
    QString text;
    text.reserve(256 + 40 * lines);
    text += QStringLiteral("# Generated by Haulwise — restore of ");
    text += commentText(manifest.hostname);
    text += QStringLiteral("\n# ");
    text += commentText(manifest.generatedAt);
    text += u'\n';

    QStringList formulaeWritten;
    for (const BrewfileKindRow &row : brewfileKinds()) {
        const QList<BrewfileEntry> &block = entries[static_cast<std::size_t>(row.kind)];
        QStringList names;
        names.reserve(block.size());
        QList<qsizetype> kept;
        for (qsizetype i = 0; i < block.size(); ++i) {
            QString name = row.written(block.at(i).name);
            if (name.isEmpty() && !block.at(i).name.isEmpty())
                continue;
            names.append(std::move(name));
            kept.append(i);
        }
        if (names.isEmpty())
            continue;
        text += u'\n';
        if (!row.heading.isEmpty()) {
            text += row.heading;
            text += u'\n';
        }
        // Any version of the formula, or the formula from a tap, provides the tool.
        if (!row.needsFormula.isEmpty() && !providesFormula(formulaeWritten, row.needsFormula)) {
            text += QStringLiteral("brew ");
            appendRubyStringLiteral(text, row.needsFormula.toString());
            text += u'\n';
        }
        const auto itself = [](const QString &value) -> const QString & { return value; };
        for (const qsizetype i : sortedOrder(names, itself)) {
            const QString &argument = block.at(kept.at(i)).argument;
            text += row.keyword;
            text += u' ';
            appendRubyStringLiteral(text, names.at(i));
            if (!argument.isEmpty()) {
                if (row.argument == BrewfileKindRow::Argument::id) {
                    // Only ever a number: it stands in the Ruby text without quotes.
                    bool isNumber = false;
                    const qint64 id = argument.toLongLong(&isNumber);
                    text += QStringLiteral(", id: ");
                    text += isNumber ? QString::number(id) : QStringLiteral("0");
                } else {
                    text += QStringLiteral(", ");
                    appendRubyStringLiteral(text, argument);
                }
            }
            text += u'\n';
        }
        if (row.kind == BrewfileKind::formula)
            formulaeWritten = std::move(names);
    }
    return text;
}

} // namespace restore
