#include "model/manifestjson.h"
#include "platform/userdefaults.h"
#include "support/clirun.h"
#include "support/fakemac.h"
#include "support/modelprinting.h"
#include "support/samplemac.h"
#include "support/testsettings.h"
#include "sync/manualurlstore.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using model::AppRecord;
using syncing::ManualURLStore;

namespace {

QStringList scanArguments(const FakeMac &mac) {
    return {QStringLiteral("scan"), QStringLiteral("--root"), mac.root(), QStringLiteral("--home"),
            FakeMac::home()};
}

} // namespace

class CliTest : public QObject {
    Q_OBJECT

private:
    std::optional<TestSettings> m_settings;

private Q_SLOTS:
    void initTestCase() {
        m_settings.emplace();
        QVERIFY2(QFileInfo(QStringLiteral(HAULWISE_BIN_DIR "/haulwise-cli")).isExecutable(),
                 "build haulwise-cli first");
    }
    void init() { platform::UserDefaults::remove(ManualURLStore::defaultsKey); }

    void scanPrintsTheManifestTheRulesGive() {
        FakeMac mac;
        sampleMac::addBundles(mac);
        sampleMac::addTools(mac);
        const CliRun run = runCli(scanArguments(mac));
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QByteArray());

        // One line of compact JSON: the only line feed is the final one.
        QVERIFY(run.out.endsWith("}\n"));
        QCOMPARE(run.out.count('\n'), 1);
        const auto manifest = model::decodeManifest(run.out);
        QVERIFY2(manifest, qPrintable(manifest.message()));

        QCOMPARE(manifest->schemaVersion, 1);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}Z$"))
                     .match(manifest->generatedAt)
                     .hasMatch(),
                 qPrintable(manifest->generatedAt));
        QVERIFY(QDateTime::fromString(manifest->generatedAt, Qt::ISODate).isValid());
        QCOMPARE(manifest->hostname, QSysInfo::machineHostName());
        QVERIFY(!manifest->macosVersion.isEmpty());
        QCOMPARE(manifest->apps, sampleMac::expectedApps());
        QCOMPARE(manifest->legacyLoginItems, sampleMac::expectedLoginItems());
        QCOMPARE(manifest->backgroundItems, sampleMac::expectedBackgroundItems());
        QCOMPARE(manifest->brewFormulae, sampleMac::expectedFormulae());
        QCOMPARE(manifest->brewTaps, sampleMac::expectedTaps());
        QCOMPARE(manifest->brewCasks, sampleMac::expectedCasks());
        QVERIFY2(!sampleMac::brewRan(mac), "the scan ran brew");

        // Compact and in field order: exactly what the encoder writes for the same manifest.
        QCOMPARE(run.out, model::encodeManifest(*manifest) + '\n');
    }

    void rememberedLinksTravelInTheManifest() {
        FakeMac mac;
        sampleMac::addBundles(mac);
        QVERIFY(ManualURLStore::setURL(QStringLiteral(" https://example.com/zebra/download\n"),
                                       QStringLiteral("com.example.zebra"), QStringLiteral("Zebra"))
                    .ok());
        QVERIFY(ManualURLStore::setURL(QStringLiteral("https://example.com/noplist"), std::nullopt,
                                       QStringLiteral("NoPlist"))
                    .ok());
        const CliRun run = runCli(scanArguments(mac));
        QCOMPARE(run.exitCode, 0);
        const auto manifest = model::decodeManifest(run.out);
        QVERIFY(manifest);

        QList<AppRecord> expected = sampleMac::expectedApps();
        for (AppRecord &record : expected) {
            if (record.bundleId == QStringLiteral("com.example.zebra"))
                record.downloadURL = QStringLiteral("https://example.com/zebra/download");
            else if (record.name == QLatin1StringView("NoPlist"))
                record.downloadURL = QStringLiteral("https://example.com/noplist");
        }
        QCOMPARE(manifest->apps, expected);
    }

    void homeDefaultsToTheCurrentUsers() {
        FakeMac mac;
        mac.addBareBundle(QDir::homePath() + QStringLiteral("/Applications"), QStringLiteral("Mine.app"));
        mac.addBareBundle(FakeMac::home() + QStringLiteral("/Applications"), QStringLiteral("Other.app"));
        const CliRun run = runCli({QStringLiteral("scan"), QStringLiteral("--root"), mac.root()});
        QCOMPARE(run.exitCode, 0);
        const auto manifest = model::decodeManifest(run.out);
        QVERIFY(manifest);
        QCOMPARE(manifest->apps.size(), 1);
        QCOMPARE(manifest->apps.first().path, QDir::homePath() + QStringLiteral("/Applications/Mine.app"));
    }

    void relativeRootIsTakenFromTheWorkingFolder() {
        FakeMac mac;
        mac.addBareBundle(QStringLiteral("/Applications"), QStringLiteral("Here.app"));
        const QFileInfo root(mac.root());
        const CliRun run = runCli({QStringLiteral("scan"), QStringLiteral("--root"), root.fileName(),
                                   QStringLiteral("--home"), FakeMac::home()},
                                  CliOptions{.workingDirectory = root.absolutePath()});
        QCOMPARE(run.exitCode, 0);
        const auto manifest = model::decodeManifest(run.out);
        QVERIFY(manifest);
        QCOMPARE(manifest->apps.size(), 1);
        QCOMPARE(manifest->apps.first().path, QStringLiteral("/Applications/Here.app"));
    }

    void aMissingRootIsAnEmptyMac() {
        FakeMac mac;
        const CliRun run =
            runCli({QStringLiteral("scan"), QStringLiteral("--root"),
                    mac.root() + QStringLiteral("/nothing-here"), QStringLiteral("--home"), FakeMac::home()});
        QCOMPARE(run.exitCode, 0);
        const auto manifest = model::decodeManifest(run.out);
        QVERIFY(manifest);
        QVERIFY(manifest->apps.isEmpty());
        QVERIFY(manifest->legacyLoginItems.isEmpty());
        QVERIFY(manifest->backgroundItems.isEmpty());
        QVERIFY(manifest->brewFormulae.isEmpty());
        QVERIFY(manifest->brewTaps.isEmpty());
    }

    void badCommandLines_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("usage");
        const QByteArray scanUsage = "Usage: haulwise-cli scan";
        const QByteArray mainUsage = "Usage: haulwise-cli COMMAND";
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("scan"), QStringLiteral("--bogus")} << scanUsage;
        QTest::newRow("unknown short option")
            << QStringList{QStringLiteral("scan"), QStringLiteral("-x")} << scanUsage;
        QTest::newRow("extra argument")
            << QStringList{QStringLiteral("scan"), QStringLiteral("extra")} << scanUsage;
        QTest::newRow("extra argument after options")
            << QStringList{QStringLiteral("scan"), QStringLiteral("--root"), QStringLiteral("/"),
                           QStringLiteral("extra")}
            << scanUsage;
        QTest::newRow("missing option value")
            << QStringList{QStringLiteral("scan"), QStringLiteral("--root")} << scanUsage;
        QTest::newRow("no command") << QStringList() << mainUsage;
        QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")} << mainUsage;
    }
    void badCommandLines() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, usage);
        const CliRun run = runCli(arguments);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.out, QByteArray());
        QVERIFY2(run.err.contains(usage), run.err.constData());
    }

    void help_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArrayList>("mentions");
        QTest::newRow("scan --help") << QStringList{QStringLiteral("scan"), QStringLiteral("--help")}
                                     << QByteArrayList{"Usage: haulwise-cli scan", "--root", "--home"};
        QTest::newRow("--help") << QStringList{QStringLiteral("--help")}
                                << QByteArrayList{"Usage: haulwise-cli", "scan"};
    }
    void help() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArrayList, mentions);
        const CliRun run = runCli(arguments);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QByteArray());
        for (const QByteArray &mention : mentions)
            QVERIFY2(run.out.contains(mention), mention.constData());
    }

    void usageNamesTheCommandWhereverTheToolLives() {
        // Wherever the binary was started from (here a folder with a space in its name), the usage
        // line names the tool and the command, not the path.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString copy = dir.filePath(QStringLiteral("with space/haulwise-cli"));
        QVERIFY(QDir().mkpath(QFileInfo(copy).path()));
        QVERIFY(QFile::copy(QStringLiteral(HAULWISE_BIN_DIR "/haulwise-cli"), copy));
        QProcess process;
        process.start(copy, {QStringLiteral("scan"), QStringLiteral("--help")});
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.readAllStandardOutput().split('\n').value(0),
                 QByteArray("Usage: haulwise-cli scan [options]"));
        process.start(copy, {QStringLiteral("scan"), QStringLiteral("extra")});
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitCode(), 2);
        QCOMPARE(process.readAllStandardError().split('\n').value(1),
                 QByteArray("Usage: haulwise-cli scan [options]"));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
