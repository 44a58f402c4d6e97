#pragma once

#include "fakemac.h"
#include "model/manifest.h"

#include <QFile>
#include <QTest>

// One fake Mac holding every kind of bundle and tool output the scanner must tell apart, and what the
// scan rules give for it, worked out by hand. Shared by the scanner's own tests and those of the
// command-line tool, so both hold the program to the same answer.
namespace sampleMac {

using model::AppRecord;
using model::AppSource;
using Format = FakeMac::PlistFormat;

// The same name composed (as typed) and decomposed (as some file systems store it).
inline const QString cafeComposed = QStringLiteral("Caf\u00e9");
inline const QString cafeDecomposed = QStringLiteral("Cafe\u0301");
inline const QString unicodeName = QStringLiteral("\u00dcn\u00efc\u00f8d\u00e9");

inline AppRecord app(const QString &name, const QString &path, AppSource source,
                     std::optional<QString> bundleId = {}, std::optional<QString> version = {},
                     bool isMenuBarApp = false, std::optional<QString> downloadURL = {}) {
    AppRecord record;
    record.name = name;
    record.path = path;
    record.source = source;
    record.bundleId = std::move(bundleId);
    record.version = std::move(version);
    record.isMenuBarApp = isMenuBarApp;
    record.downloadURL = std::move(downloadURL);
    return record;
}

inline QVariantMap info(std::initializer_list<std::pair<QString, QVariant>> entries) {
    QVariantMap map;
    for (const auto &[key, value] : entries)
        map.insert(key, value);
    return map;
}

inline void addBundles(FakeMac &mac) {
    const QString apps = QStringLiteral("/Applications");
    const QString utilities = QStringLiteral("/Applications/Utilities");
    const QString home = FakeMac::home() + QStringLiteral("/Applications");
    const QString system = QStringLiteral("/System/Applications");

    mac.addBundle(apps, QStringLiteral("Zebra.app"),
                  info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.zebra")},
                        {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("3.0")},
                        {QStringLiteral("CFBundleVersion"), QStringLiteral("300")},
                        {QStringLiteral("SUFeedURL"), QStringLiteral("https://example.com/zebra.xml")}}),
                  Format::xml);
    mac.addBundle(apps, QStringLiteral("zoom.app"),
                  info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("us.zoom.xos")},
                        {QStringLiteral("CFBundleVersion"), QStringLiteral("5.17.1")},
                        {QStringLiteral("LSUIElement"), 0}}),
                  Format::binary);
    mac.addBundle(apps, QStringLiteral("Safari.app"),
                  info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.apple.Safari")},
                        {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("17.1")}}),
                  Format::binary);
    mac.addBundle(apps, QStringLiteral("Tool.APP"),
                  info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.upper")}}));
    mac.addBundle(apps, QStringLiteral("Tool.app"),
                  info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.tool")},
                        {QStringLiteral("LSUIElement"), true}}),
                  Format::binary);
    mac.addBareBundle(apps, QStringLiteral(".app"));
    mac.addBareBundle(apps, QStringLiteral("NoPlist.app"));
    mac.addBundle(apps, QStringLiteral("Quote \"It\".app"),
                  info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.quote")},
                        {QStringLiteral("LSUIElement"), QStringLiteral("1")}}));
    mac.addBundle(apps, unicodeName + QStringLiteral(".app"),
                  info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("org.example.unicode")},
                        {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.0 \u03b2")}}),
                  Format::binary);
    mac.addReceipt(
        mac.addBundle(apps, QStringLiteral("Store.app"),
                      info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.store")},
                            {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("2.4")}})));
    mac.addReceipt(mac.addBundle(
        apps, QStringLiteral("Keynote.app"),
        info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.apple.iWork.Keynote")}})));
    mac.writeInfoPlistBytes(mac.addBareBundle(apps, QStringLiteral("Broken.app")),
                            QByteArrayLiteral("this is not a property list"));
    mac.writeInfoPlistBytes(
        mac.addBareBundle(apps, QStringLiteral("ArrayRoot.app")),
        QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array><dict>"
                          "<key>CFBundleIdentifier</key><string>com.example.array</string>"
                          "</dict></array></plist>\n"));
    mac.addBundle(apps, cafeComposed + QStringLiteral(".app"),
                  info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.cafe")}}));
    // Only the top level of each folder counts.
    mac.addBundle(apps + QStringLiteral("/Games"), QStringLiteral("Chess.app"),
                  info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.chess")}}));
    mac.writeFile(apps + QStringLiteral("/ReadMe.txt"), QByteArrayLiteral("not a bundle"));
    mac.writeFile(apps + QStringLiteral("/Archive.app.zip"), QByteArrayLiteral("not a bundle"));

    mac.addBundle(utilities, QStringLiteral("Terminal.app"),
                  info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.apple.Terminal")}}));
    mac.addBundle(utilities, QStringLiteral("zebra.app"),
                  info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.zebra.lite")}}),
                  Format::binary);
    mac.addBundle(utilities, QStringLiteral("Cafez.app"), {});

    mac.addBareBundle(home, QStringLiteral("ZEBRA.app"));
    mac.addReceipt(mac.addBundle(
        home, cafeDecomposed + QStringLiteral(".app"),
        info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.cafe.nfd")}})));

    mac.addBareBundle(system, QStringLiteral("Calculator.app"));
    mac.addReceipt(
        mac.addBundle(system, QStringLiteral("Maps.app"),
                      info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.maps")}})));
    mac.addBundle(system + QStringLiteral("/Utilities"), QStringLiteral("Disk Utility.app"),
                  info({{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.apple.DiskUtility")}}));
}

// What scanApps gives for addBundles(): sorted by lower-cased name; equal names (also canonically
// equivalent ones) in folder order.
inline QList<AppRecord> expectedApps() {
    const QString home = FakeMac::home() + QStringLiteral("/Applications/");
    return {
        app(QString(), QStringLiteral("/Applications/.app"), AppSource::manual),
        app(QStringLiteral("ArrayRoot"), QStringLiteral("/Applications/ArrayRoot.app"), AppSource::manual),
        app(QStringLiteral("Broken"), QStringLiteral("/Applications/Broken.app"), AppSource::manual),
        app(QStringLiteral("Cafez"), QStringLiteral("/Applications/Utilities/Cafez.app"), AppSource::manual),
        app(cafeComposed, QStringLiteral("/Applications/") + cafeComposed + QStringLiteral(".app"),
            AppSource::manual, QStringLiteral("com.example.cafe")),
        app(cafeDecomposed, home + cafeDecomposed + QStringLiteral(".app"), AppSource::appStore,
            QStringLiteral("com.example.cafe.nfd")),
        app(QStringLiteral("Calculator"), QStringLiteral("/System/Applications/Calculator.app"),
            AppSource::apple),
        app(QStringLiteral("Keynote"), QStringLiteral("/Applications/Keynote.app"), AppSource::appStore,
            QStringLiteral("com.apple.iWork.Keynote")),
        app(QStringLiteral("Maps"), QStringLiteral("/System/Applications/Maps.app"), AppSource::apple,
            QStringLiteral("com.example.maps")),
        app(QStringLiteral("NoPlist"), QStringLiteral("/Applications/NoPlist.app"), AppSource::manual),
        app(QStringLiteral("Quote \"It\""), QStringLiteral("/Applications/Quote \"It\".app"),
            AppSource::manual, QStringLiteral("com.example.quote"), std::nullopt, true),
        app(QStringLiteral("Safari"), QStringLiteral("/Applications/Safari.app"), AppSource::apple,
            QStringLiteral("com.apple.Safari"), QStringLiteral("17.1")),
        app(QStringLiteral("Store"), QStringLiteral("/Applications/Store.app"), AppSource::appStore,
            QStringLiteral("com.example.store"), QStringLiteral("2.4")),
        app(QStringLiteral("Terminal"), QStringLiteral("/Applications/Utilities/Terminal.app"),
            AppSource::apple, QStringLiteral("com.apple.Terminal")),
        app(QStringLiteral("Tool"), QStringLiteral("/Applications/Tool.app"), AppSource::manual,
            QStringLiteral("com.example.tool"), std::nullopt, true),
        app(QStringLiteral("Zebra"), QStringLiteral("/Applications/Zebra.app"), AppSource::manual,
            QStringLiteral("com.example.zebra"), QStringLiteral("3.0"), false,
            QStringLiteral("https://example.com/zebra.xml")),
        app(QStringLiteral("zebra"), QStringLiteral("/Applications/Utilities/zebra.app"), AppSource::manual,
            QStringLiteral("com.example.zebra.lite")),
        app(QStringLiteral("ZEBRA"), home + QStringLiteral("ZEBRA.app"), AppSource::manual),
        app(QStringLiteral("zoom"), QStringLiteral("/Applications/zoom.app"), AppSource::manual,
            QStringLiteral("us.zoom.xos"), QStringLiteral("5.17.1")),
        app(unicodeName, QStringLiteral("/Applications/") + unicodeName + QStringLiteral(".app"),
            AppSource::manual, QStringLiteral("org.example.unicode"), QStringLiteral("1.0 \u03b2")),
    };
}

inline QByteArray backgroundDump() {
    QFile file(QStringLiteral(HAULWISE_TEST_DATA "/dumpbtm-sample.txt"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test data: %s", qPrintable(file.fileName()));
    return file.readAll();
}

// brew at both locations (only the first may ever run), osascript and sfltool. Between them they
// print noise on standard error, flood it with a megabyte, and keep lines with trailing spaces.
inline void addTools(FakeMac &mac) {
    mac.addTool(QStringLiteral("/opt/homebrew/bin/brew"), "echo 'Warning: brew is noisy' >&2\n"
                                                          "case \"$*\" in\n"
                                                          "  leaves) printf 'git\\n\\nwget  \\n' ;;\n"
                                                          "  tap) printf 'homebrew/cask-fonts\\n' ;;\n"
                                                          "  *) echo \"unexpected: $*\" ;;\n"
                                                          "esac\n"
                                                          "exit 1\n");
    mac.addTool(QStringLiteral("/usr/local/bin/brew"), "printf 'the-wrong-brew\\n'\n");
    mac.addTool(QStringLiteral("/usr/bin/osascript"),
                "if [ \"$#\" = 4 ] && [ \"$3\" = -e ] && [ \"$4\" = 'tell application \"System Events\" to "
                "get the name of every login item' ]; then\n"
                "  printf '{\"Alpha\", \"Beta\", \"Gamma\"}\\n'\n"
                "else\n"
                "  echo \"unexpected: $*\"\n"
                "fi\n");
    mac.addTool(QStringLiteral("/usr/bin/sfltool"), "head -c 1048576 /dev/zero | tr '\\0' e >&2\n"
                                                    "[ \"$*\" = dumpbtm ] || echo \"Name: unexpected $*\"\n"
                                                    "cat <<'END_OF_DUMP'\n" +
                                                        backgroundDump() + "\nEND_OF_DUMP\n");
}

inline QStringList expectedLoginItems() {
    return {QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Gamma")};
}

inline QList<model::BackgroundItem> expectedBackgroundItems() {
    return {{QStringLiteral("com.docker.vmnetd"), QStringLiteral("Docker"),
             QStringLiteral("legacy daemon (0x10010)")}};
}

inline QStringList expectedFormulae() {
    return {QStringLiteral("git"), QStringLiteral("wget  ")};
}

inline QStringList expectedTaps() {
    return {QStringLiteral("homebrew/cask-fonts")};
}

} // namespace sampleMac
