// Renders every view of the program in its main states to PNG files, with the software renderer at
// fixed sizes, for the README and for looking over the layout:
//   haulwise-screenshots OUTPUT_FOLDER [--dark] [--root DIR --home PATH --catalogue-url URL --lookup-url URL]
//                        [--restore-root DIR --install-url URL]
// scripts/screenshots runs it (inside a private keychain) for both palettes, on the sample Mac: with
// a Mac given, the scanned panel and the restore window show that Mac's scan; the states that need
// held or failing answers come from the test fixtures. With a new Mac to restore onto, the restore
// window is that Mac's, and Install in Terminal runs there with its stand-ins; the picture of the
// Terminal is drawn from what the script printed.

#include "support/memorysecretstore.h"
#include "support/testsettings.h"
#include "support/uifixtures.h"
#include "support/viewharness.h"

#include "inventory/inventorymodel.h"
#include "inventory/scanoptions.h"
#include "platform/shellquote.h"
#include "restore/restoremodel.h"
#include "sync/appsettings.h"
#include "ui/panelactions.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFontDatabase>
#include <QPainter>
#include <QPalette>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStyleFactory>

#include <cstdio>

using namespace uiFixtures;
using namespace std::chrono_literals;

namespace {

QString outputFolder;
QString suffix;
int failures = 0;
// The Mac the scanned pictures show, when one is given.
std::optional<inventory::InventoryEngine> givenMac;
// The Mac the restore pictures restore onto, when one is given.
std::optional<inventory::InventoryEngine> givenNewMac;

QPalette darkPalette() {
    QPalette palette;
    const QColor window(0x2b, 0x2b, 0x2d);
    const QColor base(0x1e, 0x1e, 0x20);
    const QColor text(0xec, 0xec, 0xee);
    const QColor disabledText(0x7a, 0x7a, 0x80);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3d));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabledText);
    palette.setColor(QPalette::Highlight, QColor(0x0a, 0x6c, 0xd8));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4e));
    palette.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x44));
    palette.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x33));
    palette.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Link, QColor(0x4c, 0x9d, 0xff));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::Button, QColor(0x33, 0x33, 0x36));
    return palette;
}

bool waitFor(const std::function<bool()> &condition, std::chrono::milliseconds timeout = 30s) {
    return QTest::qWaitFor(condition, static_cast<int>(timeout.count()));
}

void save(const ViewHarness &harness, const QString &name) {
    // Let pictures load and animations settle before the picture is taken.
    QTest::qWait(300);
    for (const QString &warning : harness.warnings()) {
        std::fprintf(stderr, "screenshots: %s: %s\n", qUtf8Printable(name), qUtf8Printable(warning));
        ++failures;
    }
    const QImage image = harness.view()->grabWindow();
    const QString path = QDir(outputFolder).filePath(name + suffix + QStringLiteral(".png"));
    if (image.isNull() || !image.save(path)) {
        std::fprintf(stderr, "screenshots: could not write %s\n", qUtf8Printable(path));
        ++failures;
        return;
    }
    std::printf("%s\n", qUtf8Printable(path));
}

void require(bool condition, const char *what) {
    if (!condition) {
        std::fprintf(stderr, "screenshots: %s\n", what);
        ++failures;
    }
}

// Runs the script Install in Terminal wrote as Terminal would, on a terminal of its own, with the new
// Mac's tools first on the PATH; types the Mac's password when asked. Gives what it printed.
QString runInTerminal(const QString &scriptPath, const QString &macRoot) {
    QProcess terminal;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), macRoot + QStringLiteral("/usr/bin:") + macRoot +
                                                   QStringLiteral("/opt/homebrew/bin:") +
                                                   environment.value(QStringLiteral("PATH")));
    environment.insert(QStringLiteral("TERM"), QStringLiteral("dumb"));
    terminal.setProcessEnvironment(environment);
    terminal.setProcessChannelMode(QProcess::MergedChannels);
    terminal.start(QStringLiteral("script"),
                   {QStringLiteral("-qec"), QStringLiteral("bash ") + platform::shellSingleQuoted(scriptPath),
                    QStringLiteral("/dev/null")});
    QByteArray output;
    bool typed = false;
    const bool ended = waitFor(
        [&] {
            output += terminal.readAll();
            if (!typed && output.contains("Password:")) {
                terminal.write("sample\n");
                typed = true;
            }
            return terminal.state() == QProcess::NotRunning;
        },
        60s);
    output += terminal.readAll();
    require(ended, "the restore script never ended");
    QString text = QString::fromUtf8(output);
    text.remove(QRegularExpression(QStringLiteral("\x1b\\[[0-9;]*m"))).remove(u'\r');
    return text;
}

// Draws a Terminal window holding `text`, light on dark in the fixed-width font.
void saveTerminal(const QString &text, const QString &name) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    const int titleHeight = 28;
    const int margin = 10;
    const int width = 720;
    // Long lines wrap at the window's edge, as Terminal's do. A glyph's advance is fractional, so it is
    // measured over a whole line rather than rounded once and multiplied.
    const QString ruler(80, u'M');
    const auto columns = static_cast<qsizetype>((width - 2 * margin) * ruler.size() /
                                                QFontMetricsF(font).horizontalAdvance(ruler));
    QStringList lines;
    for (const QString &line : text.trimmed().split(u'\n')) {
        for (qsizetype start = 0; start == 0 || start < line.size(); start += columns)
            lines.append(line.mid(start, columns));
    }
    const QSize size(width,
                     titleHeight + 2 * margin + static_cast<int>(lines.size()) * metrics.lineSpacing());
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(0x1e, 0x1e, 0x1e));
    QPainter painter(&image);
    painter.fillRect(0, 0, size.width(), titleHeight, QColor(0x38, 0x38, 0x38));
    painter.setPen(QColor(0xb0, 0xb0, 0xb0));
    painter.setFont(font);
    painter.drawText(QRect(0, 0, size.width(), titleHeight), Qt::AlignCenter,
                     QStringLiteral("restore.command"));
    painter.setPen(QColor(0xe6, 0xe6, 0xe6));
    int y = titleHeight + margin + metrics.ascent();
    for (const QString &line : lines) {
        painter.drawText(margin, y, line);
        y += metrics.lineSpacing();
    }
    painter.end();
    const QString path = QDir(outputFolder).filePath(name + suffix + QStringLiteral(".png"));
    if (!image.save(path)) {
        std::fprintf(stderr, "screenshots: could not write %s\n", qUtf8Printable(path));
        ++failures;
        return;
    }
    std::printf("%s\n", qUtf8Printable(path));
}

ui::PanelActions *idleActions() {
    static ui::PanelActions actions({});
    return &actions;
}

// The settings every picture's views and models share, over a store in memory.
syncing::AppSettings &settings() {
    static syncing::AppSettings settings(std::make_shared<MemorySecretStore>());
    return settings;
}

void configure(const QString &url, const QString &token) {
    settings().setWorkerURL(url);
    settings().setToken(token);
}

void panels() {
    configure({}, {});
    {
        inventory::InventoryModel model(OldMac().engine(), settings());
        ViewHarness harness(QStringLiteral("MenuContentView"),
                            {{QStringLiteral("model"), QVariant::fromValue(&model)},
                             {QStringLiteral("actions"), QVariant::fromValue(idleActions())}},
                            QSize(), &settings());
        save(harness, QStringLiteral("panel-not-scanned"));
    }

    LocalHttpServer worker([](const LocalHttpServer::Request &) { return reply(401, "Unauthorized"); });
    configure(worker.url().toString(), QStringLiteral("s3cret-token"));
    OldMac oldMac;
    {
        inventory::InventoryModel model(oldMac.engine(), settings());
        ViewHarness harness(QStringLiteral("MenuContentView"),
                            {{QStringLiteral("model"), QVariant::fromValue(&model)},
                             {QStringLiteral("actions"), QVariant::fromValue(idleActions())}},
                            QSize(), &settings());
        oldMac.holdAnswers(3s);
        model.startScan();
        require(waitFor([&] { return model.status() == inventory::InventoryModel::matchingText(); }),
                "the scan never reached its online pass");
        save(harness, QStringLiteral("panel-scanning"));
        require(waitFor([&] { return !model.isBusy(); }), "the scan never finished");
        oldMac.holdAnswers(0ms);
    }

    inventory::InventoryModel model(givenMac ? *givenMac : oldMac.engine(), settings());
    ViewHarness harness(QStringLiteral("MenuContentView"),
                        {{QStringLiteral("model"), QVariant::fromValue(&model)},
                         {QStringLiteral("actions"), QVariant::fromValue(idleActions())}},
                        QSize(), &settings());
    model.startScan();
    require(waitFor([&] { return !model.isBusy(); }), "the scan never finished");
    save(harness, QStringLiteral("panel-scanned"));

    model.startExport();
    require(waitFor([&] { return !model.isBusy(); }), "the export never finished");
    save(harness, QStringLiteral("panel-export-failed"));
}

// The manifest the restore pictures load: the given Mac's, or the fixtures'.
model::Manifest oldMacManifest() {
    if (!givenMac) {
        return manifest(sampleApps(), {QStringLiteral("Rectangle"), QStringLiteral("Magnet"),
                                       QStringLiteral("Docker"), QStringLiteral("Bartender 5")});
    }
    inventory::InventoryModel model(*givenMac, settings());
    model.startScan();
    require(waitFor([&] { return !model.isBusy(); }) && model.manifest(), "the scan never finished");
    return model.manifest().value_or(model::Manifest());
}

// Shows the list's row whose label starts with `label` at the top.
void scrollToRow(const ViewHarness &harness, const QString &label) {
    auto *rows = harness.find<QAbstractItemModel>(QStringLiteral("rows"));
    QQuickItem *list = harness.find(QStringLiteral("list"));
    require(rows && list, "the restore window has no list");
    if (!rows || !list)
        return;
    for (int i = 0; i < rows->rowCount(); ++i) {
        if (rows->index(i, 0).data(Qt::DisplayRole).toString().startsWith(label)) {
            // Where the list puts rows it hasn't made yet is an estimate: the second pass is exact.
            for (int pass = 0; pass < 2; ++pass) {
                QMetaObject::invokeMethod(list, "positionViewAtIndex", Q_ARG(int, i),
                                          Q_ARG(int, 1 /* Beginning */));
                QCoreApplication::processEvents();
            }
            return;
        }
    }
    require(false, "the list has no such row");
}

void restoreWindow() {
    const model::Manifest old = oldMacManifest();
    {
        LocalHttpServer worker([](const LocalHttpServer::Request &) { return reply(401, "Unauthorized"); });
        configure(worker.url().toString(), QStringLiteral("s3cret-token"));
        NewMac newMac({}, {}, false);
        restore::RestoreModel model(newMac.engine(), settings(), std::make_unique<RecordingSavePanel>(),
                                    std::make_unique<RecordingTerminal>());
        ViewHarness harness(QStringLiteral("RestoreView"),
                            {{QStringLiteral("model"), QVariant::fromValue(&model)}}, QSize(560, 640),
                            &settings());
        save(harness, QStringLiteral("restore-empty"));
        model.startLoad();
        require(waitFor([&] { return !model.errorMessage().isEmpty() && !model.isBusy(); }),
                "the failed load never reported");
        save(harness, QStringLiteral("restore-load-failed"));
    }
    {
        const QList<App> apps = sampleApps();
        // Firefox and Things 3 are here already; Rectangle already starts at login.
        NewMac newMac({apps.at(0), apps.at(5), apps.at(2), apps.at(7)}, {QStringLiteral("Rectangle")}, false);
        // Loaded the way the user loads it, so the status line reads as it would; the Worker keeps
        // three exports, two of them the old Mac's.
        const QByteArray stored = model::encodeManifest(old);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const auto version = [&](const char *id, qint64 daysAgo, const QString &host, qsizetype apps) {
            return QJsonObject{
                {QStringLiteral("id"), QLatin1StringView(id)},
                {QStringLiteral("storedAt"), now.addDays(-daysAgo).toString(Qt::ISODateWithMs)},
                {QStringLiteral("hostname"), host},
                {QStringLiteral("apps"), apps},
                {QStringLiteral("bytes"), stored.size()}};
        };
        const QByteArray versions =
            QJsonDocument(QJsonObject{{QStringLiteral("manifests"),
                                       QJsonArray{version("0f8c9a4e-2b1d-4c55-9d3e-7a6b5c4d3e2c", 0,
                                                          QStringLiteral("new-mac.local"), 3),
                                                  version("0f8c9a4e-2b1d-4c55-9d3e-7a6b5c4d3e2b", 3,
                                                          old.hostname, old.installableApps().size()),
                                                  version("0f8c9a4e-2b1d-4c55-9d3e-7a6b5c4d3e2a", 40,
                                                          old.hostname, old.installableApps().size() - 4)}}})
                .toJson();
        LocalHttpServer worker([&](const LocalHttpServer::Request &request) {
            return reply(200, request.target == "/manifests" ? versions : stored);
        });
        configure(worker.url().toString(), QStringLiteral("s3cret-token"));
        auto terminal = std::make_unique<RecordingTerminal>();
        RecordingTerminal *opened = terminal.get();
        restore::RestoreModel model(givenNewMac.value_or(newMac.engine()), settings(),
                                    std::make_unique<RecordingSavePanel>(), std::move(terminal));
        model.startLoad();
        require(waitFor([&] { return model.hasManifest() && !model.isBusy(); }), "the manifest never loaded");
        if (const QList<model::AppRecord> manual = model.appsWithSource(model::AppSource::manual);
            !manual.isEmpty())
            model.downloads()->setLink(manual.constFirst().path,
                                       QStringLiteral("https://example.com/download"));
        ViewHarness harness(QStringLiteral("RestoreView"),
                            {{QStringLiteral("model"), QVariant::fromValue(&model)}}, QSize(560, 640),
                            &settings());
        save(harness, QStringLiteral("restore-loaded"));
        scrollToRow(harness, QStringLiteral("Homebrew taps"));
        save(harness, QStringLiteral("restore-homebrew"));
        if (auto *list = harness.find(QStringLiteral("list"))) {
            QMetaObject::invokeMethod(list, "positionViewAtEnd");
            save(harness, QStringLiteral("restore-loaded-end"));
        }
        if (QQuickItem *button = harness.find(QStringLiteral("versions"))) {
            harness.click(button);
            require(waitFor([&] {
                        return harness.object(
                                   QStringLiteral("version:0f8c9a4e-2b1d-4c55-9d3e-7a6b5c4d3e2a")) != nullptr;
                    }),
                    "the versions menu never opened");
            save(harness, QStringLiteral("restore-versions"));
            QMetaObject::invokeMethod(harness.object(QStringLiteral("versionsMenu")), "close");
        } else {
            require(false, "the restore window has no versions button");
        }
        model.brewfile()->preview();
        require(model.brewfile()->hasPreview(), "the preview did not open");
        save(harness, QStringLiteral("restore-preview"));
        if (givenNewMac) {
            model.brewfile()->closePreview();
            model.brewfile()->installInTerminal();
            require(opened->opened.size() == 1, "Install in Terminal wrote no script");
            if (opened->opened.size() == 1)
                saveTerminal(runInTerminal(opened->opened.constFirst(), givenNewMac->fileManager().root()),
                             QStringLiteral("restore-terminal"));
        }
    }
}

void settingsWindow() {
    configure({}, {});
    {
        ViewHarness harness(QStringLiteral("SettingsView"), {}, QSize(460, 320), &settings());
        save(harness, QStringLiteral("settings-empty"));
    }
    LocalHttpServer worker([](const LocalHttpServer::Request &) { return reply(404, "Not found"); });
    configure(worker.url().toString(), QStringLiteral("s3cret-token"));
    ViewHarness harness(QStringLiteral("SettingsView"), {}, QSize(460, 320), &settings());
    QObject *controller = harness.object(QStringLiteral("controller"));
    QMetaObject::invokeMethod(controller, "testConnection");
    require(waitFor([&] { return !controller->property("testing").toBool(); }),
            "the connection test never ended");
    QMetaObject::invokeMethod(controller, "copySetup");
    // The address the picture shows is one a user would have, not the test server's changing port.
    settings().setWorkerURL(QStringLiteral("https://haulwise-sync.example.workers.dev"));
    save(harness, QStringLiteral("settings-tested"));
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("OUTPUT_FOLDER"), QStringLiteral("Where the pictures go."));
    parser.addOption({QStringLiteral("dark"), QStringLiteral("The dark palette.")});
    inventory::scanOptions::addMac(parser);
    inventory::scanOptions::addServices(parser, QStringLiteral("The scan's"));
    inventory::scanOptions::addRestore(parser);
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        std::fprintf(stderr, "%s", qUtf8Printable(parser.helpText()));
        return 2;
    }
    outputFolder = parser.positionalArguments().constFirst();
    QDir().mkpath(outputFolder);
    if (parser.isSet(QStringLiteral("root"))) {
        auto engine = inventory::scanOptions::engine(parser);
        if (!engine) {
            std::fprintf(stderr, "haulwise-screenshots: %s\n", qUtf8Printable(engine.message()));
            return 2;
        }
        givenMac = std::move(engine).value();
    }
    if (parser.isSet(QStringLiteral("restore-root"))) {
        auto engine = inventory::scanOptions::restoreEngine(parser);
        if (!engine) {
            std::fprintf(stderr, "haulwise-screenshots: %s\n", qUtf8Printable(engine.message()));
            return 2;
        }
        givenNewMac = std::move(engine).value();
    }
    if (parser.isSet(QStringLiteral("dark"))) {
        QApplication::setPalette(darkPalette());
        suffix = QStringLiteral("-dark");
    }
    QStandardPaths::setTestModeEnabled(true);
    TestSettings isolated;
    // The read at start must be over before the token is set, or it would land afterwards.
    waitFor([&] { return settings().isTokenLoaded(); });

    panels();
    restoreWindow();
    settingsWindow();
    return failures == 0 ? 0 : 1;
}
