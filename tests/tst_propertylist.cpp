#include "platform/propertylist.h"
#include "platform/propertylistbinary.h"
#include "platform/propertylistguard.h"
#include "platform/propertylistxml.h"
#include "support/fakemac.h"

#include <QTest>

#include <optional>

using Format = FakeMac::PlistFormat;

Q_DECLARE_METATYPE(FakeMac::PlistFormat)

namespace {

const QStringList keys{QStringLiteral("CFBundleIdentifier"), QStringLiteral("CFBundleShortVersionString"),
                       QStringLiteral("CFBundleVersion"),    QStringLiteral("LSUIElement"),
                       QStringLiteral("SUFeedURL"),          QStringLiteral("a")};

// What the general parser makes of the same bytes, cut down to the wanted keys.
std::optional<QVariantMap> generalEntries(const QByteArray &bytes) {
    const auto parsed = platform::parsePropertyList(bytes);
    if (!parsed || parsed->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap all = parsed->toMap();
    QVariantMap entries;
    for (const QString &key : keys) {
        if (all.contains(key))
            entries.insert(key, all.value(key));
    }
    return entries;
}

std::optional<QVariantMap> quickEntries(const QByteArray &bytes) {
    return bytes.startsWith("bplist00") ? platform::quickBinaryEntries(bytes, keys)
                                        : platform::quickXmlEntries(bytes, keys);
}

QByteArray bigEndian(quint64 value, int size) {
    QByteArray out;
    for (int i = size - 1; i >= 0; --i)
        out += char((value >> (8 * i)) & 0xFF);
    return out;
}

// A binary property list from its objects in order; the top object is the first. The objects must use
// references of `refSize` bytes.
QByteArray binaryPlist(const QList<QByteArray> &objects, int refSize = 1) {
    QByteArray out = "bplist00";
    QList<quint64> offsets;
    for (const QByteArray &object : objects) {
        offsets.append(static_cast<quint64>(out.size()));
        out += object;
    }
    const auto table = static_cast<quint64>(out.size());
    const int offsetSize = table > 0xFFFF ? 4 : table > 0xFF ? 2 : 1;
    for (const quint64 offset : offsets)
        out += bigEndian(offset, offsetSize);
    out += QByteArray(6, '\0');
    out += char(offsetSize);
    out += char(refSize);
    out += bigEndian(static_cast<quint64>(objects.size()), 8);
    out += bigEndian(0, 8);
    out += bigEndian(table, 8);
    return out;
}

QByteArray ascii(const QByteArray &text) {
    return char(0x50 | text.size()) + text;
}

// {"a": [[[ … ]]]} with `depth` arrays, as binary (two-byte references) or XML.
QByteArray nestedBinary(int depth) {
    QList<QByteArray> objects{"\xd1" + bigEndian(1, 2) + bigEndian(2, 2), ascii("a")};
    for (int i = 0; i < depth; ++i) {
        const int index = 2 + i;
        objects.append(i + 1 < depth ? "\xa1" + bigEndian(static_cast<quint64>(index + 1), 2)
                                     : QByteArray("\xa0"));
    }
    return binaryPlist(objects, 2);
}

QByteArray nestedXml(int depth) {
    return "<plist><dict><key>a</key>" + QByteArray("<array>").repeated(depth) +
           QByteArray("</array>").repeated(depth) + "</dict></plist>";
}

QByteArray xml(const QByteArray &body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n" +
           body + "\n</plist>\n";
}

} // namespace

class PropertyListTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Whatever the writer produces, the quick readers take, and they agree with the general parser.
    void quickReadersAgree_data() {
        QTest::addColumn<QVariantMap>("info");
        QTest::addColumn<Format>("format");
        const QVariantMap nested{{QStringLiteral("list"), QVariantList{1, QStringLiteral("x"), 2.5, true}},
                                 {QStringLiteral("data"), QByteArrayLiteral("\x00\x01\xff")},
                                 {QStringLiteral("empty"), QVariantMap()}};
        const QList<std::pair<const char *, QVariantMap>> rows{
            {"typical",
             {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.app")},
              {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.2.3")},
              {QStringLiteral("CFBundleVersion"), QStringLiteral("123")},
              {QStringLiteral("LSUIElement"), true},
              {QStringLiteral("SUFeedURL"), QStringLiteral("https://example.com/appcast.xml?a=1&b=<2>")},
              {QStringLiteral("CFBundleDocumentTypes"), QVariantList{nested, nested}},
              {QStringLiteral("NSHighResolutionCapable"), true},
              {QStringLiteral("Real"), 3.25},
              {QStringLiteral("Copyright"), QStringLiteral("\u00a9 \"Example\" & 'co'")}}},
            {"letters beyond ASCII",
             {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("org.\u00e9t\u00e9.\U0001F600")},
              {QStringLiteral("a"), QStringLiteral("\u2713\u00a0\t\n line")}}},
            {"numbers",
             {{QStringLiteral("LSUIElement"), 1},
              {QStringLiteral("a"), qint64(-5)},
              {QStringLiteral("CFBundleVersion"), qint64(1) << 40},
              {QStringLiteral("SUFeedURL"), 0}}},
            {"largest integers",
             {{QStringLiteral("a"), std::numeric_limits<qint64>::min()},
              {QStringLiteral("LSUIElement"), std::numeric_limits<qint64>::max()}}},
            {"empty texts",
             {{QStringLiteral("CFBundleIdentifier"), QString()}, {QString(), QStringLiteral("x")}}},
            {"boolean false and text 1",
             {{QStringLiteral("LSUIElement"), false}, {QStringLiteral("a"), QStringLiteral("1")}}},
            {"no wanted keys", {{QStringLiteral("Other"), nested}}},
            {"empty dictionary", {}},
        };
        for (const Format format : {Format::xml, Format::binary}) {
            for (const auto &[name, info] : rows) {
                QTest::newRow(qPrintable(QLatin1StringView(format == Format::xml ? "xml " : "binary ") +
                                         QLatin1StringView(name)))
                    << info << format;
            }
        }
    }
    void quickReadersAgree() {
        QFETCH(QVariantMap, info);
        QFETCH(Format, format);
        const QByteArray bytes = FakeMac::encodePlist(info, format);
        const auto quick = quickEntries(bytes);
        QVERIFY2(quick, bytes.left(400).constData());
        const auto general = generalEntries(bytes);
        QVERIFY(general);
        QCOMPARE(*quick, *general);
        QCOMPARE(platform::parsePropertyListEntries(bytes, keys), general);
    }

    // Forms the quick readers leave to the general parser; the combined reader still gives what the
    // general parser gives.
    void unusualFormsGoToTheGeneralParser_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray a = "<key>a</key>";
        QTest::newRow("nothing at all") << QByteArray();
        QTest::newRow("comment") << xml("<dict><!-- x -->" + a + "<string>v</string></dict>");
        QTest::newRow("CDATA") << xml("<dict>" + a + "<string><![CDATA[<v>]]></string></dict>");
        QTest::newRow("attribute") << xml("<dict>" + a + "<string id=\"1\">v</string></dict>");
        QTest::newRow("leading zero integer") << xml("<dict>" + a + "<integer>010</integer></dict>");
        QTest::newRow("hex integer") << xml("<dict>" + a + "<integer>0x10</integer></dict>");
        QTest::newRow("plus sign") << xml("<dict>" + a + "<integer>+5</integer></dict>");
        QTest::newRow("integer beyond 64 bits")
            << xml("<dict>" + a + "<integer>18446744073709551616</integer></dict>");
        QTest::newRow("true with content") << xml("<dict>" + a + "<true></true></dict>");
        QTest::newRow("wanted real") << xml("<dict>" + a + "<real>1.0</real></dict>");
        QTest::newRow("wanted date") << xml("<dict>" + a + "<date>2024-01-01T00:00:00Z</date></dict>");
        QTest::newRow("wanted array") << xml("<dict>" + a + "<array/></dict>");
        QTest::newRow("keyed-archive reference") << xml("<dict><key>CF$UID</key><integer>1</integer></dict>");
        QTest::newRow("unknown entity") << xml("<dict>" + a + "<string>&nbsp;</string></dict>");
        QTest::newRow("top-level array") << xml("<array><string>a</string></array>");
        QTest::newRow("text after the end") << xml("<dict/>") + "trailing";
        QTest::newRow("no plist element") << QByteArray("<dict>" + a + "<string>v</string></dict>");
        QTest::newRow("key without value") << xml("<dict>" + a + "</dict>");
        QTest::newRow("unclosed") << xml("<dict>" + a + "<string>v</string>");
        // Refused by the general conversion, as nesting beyond what it accepts.
        QTest::newRow("deep nesting") << xml("<dict>" + a + QByteArray("<array>").repeated(300) +
                                             QByteArray("</array>").repeated(300) + "</dict>");

        const QByteArray dictA = QByteArray("\xd1\x01\x02", 3);
        QTest::newRow("binary 16-byte integer")
            << binaryPlist({dictA, ascii("a"), "\x14" + QByteArray(15, '\0') + "\x07"});
        QTest::newRow("binary empty UTF-16 string") << binaryPlist({dictA, ascii("a"), QByteArray("\x60")});
        QTest::newRow("binary cycle") << binaryPlist({dictA, ascii("a"), QByteArray("\xa1\x02", 2)});
        QTest::newRow("binary key that is not text")
            << binaryPlist({QByteArray("\xd1\x01\x01", 3), QByteArray("\x10\x05", 2)});
        QTest::newRow("binary NUL in a key")
            << binaryPlist({dictA, ascii(QByteArray("a\0b", 3)), ascii("v")});
        QTest::newRow("binary nested key holding NUL")
            << binaryPlist({dictA, ascii("a"), QByteArray("\xd1\x03\x04", 3),
                            QByteArray("\x62\x00\x62\x00\x00", 5), ascii("v")});
        QTest::newRow("binary wanted data") << binaryPlist({dictA, ascii("a"), QByteArray("\x41\x00", 2)});
        QTest::newRow("binary truncated") << binaryPlist({dictA, ascii("a"), ascii("v")}).chopped(1);
        QTest::newRow("binary reference out of range")
            << binaryPlist({QByteArray("\xd1\x01\x09", 3), ascii("a")});
    }
    void unusualFormsGoToTheGeneralParser() {
        QFETCH(QByteArray, bytes);
        QVERIFY(!quickEntries(bytes));
        QCOMPARE(platform::parsePropertyListEntries(bytes, keys), generalEntries(bytes));
    }

    // Forms that look odd but that the quick readers do take, with the same answer.
    void quickReadersTake_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVariantMap>("entries");
        const QByteArray a = "<key>a</key>";
        const QString key = QStringLiteral("a");
        QTest::newRow("entities")
            << xml("<dict>" + a + "<string>&lt;&amp;&gt;&quot;&apos;&#65;&#x1F600;&#xe9;</string></dict>")
            << QVariantMap{{key, QStringLiteral("<&>\"'A\U0001F600\u00e9")}};
        QTest::newRow("entity in a key")
            << xml("<dict><key>&#97;</key><true/></dict>") << QVariantMap{{key, true}};
        QTest::newRow("later duplicate wins")
            << xml("<dict>" + a + "<string>first</string>" + a + "<string>second</string></dict>")
            << QVariantMap{{key, QStringLiteral("second")}};
        QTest::newRow("no declaration, no doctype")
            << QByteArray("<plist><dict>" + a + "<integer>-0</integer></dict></plist>")
            << QVariantMap{{key, qint64(0)}};
        QTest::newRow("line breaks kept in text") << xml("<dict>" + a + "<string>x\r\ny</string></dict>")
                                                  << QVariantMap{{key, QStringLiteral("x\r\ny")}};
        QTest::newRow("empty dictionary tag") << xml("<dict/>") << QVariantMap();
        QTest::newRow("binary shared objects")
            << binaryPlist({QByteArray("\xd2\x01\x03\x02\x02", 5), ascii("a"), ascii("v"), ascii("b")})
            << QVariantMap{{key, QStringLiteral("v")}};
        QTest::newRow("binary UTF-16 text") << binaryPlist({QByteArray("\xd1\x01\x02", 3), ascii("a"),
                                                            QByteArray("\x63\x00\xe9\xd8\x3d\xde\x00", 7)})
                                            << QVariantMap{{key, QStringLiteral("\u00e9\U0001F600")}};
        QTest::newRow("binary two-byte integer")
            << binaryPlist({QByteArray("\xd1\x01\x02", 3), ascii("a"), QByteArray("\x11\x01\x00", 3)})
            << QVariantMap{{key, qint64(256)}};
    }
    void quickReadersTake() {
        QFETCH(QByteArray, bytes);
        QFETCH(QVariantMap, entries);
        QCOMPARE(quickEntries(bytes), std::optional<QVariantMap>(entries));
        QCOMPARE(generalEntries(bytes), std::optional<QVariantMap>(entries));
    }

    // Inputs that would bring the general parser down (a failed assertion, a stack overflow, a tree
    // of billions of nodes) are refused instead, and ordinary ones are not.
    void hostileInputsAreRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("binary UTF-16 key holding NUL") << binaryPlist(
            {QByteArray("\xd1\x01\x02", 3), QByteArray("\x62\x00\x61\x00\x00", 5), ascii("v")});
        QTest::newRow("xml nested 100,000 deep") << nestedXml(100000);
        QTest::newRow("binary nested 60,000 deep") << nestedBinary(60000);
        // Each level refers to the next one twice: 2^60 nodes once copied out.
        QList<QByteArray> bomb{"\xd1" + bigEndian(1, 2) + bigEndian(2, 2), ascii("a")};
        for (int i = 0; i < 60; ++i)
            bomb.append("\xa2" + bigEndian(static_cast<quint64>(3 + i), 2).repeated(2));
        bomb.append(ascii("z"));
        QTest::newRow("binary shared-object bomb") << binaryPlist(bomb, 2);
    }
    void hostileInputsAreRefused() {
        QFETCH(QByteArray, bytes);
        QVERIFY(!platform::isSafeForGeneralParser(bytes));
        QVERIFY(!platform::parsePropertyList(bytes));
        QVERIFY(!platform::parsePropertyListEntries(bytes, keys));
    }

    void nestingLimit_data() {
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("256 levels") << 256 << true;
        QTest::newRow("257 levels") << 257 << false;
    }
    void nestingLimit() {
        QFETCH(int, depth);
        QFETCH(bool, accepted);
        for (const QByteArray &bytes : {nestedXml(depth), nestedBinary(depth)}) {
            // The guard may stop the deeper one early; the conversion would refuse it anyway.
            if (accepted)
                QVERIFY(platform::isSafeForGeneralParser(bytes));
            QCOMPARE(platform::parsePropertyList(bytes).has_value(), accepted);
            QCOMPARE(platform::parsePropertyListEntries(bytes, {QStringLiteral("b")}).has_value(), accepted);
        }
    }

    void largeSharedArrayIsReadWhole() {
        // 50,000 references to one string: fine for the guard, and read in linear time.
        QByteArray array = "\xaf\x12" + bigEndian(50000, 4);
        for (int i = 0; i < 50000; ++i)
            array += bigEndian(3, 2);
        const QByteArray bytes =
            binaryPlist({"\xd1" + bigEndian(1, 2) + bigEndian(2, 2), ascii("a"), array, ascii("x")}, 2);
        QVERIFY(platform::isSafeForGeneralParser(bytes));
        const auto parsed = platform::parsePropertyList(bytes);
        QVERIFY(parsed);
        const QVariantList items = parsed->toMap().value(QStringLiteral("a")).toList();
        QCOMPARE(items.size(), 50000);
        QCOMPARE(items.last(), QVariant(QStringLiteral("x")));
    }

    void ordinaryListsPassTheGuard() {
        for (const Format format : {Format::xml, Format::binary}) {
            const QVariantMap info{
                {QStringLiteral("CFBundleIdentifier"), QStringLiteral("a")},
                {QStringLiteral("List"), QVariantList{QVariantMap{{QStringLiteral("k"), 1}}}}};
            QVERIFY(platform::isSafeForGeneralParser(FakeMac::encodePlist(info, format)));
        }
    }
};

QTEST_GUILESS_MAIN(PropertyListTest)
#include "tst_propertylist.moc"
