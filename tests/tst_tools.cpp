#include "platform/processrunner.h"
#include "support/applescripttext.h"
#include "support/fakemac.h"
#include "tools/brew.h"
#include "tools/mdls.h"
#include "tools/systemevents.h"

#include <QTest>

#include <optional>
#include <thread>

using namespace std::chrono_literals;
using platform::ProcessOutput;
using platform::ProcessRunner;

namespace systemEvents = tools::systemEvents;

namespace {

using appleScriptText::expectText;
using appleScriptText::readAppleScriptText;

// Takes the add command apart the way osascript would read it. Absent when the script is anything
// other than exactly the fixed command around two well-formed literals.
std::optional<std::pair<QString, QString>> parseMakeLoginItem(QStringView script) {
    qsizetype pos = 0;
    if (!expectText(script, pos,
                    u"tell application \"System Events\" to make login item at end with properties {path:"))
        return std::nullopt;
    const auto path = readAppleScriptText(script, pos);
    if (!path || !expectText(script, pos, u", hidden:false, name:"))
        return std::nullopt;
    const auto name = readAppleScriptText(script, pos);
    if (!name || !expectText(script, pos, u"}") || pos != script.size())
        return std::nullopt;
    return std::pair{*path, *name};
}

} // namespace

class ToolsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // --- System Events -------------------------------------------------------------------------

    void listCommand() {
        const QStringList arguments = systemEvents::listLoginItemsArguments();
        QCOMPARE(arguments, (QStringList{QStringLiteral("-e"),
                                         QStringLiteral("tell application \"System Events\" to get the "
                                                        "name of every login item")}));
        QCOMPARE(arguments.at(1).count(u'"'), 2);
        QCOMPARE(systemEvents::osascriptPath, QStringLiteral("/usr/bin/osascript"));
    }

    void addCommandKeepsNameAndPathIntact_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        const QString plainPath = QStringLiteral("/Applications/Safari.app");
        QTest::newRow("plain") << plainPath << QStringLiteral("Safari");
        QTest::newRow("quotes") << QStringLiteral("/Applications/Say \"Hi\".app")
                                << QStringLiteral("Say \"Hi\"");
        QTest::newRow("backslashes") << QStringLiteral("/Applications/a\\b.app")
                                     << QStringLiteral("C:\\Apps\\");
        QTest::newRow("trailing backslash would eat the closing quote") << plainPath << QStringLiteral("x\\");
        QTest::newRow("an escape already in the name") << plainPath << QStringLiteral("\\\"");
        QTest::newRow("properties injected through the name")
            << plainPath << QStringLiteral("Evil\", hidden:true, name:\"Evil");
        QTest::newRow("script injected through a curly quote")
            << plainPath
            << QStringLiteral("x\u201d & (do shell script \u201ctouch /tmp/owned\u201d) & \u201c");
        QTest::newRow("script injected through the path")
            << QStringLiteral("\"} & (do shell script \"touch /tmp/owned\") & {\"") << QStringLiteral("x");
        QTest::newRow("placeholders") << QStringLiteral("/%2/%1.app") << QStringLiteral("%1 %2 %3");
        QTest::newRow("line breaks and tabs") << plainPath << QStringLiteral("a\nb\rc\td");
        QTest::newRow("letters beyond ASCII") << QStringLiteral("/Applications/\u00dcber \U0001F600.app")
                                              << QStringLiteral("\u00dcber \U0001F600 \u201cq\u201d");
        QTest::newRow("empty") << QString() << QString();
    }
    void addCommandKeepsNameAndPathIntact() {
        QFETCH(QString, path);
        QFETCH(QString, name);
        const QStringList arguments = systemEvents::makeLoginItemArguments(path, name);
        QCOMPARE(arguments.size(), 2);
        QCOMPARE(arguments.at(0), QStringLiteral("-e"));
        const auto parsed = parseMakeLoginItem(arguments.at(1));
        QVERIFY2(parsed, qPrintable(arguments.at(1)));
        QCOMPARE(parsed->first, path);
        QCOMPARE(parsed->second, name);
    }

    void addCommandExactText_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("script");
        QTest::newRow("plain") << QStringLiteral("/Applications/Safari.app") << QStringLiteral("Safari")
                               << QStringLiteral(
                                      "tell application \"System Events\" to make login item at end "
                                      "with properties {path:\"/Applications/Safari.app\", "
                                      "hidden:false, name:\"Safari\"}");
        QTest::newRow("hostile") << QStringLiteral("/A\\\".app")
                                 << QStringLiteral("x\", hidden:true, name:\"\\")
                                 << QStringLiteral(
                                        "tell application \"System Events\" to make login item at end "
                                        "with properties {path:\"/A\\\\\\\".app\", hidden:false, "
                                        "name:\"x\\\", hidden:true, name:\\\"\\\\\"}");
    }
    void addCommandExactText() {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QFETCH(QString, script);
        QCOMPARE(systemEvents::makeLoginItemArguments(path, name),
                 (QStringList{QStringLiteral("-e"), script}));
    }

    void escaping_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("plain") << QStringLiteral("abc") << QStringLiteral("abc");
        QTest::newRow("quote") << QStringLiteral("a\"b") << QStringLiteral("a\\\"b");
        QTest::newRow("backslash") << QStringLiteral("a\\b") << QStringLiteral("a\\\\b");
        QTest::newRow("backslash then quote") << QStringLiteral("\\\"") << QStringLiteral("\\\\\\\"");
        QTest::newRow("other characters untouched")
            << QStringLiteral("'\n\u00e9{}") << QStringLiteral("'\n\u00e9{}");
        QTest::newRow("curly quotes joined by their codes")
            << QStringLiteral("a\u201cb\u201d")
            << QStringLiteral("a\" & (character id 8220) & \"b\" & (character id 8221) & \"");
        QTest::newRow("empty") << QString() << QString();
    }
    void escaping() {
        QFETCH(QString, text);
        QFETCH(QString, escaped);
        QCOMPARE(systemEvents::escapeAppleScriptString(text), escaped);
    }

    void loginItemNames_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("three names") << QStringLiteral("Alpha,Beta ,  Gamma\n")
                                     << QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta"),
                                                    QStringLiteral("Gamma")};
        QTest::newRow("only a line break") << QStringLiteral("\n") << QStringList();
        QTest::newRow("only commas and blanks") << QStringLiteral(",, ,\t,\n") << QStringList();
        QTest::newRow("duplicates stay")
            << QStringLiteral("A, A") << QStringList{QStringLiteral("A"), QStringLiteral("A")};
        QTest::newRow("inner spaces stay")
            << QStringLiteral("Microsoft Teams, zoom.us\n")
            << QStringList{QStringLiteral("Microsoft Teams"), QStringLiteral("zoom.us")};
        QTest::newRow("a comma in a name splits it")
            << QStringLiteral("Comma, Inc.") << QStringList{QStringLiteral("Comma"), QStringLiteral("Inc.")};
        QTest::newRow("Unicode white space and line breaks trimmed")
            << QStringLiteral("\u00a0A\u3000,\u2028B\u0085,\r\nC\t\u2029")
            << QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
        QTest::newRow("zero-width space is not white space")
            << QStringLiteral("\u200bA") << QStringList{QStringLiteral("\u200bA")};
        QTest::newRow("line breaks inside a piece stay")
            << QStringLiteral("A\nB") << QStringList{QStringLiteral("A\nB")};
    }
    void loginItemNames() {
        QFETCH(QString, output);
        QFETCH(QStringList, names);
        QCOMPARE(systemEvents::parseLoginItemNames(output), names);
    }

    // --- Homebrew ------------------------------------------------------------------------------

    void brewContract() {
        QCOMPARE(tools::brew::locations, (QStringList{QStringLiteral("/opt/homebrew/bin/brew"),
                                                      QStringLiteral("/usr/local/bin/brew")}));
        QCOMPARE(
            tools::brew::bundleCheckArguments(QStringLiteral("/Users/me/My \"Brew\"file")),
            (QStringList{QStringLiteral("bundle"), QStringLiteral("check"),
                         QStringLiteral("--file=/Users/me/My \"Brew\"file"), QStringLiteral("--verbose")}));
        QCOMPARE(tools::brew::quietEnvironment, (QStringList{QStringLiteral("HOMEBREW_NO_AUTO_UPDATE"),
                                                             QStringLiteral("HOMEBREW_NO_ENV_HINTS")}));
    }

    // --- Spotlight -------------------------------------------------------------------------------

    void spotlightStoreIds_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<qint64>("id"); // 0: none
        QTest::newRow("as printed") << QStringLiteral("904280696") << qint64(904280696);
        QTest::newRow("white space around") << QStringLiteral(" \t409183694\n") << qint64(409183694);
        QTest::newRow("none known") << QStringLiteral("(null)") << qint64(0);
        QTest::newRow("nothing") << QString() << qint64(0);
        QTest::newRow("signed") << QStringLiteral("+904280696") << qint64(0);
        QTest::newRow("beyond 64 bits") << QStringLiteral("99999999999999999999") << qint64(0);
    }
    void spotlightStoreIds() {
        QFETCH(QString, output);
        QFETCH(qint64, id);
        QCOMPARE(tools::mdls::parseAppStoreId(output).value_or(0), id);
    }

    // --- the process runner ----------------------------------------------------------------------

    void runnerStreams_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("merge");
        QTest::addColumn<QByteArray>("output");
        const QByteArray both = "echo out; echo err >&2; echo out2";
        QTest::newRow("discard") << both << false << QByteArray("out\nout2\n");
        QTest::newRow("merge keeps the order") << both << true << QByteArray("out\nerr\nout2\n");
        QTest::newRow("merge takes a flood whole") << QByteArray("head -c 1048576 /dev/zero >&2; echo end")
                                                   << true << QByteArray(1 << 20, '\0') + "end\n";
        QTest::newRow("discard survives a flood")
            << QByteArray("head -c 1048576 /dev/zero >&2; echo end") << false << QByteArray("end\n");
        QTest::newRow("raw bytes pass")
            << QByteArray("printf '\\377\\000'") << false << QByteArray("\xff\0", 2);
    }
    void runnerStreams() {
        QFETCH(QByteArray, body);
        QFETCH(bool, merge);
        QFETCH(QByteArray, output);
        FakeMac mac;
        mac.addTool(QStringLiteral("/bin/tool"), body + '\n');
        const platform::ProcessOutput result =
            platform::ProcessRunner::run(mac.local(QStringLiteral("/bin/tool")), {},
                                         merge ? platform::ProcessRunner::ErrorOutput::merge
                                               : platform::ProcessRunner::ErrorOutput::discard,
                                         {});
        QCOMPARE(result.end, platform::ProcessOutput::End::finished);
        QVERIFY(result.error.isEmpty());
        QCOMPARE(result.output, output);
    }

    void runnerUsesTheGivenEnvironment() {
        FakeMac mac;
        mac.addTool(QStringLiteral("/bin/tool"), "printf '%s|%s' \"$ONLY_HERE\" \"$HOME\"\n");
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("ONLY_HERE"), QStringLiteral("yes"));
        const platform::ProcessOutput result =
            platform::ProcessRunner::run(mac.local(QStringLiteral("/bin/tool")), {},
                                         platform::ProcessRunner::ErrorOutput::discard, {}, environment);
        QCOMPARE(result.output, QByteArray("yes|"));
    }

    void runnerReportsAStartFailure() {
        const platform::ProcessOutput result =
            platform::ProcessRunner::run(QStringLiteral("/nonexistent/haulwise/tool"), {},
                                         platform::ProcessRunner::ErrorOutput::merge, {});
        QVERIFY(!result.started());
        QVERIFY(!result.error.isEmpty());
        QVERIFY(result.output.isEmpty());
    }

    void runnerStopsATool_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("error");
        const QString late = QStringLiteral("tool didn't finish within 300 ms and was stopped.");
        const QString flood = QStringLiteral("tool printed more than 64 KiB and was stopped.");
        QTest::newRow("sleeps past the deadline") << QByteArray("sleep 30") << late;
        QTest::newRow("keeps printing past the deadline")
            << QByteArray("while :; do echo x; sleep 0.02; done") << late;
        QTest::newRow("prints past the cap") << QByteArray("head -c 1000000 /dev/zero; sleep 30") << flood;
        QTest::newRow("prints without end") << QByteArray("cat /dev/zero") << flood;
    }
    void runnerStopsATool() {
        QFETCH(QByteArray, body);
        QFETCH(QString, error);
        FakeMac mac;
        mac.addTool(QStringLiteral("/bin/tool"), body + '\n');
        const ProcessOutput result =
            ProcessRunner::run(mac.local(QStringLiteral("/bin/tool")), {}, ProcessRunner::ErrorOutput::merge,
                               {300ms, 64 * 1024});
        QCOMPARE(result.end, ProcessOutput::End::stopped);
        QCOMPARE(result.error, error);
        QVERIFY(result.output.isEmpty());
    }

    void quittingStopsARunningTool() {
        FakeMac mac;
        mac.addTool(QStringLiteral("/bin/tool"), "sleep 30\n");
        std::thread quit([] {
            std::this_thread::sleep_for(300ms);
            ProcessRunner::setShuttingDown(true);
        });
        const auto run = [&] {
            return ProcessRunner::run(mac.local(QStringLiteral("/bin/tool")), {},
                                      ProcessRunner::ErrorOutput::merge, {60s});
        };
        const ProcessOutput stopped = run();
        quit.join();
        const ProcessOutput refused = run();
        ProcessRunner::setShuttingDown(false);
        QCOMPARE(stopped.error, QStringLiteral("tool was stopped because Haulwise is quitting."));
        QCOMPARE(refused.started(), false);
    }
};

QTEST_GUILESS_MAIN(ToolsTest)
#include "tst_tools.moc"
