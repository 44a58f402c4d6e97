#include "platform/shellquote.h"
#include "restore/installerscript.h"
#include "support/localhttpserver.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString installURL = QStringLiteral("https://install.example/Homebrew/install/HEAD/install.sh");

// Runs `bash script` with only `path` to find programs; gives the merged output.
QByteArray runBash(const QString &script, const QString &path, int *exitCode) {
    QProcess bash;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), path);
    environment.insert(QStringLiteral("HOME"), QDir::tempPath());
    bash.setProcessEnvironment(environment);
    bash.setProcessChannelMode(QProcess::MergedChannels);
    bash.setStandardInputFile(QProcess::nullDevice());
    bash.start(QStringLiteral("/bin/bash"), {script});
    if (!bash.waitForFinished(60000))
        return "timed out";
    *exitCode = bash.exitCode();
    return bash.readAllStandardOutput();
}

// sudo as a Terminal user meets it: `-v` asks for the password and remembers it (or, refused, fails
// as sudo does after three wrong tries); `-n` fails unless a password was remembered.
bool writeSudo(const QString &bin, bool passwordGiven) {
    const QByteArray stamp = (bin + QStringLiteral("/sudo-timestamp")).toUtf8();
    return writeFile(bin + QStringLiteral("/sudo"),
                     "#!/bin/sh\n"
                     "case \"$1\" in\n"
                     "-v) " +
                         QByteArray(passwordGiven
                                        ? "touch '" + stamp + "'; exit 0;;\n"
                                        : "echo 'sudo: 3 incorrect password attempts' >&2; exit 1;;\n") +
                         "-n) [ -e '" + stamp +
                         "' ] && exit 0; echo 'sudo: a password is required' >&2; exit 1;;\n"
                         "esac\n"
                         "exit 1\n",
                     true);
}

} // namespace

class InstallerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What no run here can stage, since the Homebrew folders are absolute: Apple silicon's Homebrew is
    // looked for before an Intel one's. The rest of the script is checked by running it below.
    void scriptLooksForAppleSiliconHomebrewFirst() {
        const QString script = restore::installerScript(QStringLiteral("/b/Brewfile"), installURL);
        QVERIFY(script.startsWith(QStringLiteral("#!/bin/bash\n")));
        QVERIFY(script.contains(QStringLiteral("for b in /opt/homebrew/bin/brew /usr/local/bin/brew; do")));
    }

    void shellQuoting_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("plain") << QStringLiteral("/a/Brewfile") << QStringLiteral("\"/a/Brewfile\"");
        QTest::newRow("spaces and a single quote stay in double quotes")
            << QStringLiteral("/Jo's Mac/Brew file") << QStringLiteral("\"/Jo's Mac/Brew file\"");
        QTest::newRow("dollar") << QStringLiteral("/a$HOME") << QStringLiteral("'/a$HOME'");
        QTest::newRow("backtick") << QStringLiteral("/a`x`") << QStringLiteral("'/a`x`'");
        QTest::newRow("double quote") << QStringLiteral("/a\"b") << QStringLiteral("'/a\"b'");
        QTest::newRow("backslash") << QStringLiteral("/a\\b") << QStringLiteral("'/a\\b'");
        QTest::newRow("single quote among specials")
            << QStringLiteral("/it's $x") << QStringLiteral("'/it'\\''s $x'");
    }

    void shellQuoting() {
        QFETCH(QString, path);
        QFETCH(QString, quoted);
        QCOMPARE(platform::shellQuotedPath(path), quoted);
    }

    // The script as Terminal would run it: brew must receive the Brewfile's path unchanged, whatever
    // the folder is called; when brew bundle fails the script says so and exits with its status. The brew is
    // the one on the PATH, or the one the script is given (a Mac under a root), which it then finds off the
    // PATH. Folder names are the user's to choose; "OOPS" stands for the test folder's "oops" file, which no
    // name may create.
    void bashHandsTheBrewfilePathToBrewUnchanged_data() {
        QTest::addColumn<bool>("given");
        QTest::addColumn<QString>("name");
        QTest::newRow("on the PATH") << false << awkwardName;
        QTest::newRow("given") << true << awkwardName;
        QTest::newRow("command substitution") << false << QStringLiteral("$(touch OOPS)");
        QTest::newRow("line break and quotes") << true << QStringLiteral("a\n'b\"; touch OOPS; #");
        QTest::newRow("history, globs, tilde") << false << QStringLiteral("!! *?[x] ~ ${IFS}");
    }

    void bashHandsTheBrewfilePathToBrewUnchanged() {
        QFETCH(bool, given);
        QFETCH(QString, name);
        StandInDir dir;
        QVERIFY(dir.isValid());
        const QString folder =
            dir.filePath(QString(name).replace(QStringLiteral("OOPS"), dir.filePath(QStringLiteral("oops"))));
        QVERIFY(QDir().mkpath(folder));
        // A brew the script is given may sit in a folder of any name.
        const QString bin = given ? dir.filePath(awkwardName + QStringLiteral("/bin")) : dir.bin;
        QVERIFY(QDir().mkpath(bin));
        const QString record = dir.filePath(QStringLiteral("brew-arguments"));
        QVERIFY(writeFile(bin + QStringLiteral("/brew"),
                          "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + record.toUtf8() +
                              "'\necho \"HOMEBREW_NO_ENV_HINTS=$HOMEBREW_NO_ENV_HINTS\"\nexit 3\n",
                          true));
        const QString brewfile = folder + QStringLiteral("/Brewfile");
        const QString script = folder + QStringLiteral("/restore.command");
        QVERIFY(writeFile(brewfile, "brew \"git\"\n"));
        const auto brew = given ? std::optional(bin + QStringLiteral("/brew")) : std::nullopt;
        QVERIFY(writeFile(script, restore::installerScript(brewfile, installURL, brew).toUtf8(), true));
        QCOMPARE(QProcess::execute(QStringLiteral("/bin/bash"), {QStringLiteral("-n"), script}), 0);

        int exitCode = -1;
        const QByteArray output =
            runBash(script, (given ? QString() : bin + u':') + QStringLiteral("/usr/bin:/bin"), &exitCode);
        QCOMPARE(exitCode, 3);
        QVERIFY2(!output.contains("Homebrew isn't installed"), output.constData());
        QVERIFY2(output.contains("HOMEBREW_NO_ENV_HINTS=1\n"), output.constData());
        QVERIFY2(
            output.endsWith("\nSome items could not be installed (Homebrew's messages above say which).\n"
                            "Running this script again skips what is already installed.\n"),
            output.constData());
        QCOMPARE(readFile(record), QByteArrayLiteral("bundle\0--file=") + brewfile.toUtf8() + '\0');
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("oops"))));
    }

    // The install script's address goes to curl as one word, as written, whatever it holds.
    void bashHandsTheInstallAddressToCurlUnchanged_data() {
        QTest::addColumn<QString>("url");
        QTest::newRow("plain") << installURL;
        QTest::newRow("single quote and substitution") << QStringLiteral("https://x/'$(touch OOPS)'");
        QTest::newRow("double quote and backticks") << QStringLiteral("https://x/a b\"`touch OOPS`\"!!");
    }

    void bashHandsTheInstallAddressToCurlUnchanged() {
        QFETCH(QString, url);
        StandInDir dir;
        QVERIFY(dir.isValid());
        const QString address =
            QString(url).replace(QStringLiteral("OOPS"), dir.filePath(QStringLiteral("oops")));
        const QString &bin = dir.bin;
        const QString record = dir.filePath(QStringLiteral("curl-arguments"));
        QVERIFY(writeFile(bin + QStringLiteral("/curl"),
                          "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + record.toUtf8() +
                              "'\necho 'echo fake installer'\n",
                          true));
        QVERIFY(writeSudo(bin, true));
        const QString script = dir.filePath(QStringLiteral("restore.command"));
        QVERIFY(writeFile(
            script, restore::installerScript(dir.filePath(QStringLiteral("Brewfile")), address).toUtf8(),
            true));
        QCOMPARE(QProcess::execute(QStringLiteral("/bin/bash"), {QStringLiteral("-n"), script}), 0);

        int exitCode = -1;
        const QByteArray output = runBash(script, bin + QStringLiteral(":/usr/bin:/bin"), &exitCode);
        QCOMPARE(exitCode, 1);
        QVERIFY2(output.contains("fake installer\n"), output.constData());
        QVERIFY2(output.contains("Homebrew could not be installed"), output.constData());
        QCOMPARE(readFile(record), QByteArrayLiteral("-fsSL\0") + address.toUtf8() + '\0');
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("oops"))));
    }

    // Without brew, the script asks for the password, then runs Homebrew's installer without questions;
    // that installer only tries `sudo -n` and stops when no password is remembered. Refused, the
    // script stops before fetching the installer.
    void bashInstallsHomebrewFirstWhenMissing_data() {
        QTest::addColumn<bool>("passwordGiven");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("ending");
        QTest::newRow("password given") << true << 0 << QByteArray("\nDone. You can close this window.\n");
        QTest::newRow("password refused")
            << false << 1
            << QByteArray("Homebrew needs your Mac password to install. Run this script again to retry.\n");
    }

    void bashInstallsHomebrewFirstWhenMissing() {
        QFETCH(bool, passwordGiven);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, ending);
        if (QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty())
            QSKIP("curl is not installed here");
        if (hasRealHomebrew())
            QSKIP("this machine has a real Homebrew");
        StandInDir dir;
        QVERIFY(dir.isValid());
        const QString &bin = dir.bin;
        QVERIFY(writeSudo(bin, passwordGiven));
        const QByteArray installer =
            "if [ -n \"${NONINTERACTIVE-}\" ]; then SUDO='sudo -n'; else SUDO=sudo; fi\n"
            "if ! $SUDO -l mkdir >/dev/null 2>&1; then\n"
            "  echo \"Need sudo access on macOS (e.g. the user $USER needs to be an Administrator)!\"\n"
            "  exit 1\n"
            "fi\n"
            "printf '#!/bin/sh\\necho brew \"$@\"\\n' > '" +
            bin.toUtf8() + "/brew'\nchmod +x '" + bin.toUtf8() + "/brew'\n";
        LocalHttpServer server([installer](const LocalHttpServer::Request &) {
            LocalHttpServer::Response response;
            response.body = installer;
            return response;
        });
        const QString folder = dir.filePath(awkwardName);
        QVERIFY(QDir().mkpath(folder));
        const QString script = folder + QStringLiteral("/restore.command");
        const QString url = server.url().toString() + QStringLiteral("/Homebrew/install/HEAD/install.sh");
        QVERIFY(writeFile(
            script, restore::installerScript(folder + QStringLiteral("/Brewfile"), url).toUtf8(), true));

        int status = -1;
        const QByteArray output = runBash(script, bin + QStringLiteral(":/usr/bin:/bin"), &status);
        QCOMPARE(status, exitCode);
        QVERIFY2(output.contains("Homebrew isn't installed yet. Installing it now.\n"), output.constData());
        QVERIFY2(!output.contains("Need sudo access"), output.constData());
        QVERIFY2(output.endsWith(ending), output.constData());
        QCOMPARE(server.requests().size(), passwordGiven ? 1 : 0);
        if (passwordGiven)
            QVERIFY2(output.contains("brew bundle --file="), output.constData());
    }
};

QTEST_GUILESS_MAIN(InstallerTest)
#include "tst_installer.moc"
