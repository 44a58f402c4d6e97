#include "platform/userdefaults.h"
#include "support/modelprinting.h"
#include "support/testsettings.h"
#include "sync/manualurlstore.h"

#include <QRegularExpression>
#include <QSettings>
#include <QTest>

#include <optional>

using syncing::LinkMap;
using syncing::ManualURLStore;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

using OptionalText = std::optional<QString>;

QVariant storedValue() {
    return platform::UserDefaults::value(ManualURLStore::defaultsKey);
}

} // namespace

class ManualURLStoreTest : public QObject {
    Q_OBJECT

private:
    std::optional<TestSettings> m_settings;

private Q_SLOTS:
    void initTestCase() { m_settings.emplace(); }
    void init() { platform::UserDefaults::remove(ManualURLStore::defaultsKey); }

    void linkKey_data() {
        QTest::addColumn<OptionalText>("bundleId");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::newRow("identifier") << OptionalText(QStringLiteral("com.example.a")) << QStringLiteral("A")
                                    << QStringLiteral("com.example.a");
        QTest::newRow("no identifier")
            << OptionalText() << QStringLiteral("Foo") << QStringLiteral("name:Foo");
        QTest::newRow("empty identifier is used as it is")
            << OptionalText(QString()) << QStringLiteral("Foo") << QString();
        QTest::newRow("empty name") << OptionalText() << QString() << QStringLiteral("name:");
        QTest::newRow("name kept exactly")
            << OptionalText() << QStringLiteral(" F\u00f6o ") << QStringLiteral("name: F\u00f6o ");
    }
    void linkKey() {
        QFETCH(OptionalText, bundleId);
        QFETCH(QString, name);
        QFETCH(QString, key);
        QCOMPARE(ManualURLStore::linkKey(bundleId, name), key);
    }

    void setURLTrims_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<OptionalText>("stored");
        QTest::newRow("spaces in front, line break behind")
            << QStringLiteral("  https://example.com/a\n")
            << OptionalText(QStringLiteral("https://example.com/a"));
        QTest::newRow("Unicode white space") << QStringLiteral("\u00a0\u3000https://example.com/a\u2028\r\n")
                                             << OptionalText(QStringLiteral("https://example.com/a"));
        QTest::newRow("inner white space kept")
            << QStringLiteral(" a b\tc ") << OptionalText(QStringLiteral("a b\tc"));
        QTest::newRow("not a URL is still stored")
            << QStringLiteral("ask Sam") << OptionalText(QStringLiteral("ask Sam"));
        QTest::newRow("three spaces remove") << QStringLiteral("   ") << OptionalText();
        QTest::newRow("line breaks remove") << QStringLiteral("\n\r\n\t") << OptionalText();
        QTest::newRow("empty removes") << QString() << OptionalText();
    }
    void setURLTrims() {
        QFETCH(QString, link);
        QFETCH(OptionalText, stored);
        const OptionalText id = QStringLiteral("com.example.a");
        QVERIFY(
            ManualURLStore::setURL(QStringLiteral("https://old.example.com"), id, QStringLiteral("A")).ok());
        QVERIFY(ManualURLStore::setURL(link, id, QStringLiteral("A")).ok());
        // The name plays no part once there is an identifier.
        QCOMPARE(ManualURLStore::url(id, QStringLiteral("Anything")), stored);
        QCOMPARE(ManualURLStore::allURLs().size(), stored ? 1 : 0);
    }

    void absentLinkRemovesTheEntry() {
        QVERIFY(ManualURLStore::setURL(QStringLiteral("https://example.com/foo"), std::nullopt,
                                       QStringLiteral("Foo"))
                    .ok());
        QVERIFY(ManualURLStore::setURL(QStringLiteral("https://example.com/bar"), std::nullopt,
                                       QStringLiteral("Bar"))
                    .ok());
        QCOMPARE(ManualURLStore::url(std::nullopt, QStringLiteral("Foo")),
                 OptionalText(QStringLiteral("https://example.com/foo")));
        QVERIFY(ManualURLStore::setURL(std::nullopt, std::nullopt, QStringLiteral("Foo")).ok());
        QCOMPARE(ManualURLStore::url(std::nullopt, QStringLiteral("Foo")), OptionalText());
        QCOMPARE(ManualURLStore::allURLs(),
                 (LinkMap{{QStringLiteral("name:Bar"), QStringLiteral("https://example.com/bar")}}));
    }

    void keysDoNotMix() {
        QVERIFY(ManualURLStore::setURL(QStringLiteral("by-id"), QStringLiteral("com.example.a"),
                                       QStringLiteral("A"))
                    .ok());
        QVERIFY(ManualURLStore::setURL(QStringLiteral("by-name"), std::nullopt, QStringLiteral("A")).ok());
        QVERIFY(ManualURLStore::setURL(QStringLiteral("by-empty-id"), QString(), QStringLiteral("A")).ok());
        QCOMPARE(ManualURLStore::url(QStringLiteral("com.example.a"), QStringLiteral("A")),
                 OptionalText(QStringLiteral("by-id")));
        QCOMPARE(ManualURLStore::url(std::nullopt, QStringLiteral("A")),
                 OptionalText(QStringLiteral("by-name")));
        QCOMPARE(ManualURLStore::url(QString(), QStringLiteral("B")),
                 OptionalText(QStringLiteral("by-empty-id")));
        QCOMPARE(ManualURLStore::url(std::nullopt, QStringLiteral("a")), OptionalText());
        QCOMPARE(ManualURLStore::allURLs().size(), 3);
    }

    void aForeignValueSpoilsTheWholeStore_data() {
        QTest::addColumn<QVariant>("stored");
        QVariantMap numeric{{QStringLiteral("com.example.a"), QStringLiteral("https://example.com/a")},
                            {QStringLiteral("com.example.b"), 5}};
        QVariantMap nested{{QStringLiteral("com.example.a"), QStringLiteral("https://example.com/a")},
                           {QStringLiteral("com.example.b"), QVariantMap()}};
        QTest::newRow("one numeric value") << QVariant(numeric);
        QTest::newRow("one dictionary value") << QVariant(nested);
        QTest::newRow("text instead of a dictionary") << QVariant(QStringLiteral("https://example.com/a"));
        QTest::newRow("list instead of a dictionary")
            << QVariant(QVariantList{QStringLiteral("https://example.com/a")});
    }
    void aForeignValueSpoilsTheWholeStore() {
        QFETCH(QVariant, stored);
        platform::UserDefaults::setValue(ManualURLStore::defaultsKey, stored);
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(QStringLiteral("^The remembered download links can't be read")));
        QVERIFY(ManualURLStore::allURLs().isEmpty());
        // What cannot be read whole is not written over: the next link is refused, and says why.
        const auto written = ManualURLStore::setURL(QStringLiteral("https://example.com/c"),
                                                    QStringLiteral("com.example.c"), QStringLiteral("C"));
        QVERIFY(
            written.message().startsWith(QStringLiteral("The remembered download links can't be read (")));
        QCOMPARE(storedValue(), stored);
    }

    void everyWriteStoresTheWholeDictionary() {
        // Even a removal of nothing writes the (empty) dictionary back.
        QVERIFY(!storedValue().isValid());
        QVERIFY(ManualURLStore::setURL(std::nullopt, std::nullopt, QStringLiteral("Foo")).ok());
        QCOMPARE(storedValue().typeId(), QMetaType::QVariantMap);
        QVERIFY(storedValue().toMap().isEmpty());
    }

    void linksLiveInTheSettingsFile() {
        QVERIFY(ManualURLStore::setURL(QStringLiteral("https://example.com/\u00e9"),
                                       QStringLiteral("com.example.a"), QStringLiteral("A"))
                    .ok());
        // A fresh settings object (as another process would make) reads the same link.
        QSettings settings;
        QVERIFY(settings.fileName().startsWith(m_settings->path()));
        QCOMPARE(settings.value(ManualURLStore::defaultsKey).toMap().value(QStringLiteral("com.example.a")),
                 QVariant(QStringLiteral("https://example.com/\u00e9")));
    }
};

QTEST_GUILESS_MAIN(ManualURLStoreTest)
#include "tst_manualurlstore.moc"
