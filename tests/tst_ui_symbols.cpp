// Every symbol the views name comes out as a picture in the colour asked for, whatever the desktop's
// icon theme holds; a name nobody drew still shows something.

#include "support/viewharness.h"

#include "ui/symbolimageprovider.h"
#include "ui/symbols.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QtTest>

namespace {

// How much of the picture is drawn, and whether everything drawn is in `colour`.
struct Ink {
    int drawn = 0;
    bool allInColour = true;
};

Ink inkOf(const QImage &picture, const QColor &colour) {
    Ink ink;
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 128)
                continue;
            ++ink.drawn;
            if (qAbs(pixel.red() - colour.red()) > 2 || qAbs(pixel.green() - colour.green()) > 2 ||
                qAbs(pixel.blue() - colour.blue()) > 2)
                ink.allInColour = false;
        }
    }
    return ink;
}

// The symbol names the views ask for, read from the views themselves.
QStringList namesUsedByTheViews() {
    QStringList names;
    const QRegularExpression call(QStringLiteral(R"re((?:symbol|name):\s*"([a-z.]+)")re"));
    const QRegularExpression inline_(QStringLiteral(R"re(Symbols\.url\("([a-z.]+)")re"));
    const QRegularExpression choice(QStringLiteral(R"re(\?\s*"([a-z.]+)"\s*:\s*"([a-z.]+)")re"));
    QDirIterator files(QStringLiteral(":/Haulwise"), {QStringLiteral("*.qml")});
    while (files.hasNext()) {
        QFile file(files.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(file.readAll());
        for (const QRegularExpression &expression : {call, inline_}) {
            for (auto match = expression.globalMatch(text); match.hasNext();)
                names.append(match.next().captured(1));
        }
        for (auto match = choice.globalMatch(text); match.hasNext();) {
            const auto found = match.next();
            for (const int group : {1, 2}) {
                if (found.captured(group).contains(u'.') || ui::Symbols::isKnown(found.captured(group)))
                    names.append(found.captured(group));
            }
        }
    }
    names.removeDuplicates();
    names.sort();
    return names;
}

} // namespace

class TestSymbols : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everySymbolIsDrawn_data() {
        QTest::addColumn<QString>("name");
        for (const QString &name : ui::Symbols::knownNames())
            QTest::newRow(qPrintable(name)) << name;
    }

    void everySymbolIsDrawn() {
        QFETCH(QString, name);
        QVERIFY(QFile::exists(ui::Symbols::svgPath(name)));
        for (const QColor &colour : {QColor(0x00, 0x7a, 0xff), QColor(0xec, 0xec, 0xee)}) {
            const QImage picture = ui::Symbols::render(name, QSize(32, 32), colour);
            QCOMPARE(picture.size(), QSize(32, 32));
            const Ink ink = inkOf(picture, colour);
            // Enough to read as a shape, not a filled square.
            QVERIFY2(ink.drawn > 32 && ink.drawn < 32 * 32 * 3 / 4, qPrintable(QString::number(ink.drawn)));
            QVERIFY(ink.allInColour);
        }
    }

    void everyNameTheViewsUseIsKnown() {
        const QStringList used = namesUsedByTheViews();
        QVERIFY(used.size() >= 10);
        for (const QString &name : used)
            QVERIFY2(ui::Symbols::isKnown(name), qPrintable(name));
    }

    void anUnknownNameStillShowsSomething() {
        QVERIFY(!ui::Symbols::isKnown(QStringLiteral("no.such.symbol")));
        const QImage picture = ui::Symbols::render(QStringLiteral("no.such.symbol"), QSize(24, 24), Qt::red);
        QVERIFY(inkOf(picture, Qt::red).drawn > 0);
        QVERIFY(inkOf(picture, Qt::red).allInColour);
    }

    void providerServesTheUrlsOfSymbols() {
        ui::Symbols symbols;
        const QUrl url = symbols.url(QStringLiteral("eye.slash"), QColor(0x12, 0x34, 0x56));
        QCOMPARE(url.scheme(), QStringLiteral("image"));
        QCOMPARE(url.host(), QStringLiteral("symbol"));
        ui::SymbolImageProvider provider;
        QSize size;
        const QImage picture = provider.requestImage(url.path().mid(1), &size, QSize(20, 20));
        QCOMPARE(size, QSize(20, 20));
        QVERIFY(inkOf(picture, QColor(0x12, 0x34, 0x56)).drawn > 0);
        QVERIFY(inkOf(picture, QColor(0x12, 0x34, 0x56)).allInColour);
        // No size asked: a sensible default rather than nothing.
        QVERIFY(!provider.requestImage(url.path().mid(1), &size, QSize()).isNull());
    }

    void trayIconHasEverySize() {
        const QIcon icon = ui::Symbols::icon(QStringLiteral("arrow.left.arrow.right.circle"), Qt::black);
        QVERIFY(!icon.isNull());
        QVERIFY(icon.availableSizes().contains(QSize(22, 22)));
        QVERIFY(inkOf(icon.pixmap(22, 22).toImage(), Qt::black).drawn > 0);
    }

    void imagesLoadInAView() {
        // The panel shows symbols in its header and buttons; none may fail to load.
        ViewHarness harness(QStringLiteral("SymbolImage"), {{QStringLiteral("name"), QStringLiteral("cloud")},
                                                            {QStringLiteral("color"), QColor(Qt::blue)}});
        QVERIFY(harness.isReady());
        QTRY_COMPARE(harness.root()->property("status").toInt(), 1); // Image.Ready
        QVERIFY(harness.warnings().isEmpty());
        const QImage shown = harness.view()->grabWindow();
        QVERIFY(inkOf(shown, QColor(Qt::blue)).drawn > 0);
    }
};

QTEST_MAIN(TestSymbols)
#include "tst_ui_symbols.moc"
