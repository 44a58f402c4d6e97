#include "platform/linuxterminallauncher.h"

#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class LinuxTerminalTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void launcherPicksTheFirstTerminalOnThePath_data() {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("expectedProgram");
        QTest::addColumn<QString>("expectedOption");
        QTest::newRow("the system's choice first")
            << QStringList{QStringLiteral("xterm"), QStringLiteral("x-terminal-emulator")}
            << QStringLiteral("x-terminal-emulator") << QStringLiteral("-e");
        QTest::newRow("gnome-terminal")
            << QStringList{QStringLiteral("xterm"), QStringLiteral("gnome-terminal")}
            << QStringLiteral("gnome-terminal") << QStringLiteral("--");
        QTest::newRow("konsole") << QStringList{QStringLiteral("konsole"), QStringLiteral("xterm")}
                                 << QStringLiteral("konsole") << QStringLiteral("-e");
        QTest::newRow("xfce4-terminal") << QStringList{QStringLiteral("xfce4-terminal")}
                                        << QStringLiteral("xfce4-terminal") << QStringLiteral("-x");
        QTest::newRow("xterm") << QStringList{QStringLiteral("xterm")} << QStringLiteral("xterm")
                               << QStringLiteral("-e");
    }

    // Each fake terminal records how it was called, then runs the command the way a terminal does;
    // the script leaves a mark, so the command really reaches it, awkward folder name and all.
    void launcherPicksTheFirstTerminalOnThePath() {
        QFETCH(QStringList, installed);
        QFETCH(QString, expectedProgram);
        QFETCH(QString, expectedOption);
        StandInDir dir;
        QVERIFY(dir.isValid());
        const QString &bin = dir.bin;
        const QString record = dir.filePath(QStringLiteral("terminal"));
        for (const QString &terminal : installed) {
            QVERIFY(writeFile(bin + u'/' + terminal,
                              "#!/bin/bash\n{ echo " + terminal.toUtf8() + "; printf '%s\\0' \"$@\"; } > '" +
                                  record.toUtf8() + ".tmp'\nmv '" + record.toUtf8() + ".tmp' '" +
                                  record.toUtf8() + "'\nshift\nexec \"$@\" < /dev/null > /dev/null 2>&1\n",
                              true));
        }
        const QString folder = dir.filePath(awkwardName);
        QVERIFY(QDir().mkpath(folder));
        const QString mark = dir.filePath(QStringLiteral("ran"));
        const QString script = folder + QStringLiteral("/restore.command");
        QVERIFY(writeFile(script, "echo ran > '" + mark.toUtf8() + "'\n", true));

        // Only the fake terminals and the two programs they need are on the path: a terminal this
        // machine happens to have in /usr/bin must not be found before them.
        const QString tools = dir.filePath(QStringLiteral("tools"));
        QVERIFY(QDir().mkpath(tools));
        for (const char *tool : {"bash", "mv"})
            QVERIFY(QFile::link(QStandardPaths::findExecutable(QString::fromLatin1(tool)),
                                tools + u'/' + QString::fromLatin1(tool)));
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", (bin + u':' + tools).toUtf8());
        platform::LinuxTerminalLauncher launcher;
        const auto opened = launcher.open(script);
        qputenv("PATH", oldPath);
        QVERIFY2(opened.ok(), qPrintable(opened.message()));

        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
        QByteArray expected = expectedProgram.toUtf8() + '\n' + expectedOption.toUtf8() + '\0';
        for (const QString &argument : platform::LinuxTerminalLauncher::scriptCommand(script))
            expected += argument.toUtf8() + '\0';
        QCOMPARE(readFile(record), expected);
        QTRY_COMPARE_WITH_TIMEOUT(readFile(mark), QByteArray("ran\n"), 10000);
    }

    void launcherWithoutAnyTerminalSaysWhatToRun() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", dir.path().toUtf8());
        platform::LinuxTerminalLauncher launcher;
        const QString script = QStringLiteral("/home/me/.local/share/Haulwise/restore.command");
        const auto opened = launcher.open(script);
        qputenv("PATH", oldPath);
        QCOMPARE(opened.message(),
                 QStringLiteral("No terminal program was found to run the installer. Run it yourself: "
                                "bash \"/home/me/.local/share/Haulwise/restore.command\""));
    }
};

QTEST_GUILESS_MAIN(LinuxTerminalTest)
#include "tst_linuxterminal.moc"
