// The restore window, drawn offscreen with the real restore model on a fake new Mac; the dialogs and
// the terminal are stand-ins that remember what they were asked, and opened links are caught.

#include "support/memorysecretstore.h"
#include "support/testfiles.h"
#include "support/testsettings.h"
#include "support/uifixtures.h"
#include "support/viewharness.h"
#include "support/waitfortask.h"

#include "restore/restoremodel.h"
#include "sync/appsettings.h"
#include "ui/restorelistmodel.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QCoroTask>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QtTest>

Q_DECLARE_METATYPE(uiFixtures::App)

using namespace uiFixtures;
using restore::RestoreModel;

// Catches what the view hands to the browser.
class LinkCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

namespace {

const App firefox{QStringLiteral("Firefox"), AppSource::cask, QStringLiteral("firefox"), 0};
const App code{QStringLiteral("Visual Studio Code"), AppSource::cask, QStringLiteral("visual-studio-code"),
               0};
const App rectangle{QStringLiteral("Rectangle"), AppSource::cask, QStringLiteral("rectangle"), 0};
const App things{QStringLiteral("Things 3"), AppSource::appStore, {}, 904280696};
const App magnet{QStringLiteral("Magnet"), AppSource::appStore, {}, 441258766};
const App scanSnap{QStringLiteral("ScanSnap Home"), AppSource::manual, {}, 0};
const App calculator{QStringLiteral("Calculator"), AppSource::apple, {}, 0};

} // namespace

class TestRestoreWindow : public QObject {
    Q_OBJECT

private:
    TestSettings m_isolated;
    syncing::AppSettings m_settings{std::make_shared<MemorySecretStore>()};
    LinkCatcher m_links;

    struct Window {
        std::unique_ptr<NewMac> mac;
        RecordingSavePanel *savePanel = nullptr;
        RecordingTerminal *terminal = nullptr;
        std::unique_ptr<RestoreModel> model;
        std::unique_ptr<ViewHarness> view;

        // The row's item, once the list has made it.
        QQuickItem *row(const QString &kind, const QString &key) const {
            QQuickItem *found = nullptr;
            (void)QTest::qWaitFor([&] { return (found = view->find(kind + u':' + key)) != nullptr; }, 2000);
            return found;
        }
        QQuickItem *in(const QString &kind, const QString &key, const QString &name) const {
            QQuickItem *found = nullptr;
            (void)QTest::qWaitFor(
                [&] { return (found = ViewHarness::findIn(row(kind, key), name)) != nullptr; }, 2000);
            return found;
        }
        // The row's kind as the rows' object names spell it.
        static QString kindOf(const QModelIndex &index) {
            const QString key = index.data(ui::RestoreListModel::KindRole).toString();
            return key.left(1).toLower() + key.mid(1);
        }
        ui::RestoreListModel *rows() const {
            return view->find<ui::RestoreListModel>(QStringLiteral("rows"));
        }
        // Takes the manifest as a load would, and lets the list lay out its rows.
        void adopt(const model::Manifest &manifest) const {
            waitForTask(model->applyManifest(manifest));
            settle();
        }
        void settle() const {
            QQuickItem *list = view->find(QStringLiteral("list"));
            QMetaObject::invokeMethod(list, "forceLayout");
            QCoreApplication::processEvents();
        }
        QString count(const QString &block) const {
            return ViewHarness::text(ViewHarness::findIn(view->find(block), QStringLiteral("count")));
        }
        QStringList headers() const {
            QStringList titles;
            ui::RestoreListModel *list = rows();
            for (int i = 0; i < list->rowCount(); ++i) {
                const QModelIndex index = list->index(i);
                if (kindOf(index) == QStringLiteral("header"))
                    titles.append(index.data(ui::RestoreListModel::LabelRole).toString());
            }
            return titles;
        }
        void scrollTo(const QString &kind, const QString &key) const {
            ui::RestoreListModel *list = rows();
            for (int i = 0; i < list->rowCount(); ++i) {
                const QModelIndex index = list->index(i);
                const QString rowKey = index.data(ui::RestoreListModel::PathRole).toString().isEmpty()
                                           ? index.data(ui::RestoreListModel::LabelRole).toString()
                                           : index.data(ui::RestoreListModel::PathRole).toString();
                if (kindOf(index) == kind && rowKey == key) {
                    // Rows differ in height, and where the list puts rows it has not made yet is an
                    // estimate; the first pass makes the rows around this one, the second puts it in view.
                    for (int pass = 0; pass < 2; ++pass) {
                        QMetaObject::invokeMethod(view->find(QStringLiteral("list")), "positionViewAtIndex",
                                                  Q_ARG(int, i), Q_ARG(int, 3 /* ListView.Contain */));
                        settle();
                    }
                    return;
                }
            }
        }
    };

    Window open(const QList<App> &installed = {}, const QStringList &currentLoginItems = {},
                bool withHomebrew = false,
                const QString &saveAnswer = QDir::temp().filePath(QStringLiteral("tst_ui_restore-Brewfile")),
                const std::optional<QString> &terminalFailure = {}) {
        Window window;
        window.mac = std::make_unique<NewMac>(installed, currentLoginItems, withHomebrew);
        auto savePanel = std::make_unique<RecordingSavePanel>(saveAnswer);
        auto terminal = std::make_unique<RecordingTerminal>(terminalFailure);
        window.savePanel = savePanel.get();
        window.terminal = terminal.get();
        window.model = std::make_unique<RestoreModel>(window.mac->engine(), m_settings, std::move(savePanel),
                                                      std::move(terminal));
        window.view = std::make_unique<ViewHarness>(
            QStringLiteral("RestoreView"),
            QVariantMap{{QStringLiteral("model"), QVariant::fromValue(window.model.get())}}, QSize(560, 640),
            &m_settings);
        // Every reset, insertion and change the list makes, in every test, is checked for consistency.
        new QAbstractItemModelTester(window.rows(), QAbstractItemModelTester::FailureReportingMode::QtTest,
                                     window.rows());
        return window;
    }

    // The window's loads go to `worker`, with `token`.
    void useWorker(const LocalHttpServer &worker, const QString &token = QStringLiteral("t")) {
        m_settings.setWorkerURL(worker.url().toString());
        m_settings.setToken(token);
    }

    static void verifyClean(const Window &window) {
        QVERIFY2(window.view->warnings().isEmpty(), qPrintable(window.view->warnings().join(u'\n')));
    }

private Q_SLOTS:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QTRY_VERIFY_WITH_TIMEOUT(m_settings.isTokenLoaded(), 20000);
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_links, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_links, "open");
    }

    void cleanupTestCase() {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }

    void init() { m_links.opened.clear(); }

    void beforeAnyLoad() {
        Window window = open();
        QVERIFY(window.view->isReady());
        verifyClean(window);
        QCOMPARE(ViewHarness::text(window.view->find(QStringLiteral("status"))),
                 QStringLiteral("Load a manifest to begin."));
        QVERIFY(ViewHarness::isShown(window.view->find(QStringLiteral("emptyState"))));
        QVERIFY(!ViewHarness::isShown(window.view->find(QStringLiteral("error"))));
        QVERIFY(!ViewHarness::isShown(window.view->find(QStringLiteral("summary"))));
        QVERIFY(!ViewHarness::isShown(window.view->find(QStringLiteral("list"))));
        QVERIFY(!ViewHarness::isShown(window.view->find(QStringLiteral("bottomBar"))));
        QVERIFY(!ViewHarness::isShown(window.view->find(QStringLiteral("busy"))));
        QVERIFY(window.view->find(QStringLiteral("load"))->isEnabled());
    }

    void failedLoadShowsItsErrorUntilAManifestArrives() {
        LocalHttpServer worker([](const LocalHttpServer::Request &) { return reply(401, "Unauthorized"); });
        useWorker(worker, QStringLiteral("wrong"));
        Window window = open();

        window.view->click(window.view->find(QStringLiteral("load")));
        QTRY_COMPARE_WITH_TIMEOUT(ViewHarness::text(window.view->find(QStringLiteral("status"))),
                                  QStringLiteral("Couldn't load."), 20000);
        QQuickItem *error = window.view->find(QStringLiteral("error"));
        QVERIFY(ViewHarness::isShown(error));
        QCOMPARE(ViewHarness::text(error), QStringLiteral("Server returned 401: Unauthorized"));
        QCOMPARE(ViewHarness::colourName(error), QStringLiteral("red"));
        QVERIFY(ViewHarness::isShown(window.view->find(QStringLiteral("emptyState"))));

        // Once a manifest is there the line is gone, even though the model still holds the old error.
        const QByteArray manifest = model::encodeManifest(uiFixtures::manifest({firefox}));
        worker.setHandler([manifest](const LocalHttpServer::Request &) { return reply(200, manifest); });
        window.view->click(window.view->find(QStringLiteral("load")));
        QTRY_COMPARE_WITH_TIMEOUT(ViewHarness::text(window.view->find(QStringLiteral("status"))),
                                  QStringLiteral("Loaded 1 apps from old-mac.local."), 20000);
        QVERIFY(!ViewHarness::isShown(window.view->find(QStringLiteral("emptyState"))));
        QVERIFY(!ViewHarness::isShown(window.view->find(QStringLiteral("error"))));
        QVERIFY(ViewHarness::isShown(window.view->find(QStringLiteral("summary"))));
        QVERIFY(ViewHarness::isShown(window.view->find(QStringLiteral("bottomBar"))));
        verifyClean(window);
    }

    void sections_data() {
        QTest::addColumn<QList<App>>("apps");
        QTest::addColumn<QStringList>("loginItems");
        QTest::addColumn<QStringList>("headers");
        // Every fixture manifest has one tap besides Homebrew's own and two formulae.
        const QString taps = QStringLiteral("Homebrew taps (1)");
        const QString tools = QStringLiteral("Command-line tools (2)");

        QTest::newRow("every kind") << QList<App>{firefox, code, things, scanSnap, calculator}
                                    << QStringList{QStringLiteral("Rectangle")}
                                    << QStringList{QStringLiteral("Homebrew casks (2)"),
                                                   QStringLiteral("Mac App Store (1)"),
                                                   QStringLiteral("Manual downloads (1)"),
                                                   taps,
                                                   tools,
                                                   QStringLiteral("Launch at login (1)")};
        QTest::newRow("only built-in apps, no login items")
            << QList<App>{calculator} << QStringList{} << QStringList{taps, tools};
        QTest::newRow("three casks") << QList<App>{firefox, code, rectangle} << QStringList{}
                                     << QStringList{QStringLiteral("Homebrew casks (3)"), taps, tools};
        QTest::newRow("login items only")
            << QList<App>{} << QStringList{QStringLiteral("A"), QStringLiteral("B")}
            << QStringList{taps, tools, QStringLiteral("Launch at login (2)")};
    }

    void sections() {
        QFETCH(QList<App>, apps);
        QFETCH(QStringList, loginItems);
        QFETCH(QStringList, headers);

        Window window = open();
        window.adopt(manifest(apps, loginItems));
        QCOMPARE(window.headers(), headers);
        // The summary and the bottom bar show even when the list is empty.
        QVERIFY(ViewHarness::isShown(window.view->find(QStringLiteral("summary"))));
        QVERIFY(ViewHarness::isShown(window.view->find(QStringLiteral("list"))));
        QVERIFY(ViewHarness::isShown(window.view->find(QStringLiteral("bottomBar"))));
        for (const QString &header : headers)
            QVERIFY2(window.row(QStringLiteral("header"), header), qPrintable(header));
        verifyClean(window);
    }

    void footers() {
        Window window = open();
        window.adopt(manifest({firefox, things}));
        QCOMPARE(ViewHarness::text(window.in(QStringLiteral("footer"),
                                             QStringLiteral("These install automatically via brew."),
                                             QStringLiteral("sectionFooter"))),
                 QStringLiteral("These install automatically via brew."));
        QVERIFY(window.row(QStringLiteral("footer"),
                           QStringLiteral("Installed with mas (sign in to the App Store first).")));
    }

    void summaryFollowsTheCheckBoxes() {
        Window window = open({firefox});
        window.adopt(manifest({firefox, code, things, scanSnap}));
        QCOMPARE(window.count(QStringLiteral("willInstall")), QStringLiteral("2"));
        QCOMPARE(window.count(QStringLiteral("alreadyHere")), QStringLiteral("1"));
        QCOMPARE(window.count(QStringLiteral("manual")), QStringLiteral("1"));
        QCOMPARE(ViewHarness::colourName(ViewHarness::findIn(window.view->find(QStringLiteral("willInstall")),
                                                             QStringLiteral("count"))),
                 QStringLiteral("blue"));
        QCOMPARE(ViewHarness::colourName(ViewHarness::findIn(window.view->find(QStringLiteral("manual")),
                                                             QStringLiteral("count"))),
                 QStringLiteral("orange"));
        QCOMPARE(ViewHarness::text(ViewHarness::findIn(window.view->find(QStringLiteral("alreadyHere")),
                                                       QStringLiteral("label"))),
                 QStringLiteral("already here"));

        QQuickItem *check = window.in(QStringLiteral("app"), pathFor(code), QStringLiteral("check"));
        QVERIFY(check && check->property("checked").toBool());
        QCOMPARE(ViewHarness::text(check), QStringLiteral("Visual Studio Code"));
        window.view->click(check);
        QVERIFY(!window.model->isSelected(pathFor(code)));
        QCOMPARE(window.count(QStringLiteral("willInstall")), QStringLiteral("1"));
        window.view->click(check);
        QVERIFY(window.model->isSelected(pathFor(code)));
        QCOMPARE(window.count(QStringLiteral("willInstall")), QStringLiteral("2"));
    }

    void allAndNoneAffectOnlyTheirSection() {
        Window window = open();
        window.adopt(manifest({firefox, code, rectangle, things, magnet}));
        const QString casks = QStringLiteral("Homebrew casks (3)");
        window.view->click(window.in(QStringLiteral("header"), casks, QStringLiteral("none")));
        for (const App &app : {firefox, code, rectangle}) {
            QVERIFY(!window.model->isSelected(pathFor(app)));
            QVERIFY(!window.in(QStringLiteral("app"), pathFor(app), QStringLiteral("check"))
                         ->property("checked")
                         .toBool());
        }
        for (const App &app : {things, magnet}) {
            QVERIFY(window.model->isSelected(pathFor(app)));
            QVERIFY(window.in(QStringLiteral("app"), pathFor(app), QStringLiteral("check"))
                        ->property("checked")
                        .toBool());
        }
        QCOMPARE(window.count(QStringLiteral("willInstall")), QStringLiteral("2"));

        window.view->click(window.in(QStringLiteral("header"), casks, QStringLiteral("all")));
        for (const App &app : {firefox, code, rectangle})
            QVERIFY(window.in(QStringLiteral("app"), pathFor(app), QStringLiteral("check"))
                        ->property("checked")
                        .toBool());
        QCOMPARE(window.count(QStringLiteral("willInstall")), QStringLiteral("5"));

        window.view->click(
            window.in(QStringLiteral("header"), QStringLiteral("Mac App Store (2)"), QStringLiteral("none")));
        QVERIFY(!window.model->isSelected(pathFor(things)));
        QVERIFY(window.model->isSelected(pathFor(firefox)));
        // The login section has no All and None; only Apply.
        QVERIFY(!ViewHarness::isShown(window.in(QStringLiteral("header"), casks, QStringLiteral("apply"))));
    }

    void notes_data() {
        QTest::addColumn<App>("app");
        QTest::addColumn<QString>("note");

        QTest::newRow("cask token") << firefox << QStringLiteral("firefox");
        QTest::newRow("store id") << things << QStringLiteral("id 904280696");
        QTest::newRow("both: the token wins")
            << App{QStringLiteral("Both"), AppSource::cask, QStringLiteral("both-cask"), 123}
            << QStringLiteral("both-cask");
        QTest::newRow("store app without id")
            << App{QStringLiteral("Unlisted"), AppSource::appStore, {}, 0} << QString();
    }

    void notes() {
        QFETCH(App, app);
        QFETCH(QString, note);
        Window window = open();
        window.adopt(manifest({app}));
        QQuickItem *label = window.in(QStringLiteral("app"), pathFor(app), QStringLiteral("note"));
        QVERIFY(label);
        QCOMPARE(ViewHarness::isShown(label), !note.isEmpty());
        if (!note.isEmpty()) {
            QCOMPARE(ViewHarness::text(label), note);
            QCOMPARE(ViewHarness::colourName(label), QStringLiteral("grey"));
        }
    }

    void alreadyInstalledBadge_data() {
        QTest::addColumn<std::optional<QString>>("bundleId");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("installed");

        // This Mac has Firefox (com.example.firefox). How an app is matched is the restore model's
        // (tst_restoremodel); here, only that the badge follows it.
        QTest::newRow("same identifier") << std::optional<QString>(QStringLiteral("com.example.firefox"))
                                         << QStringLiteral("Fire Fox Renamed") << true;
        QTest::newRow("nothing matches") << std::optional<QString>(QStringLiteral("com.example.other"))
                                         << QStringLiteral("Other") << false;
    }

    void alreadyInstalledBadge() {
        QFETCH(std::optional<QString>, bundleId);
        QFETCH(QString, name);
        QFETCH(bool, installed);

        Window window = open({firefox});
        model::Manifest manifest = uiFixtures::manifest({});
        AppRecord app = record({name, AppSource::cask, QStringLiteral("token"), 0});
        app.bundleId = bundleId;
        manifest.apps.append(app);
        window.adopt(manifest);
        QQuickItem *badge = window.in(QStringLiteral("app"), app.path, QStringLiteral("installedBadge"));
        QVERIFY(badge);
        QCOMPARE(ViewHarness::isShown(badge), installed);
        QCOMPARE(ViewHarness::text(badge), QStringLiteral("already installed"));
    }

    void manualLinkFieldAndOpenButton() {
        Window window = open();
        window.adopt(manifest({scanSnap}));
        const QString path = pathFor(scanSnap);
        QQuickItem *field = window.in(QStringLiteral("manual"), path, QStringLiteral("link"));
        QQuickItem *openButton = window.in(QStringLiteral("manual"), path, QStringLiteral("open"));
        QVERIFY(field && openButton);
        QCOMPARE(field->property("placeholderText").toString(), QStringLiteral("download URL"));
        QCOMPARE(ViewHarness::text(field), QString());
        QVERIFY(!openButton->isEnabled());

        window.view->click(field);
        QTRY_VERIFY(field->hasActiveFocus());
        QTest::keyClick(window.view->view(), Qt::Key_X);
        QCOMPARE(window.model->downloads()->link(path), QStringLiteral("x"));
        QVERIFY(openButton->isEnabled());
        QTest::keyClick(window.view->view(), Qt::Key_Backspace);
        QCOMPARE(window.model->downloads()->link(path), QString());
        QVERIFY(!openButton->isEnabled());

        // Spaces alone enable it too; the field keeps exactly what was typed, keystroke by keystroke.
        for (const QChar c : QStringLiteral(" example.com/get "))
            QTest::keyClick(window.view->view(), c.toLatin1());
        QCOMPARE(window.model->downloads()->link(path), QStringLiteral(" example.com/get "));
        QVERIFY(field->hasActiveFocus());
        QCOMPARE(ViewHarness::text(field), QStringLiteral(" example.com/get "));
        QVERIFY(openButton->isEnabled());
        window.view->click(openButton);
        QCOMPARE(m_links.opened, QList<QUrl>{QUrl(QStringLiteral("https://example.com/get"))});
    }

    void findSearchesTheWeb() {
        Window window = open();
        window.adopt(manifest({scanSnap}));
        window.view->click(window.in(QStringLiteral("manual"), pathFor(scanSnap), QStringLiteral("find")));
        QCOMPARE(m_links.opened.size(), 1);
        QCOMPARE(
            QUrlQuery(m_links.opened.constFirst()).queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded),
            QStringLiteral("ScanSnap Home mac app download"));
    }

    void manualRowCheckBox() {
        Window window = open();
        window.adopt(manifest({scanSnap}));
        QQuickItem *check = window.in(QStringLiteral("manual"), pathFor(scanSnap), QStringLiteral("check"));
        QCOMPARE(ViewHarness::text(check), QStringLiteral("ScanSnap Home"));
        QCOMPARE(window.count(QStringLiteral("manual")), QStringLiteral("1"));
        window.view->click(check);
        QCOMPARE(window.count(QStringLiteral("manual")), QStringLiteral("0"));
    }

    void loginSection() {
        // Rectangle starts at login already; Magnet is installed; Docker is not. "Finder" is set
        // already without any application of that name here.
        Window window = open({magnet}, {QStringLiteral("Rectangle"), QStringLiteral("Finder")});
        const QStringList items = words("Rectangle Magnet Docker Finder");
        window.adopt(manifest({}, items));

        const auto badge = [&](const QString &name) {
            return window.in(QStringLiteral("login"), name, QStringLiteral("loginBadge"));
        };
        QCOMPARE(ViewHarness::text(badge(QStringLiteral("Rectangle"))), QStringLiteral("already set"));
        QCOMPARE(ViewHarness::colourName(badge(QStringLiteral("Rectangle")), "textColor"),
                 QStringLiteral("grey"));
        QCOMPARE(ViewHarness::text(badge(QStringLiteral("Magnet"))), QStringLiteral("will add"));
        QCOMPARE(ViewHarness::colourName(badge(QStringLiteral("Magnet")), "textColor"),
                 QStringLiteral("blue"));
        QCOMPARE(ViewHarness::text(badge(QStringLiteral("Docker"))), QStringLiteral("install app first"));
        QCOMPARE(ViewHarness::colourName(badge(QStringLiteral("Docker")), "textColor"),
                 QStringLiteral("orange"));
        QCOMPARE(ViewHarness::text(badge(QStringLiteral("Finder"))), QStringLiteral("already set"));

        const QString header = QStringLiteral("Launch at login (4)");
        QVERIFY(!ViewHarness::isShown(
            window.in(QStringLiteral("header"), header, QStringLiteral("loginStatus"))));
        QVERIFY(!ViewHarness::isShown(window.in(QStringLiteral("header"), header, QStringLiteral("all"))));

        // Untick Docker: it is neither added nor counted.
        QQuickItem *docker =
            window.in(QStringLiteral("login"), QStringLiteral("Docker"), QStringLiteral("check"));
        window.view->click(docker);
        QVERIFY(!window.model->loginItems()->isSelected(QStringLiteral("Docker")));
        QVERIFY(!docker->property("checked").toBool());

        window.view->click(window.in(QStringLiteral("header"), header, QStringLiteral("apply")));
        QQuickItem *status = window.in(QStringLiteral("header"), header, QStringLiteral("loginStatus"));
        QTRY_VERIFY(ViewHarness::isShown(status));
        QCOMPARE(ViewHarness::text(status),
                 QStringLiteral("Added 1 · already set 2 · app not installed yet 0"));
    }

    void bottomBar_data() {
        QTest::addColumn<bool>("withHomebrew");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("colour");
        QTest::newRow("Homebrew here")
            << true << QStringLiteral("Homebrew is installed — apps install directly.")
            << QStringLiteral("green");
        QTest::newRow("no Homebrew")
            << false
            << QStringLiteral("Homebrew isn't installed — it'll be set up first (one password prompt).")
            << QStringLiteral("blue");
    }

    void bottomBar() {
        QFETCH(bool, withHomebrew);
        QFETCH(QString, line);
        QFETCH(QString, colour);
        Window window = open({}, {}, withHomebrew);
        window.adopt(manifest({firefox}));
        QCOMPARE(ViewHarness::text(window.view->find(QStringLiteral("homebrewLine"))), line);
        QQuickItem *symbol = window.view->find(QStringLiteral("homebrewSymbol"));
        QCOMPARE(symbol->property("name").toString(), withHomebrew ? QStringLiteral("checkmark.circle.fill")
                                                                   : QStringLiteral("arrow.down.circle"));
        QCOMPARE(ViewHarness::colourName(symbol), colour);
        for (const QString &button : words("copy save preview install"))
            QVERIFY(window.view->find(button)->isEnabled());
        QCOMPARE(ViewHarness::text(window.view->find(QStringLiteral("save"))),
                 QStringLiteral("Save Brewfile…"));
        QCOMPARE(ViewHarness::text(window.view->find(QStringLiteral("install"))),
                 QStringLiteral("Install in Terminal"));
    }

    void bottomButtonsHandTheBrewfileOn() {
        Window window = open();
        window.adopt(manifest({firefox}));
        const QString brewfile = window.model->plan()->brewfile;

        window.view->click(window.view->find(QStringLiteral("copy")));
        QCOMPARE(QGuiApplication::clipboard()->text(), brewfile);
        QCOMPARE(window.model->status(), QStringLiteral("Brewfile copied to clipboard."));

        window.view->click(window.view->find(QStringLiteral("save")));
        QCOMPARE(window.savePanel->asked, 1);
        QCOMPARE(window.model->brewfile()->savedPath(),
                 QDir::temp().filePath(QStringLiteral("tst_ui_restore-Brewfile")));
        QVERIFY(ViewHarness::text(window.view->find(QStringLiteral("status")))
                    .startsWith(QStringLiteral("Saved. Run:  brew bundle")));
        QFile::remove(window.model->brewfile()->savedPath());

        window.view->click(window.view->find(QStringLiteral("install")));
        QCOMPARE(window.terminal->opened.size(), 1);
        QVERIFY(window.terminal->opened.constFirst().endsWith(QStringLiteral("/restore.command")));
    }

    // Once a manifest is loaded, a failed action takes the bottom bar's line, in red, in place of the
    // Homebrew line, and the status says what failed, until the next action starts.
    void failuresShowInTheBottomBarUntilTheNextAction_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("status");
        QTest::newRow("save") << QStringLiteral("save") << QStringLiteral("Couldn't save.");
        QTest::newRow("install") << QStringLiteral("install") << QStringLiteral("Couldn't install.");
        QTest::newRow("preview") << QStringLiteral("preview") << QStringLiteral("Couldn't preview.");
        QTest::newRow("reload") << QStringLiteral("load") << QStringLiteral("Couldn't load.");
    }

    void failuresShowInTheBottomBarUntilTheNextAction() {
        QFETCH(QString, button);
        QFETCH(QString, status);
        LocalHttpServer worker([](const LocalHttpServer::Request &) { return reply(500, "boom"); });
        useWorker(worker);
        QTemporaryDir data;
        // A folder where the preview's Brewfile goes: it can't be written.
        const QString brewfileBlock =
            restore::BrewfileHandoff::supportDirectory() + QStringLiteral("/Brewfile");
        if (button == u"preview")
            QVERIFY((QFile::remove(brewfileBlock), QDir().mkpath(brewfileBlock)));
        const auto unblock = qScopeGuard([&] { QDir(brewfileBlock).removeRecursively(); });
        Window window = open({}, {}, false, data.filePath(QStringLiteral("missing/Brewfile")),
                             QStringLiteral("No terminal program was found."));
        window.adopt(manifest({firefox}));
        QQuickItem *line = window.view->find(QStringLiteral("homebrewLine"));
        const QString homebrewText = ViewHarness::text(line);

        window.view->click(window.view->find(QStringLiteral("copy")));
        QCOMPARE(window.model->status(), QStringLiteral("Brewfile copied to clipboard."));
        window.view->click(window.view->find(button));
        QTRY_COMPARE(window.model->status(), status);
        QVERIFY(!window.model->errorMessage().isEmpty());
        QVERIFY(window.model->hasManifest());
        QCOMPARE(ViewHarness::text(line), window.model->errorMessage());
        QCOMPARE(ViewHarness::colourName(line->property("color").value<QColor>()), QStringLiteral("red"));
        QCOMPARE(ViewHarness::text(window.view->find(QStringLiteral("status"))), status);

        window.view->click(window.view->find(QStringLiteral("copy")));
        QCOMPARE(ViewHarness::text(line), homebrewText);
        QCOMPARE(window.model->status(), QStringLiteral("Brewfile copied to clipboard."));
    }

    // Loading looks at this Mac, and Apply re-adds login items, with tools that may take their time;
    // the window stays live and shows it is busy meanwhile.
    void slowToolsLeaveTheWindowLive() {
        const QByteArray stored = model::encodeManifest(manifest({firefox}, {QStringLiteral("Firefox")}));
        LocalHttpServer worker([&stored](const LocalHttpServer::Request &) { return reply(200, stored); });
        useWorker(worker);
        Window window = open({firefox}, {}, false);
        window.mac->fakeMac().addTool(QStringLiteral("/usr/bin/osascript"), "sleep 2\n");
        int turns = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&turns] { ++turns; });
        ticker.start(50);
        const auto verifyLiveWhile = [&](QQuickItem *button) {
            turns = 0;
            window.view->click(button);
            QVERIFY(window.model->isBusy());
            QTRY_VERIFY(ViewHarness::isShown(window.view->find(QStringLiteral("busy"))));
            QTRY_VERIFY_WITH_TIMEOUT(!window.model->isBusy(), 20000);
            // Two seconds of osascript while the timer kept firing: the event loop never stopped.
            QVERIFY2(turns >= 20, qPrintable(QString::number(turns)));
        };
        verifyLiveWhile(window.view->find(QStringLiteral("load")));
        QVERIFY(window.model->hasManifest());
        window.settle();
        const auto apply = [&] {
            return window.in(QStringLiteral("header"), QStringLiteral("Launch at login (1)"),
                             QStringLiteral("apply"));
        };
        QTRY_VERIFY(apply());
        verifyLiveWhile(apply());
    }

    // The menu beside "Load from Cloud" lists the kept manifests by Mac and loads the one chosen.
    void versionsMenuLoadsTheOneChosen() {
        const QByteArray newest = model::encodeManifest(manifest({firefox}));
        const QByteArray older = model::encodeManifest(manifest({firefox, code}));
        LocalHttpServer worker([&](const LocalHttpServer::Request &request) {
            if (request.target == "/manifests")
                return reply(200, R"({"manifests":[
                    {"id":"0f8c9a4e-2b1d-4c55-9d3e-7a6b5c4d3e2b","storedAt":"2026-12-07T10:00:00Z","hostname":"old-mac.local","apps":1,"bytes":1},
                    {"id":"0f8c9a4e-2b1d-4c55-9d3e-7a6b5c4d3e2a","storedAt":"2026-12-01T10:00:00Z","hostname":"old-mac.local","apps":2,"bytes":1}]})");
            return reply(200, request.target == "/manifests/0f8c9a4e-2b1d-4c55-9d3e-7a6b5c4d3e2a" ? older
                                                                                                  : newest);
        });
        useWorker(worker);
        Window window = open();
        QVERIFY(!ViewHarness::isShown(window.view->find(QStringLiteral("versions"))));
        window.view->click(window.view->find(QStringLiteral("load")));
        QTRY_VERIFY(window.model->hasManifest() && !window.model->isBusy());
        QCOMPARE(window.model->plan()->willInstall.size(), 1);
        QQuickItem *button = window.view->find(QStringLiteral("versions"));
        QVERIFY(ViewHarness::isShown(button));
        window.view->click(button);
        QObject *menu = window.view->object(QStringLiteral("versionsMenu"));
        QTRY_VERIFY(menu && menu->property("opened").toBool());
        QTRY_VERIFY(window.view->object(QStringLiteral("version:0f8c9a4e-2b1d-4c55-9d3e-7a6b5c4d3e2a")));
        QCOMPARE(window.view->object(QStringLiteral("version:0f8c9a4e-2b1d-4c55-9d3e-7a6b5c4d3e2b"))
                     ->property("text")
                     .toString()
                     .left(16),
                 QStringLiteral("old-mac.local — "));
        QMetaObject::invokeMethod(
            window.view->object(QStringLiteral("version:0f8c9a4e-2b1d-4c55-9d3e-7a6b5c4d3e2a")), "triggered");
        QTRY_COMPARE(window.model->plan()->willInstall.size(), 2);
    }

    // Names, host names and menus from a manifest or the Worker draw as text: markup in them would
    // fetch its image, telling the manifest's author the user's address.
    void outsideTextIsNeverMarkup() {
        QList<QByteArray> fetched;
        QString beacon;
        LocalHttpServer worker([&](const LocalHttpServer::Request &request) {
            fetched.append(request.target);
            if (request.target == "/manifests") {
                const QJsonObject version{
                    {QStringLiteral("id"), QStringLiteral("0f8c9a4e-2b1d-4c55-9d3e-7a6b5c4d3e2a")},
                    {QStringLiteral("storedAt"), QStringLiteral("2026-12-07T10:00:00Z")},
                    {QStringLiteral("hostname"), beacon},
                    {QStringLiteral("apps"), 1},
                    {QStringLiteral("bytes"), 1}};
                return reply(
                    200,
                    QJsonDocument(QJsonObject{{QStringLiteral("manifests"), QJsonArray{version}}}).toJson());
            }
            model::Manifest hostile = manifest({firefox}, {beacon});
            hostile.hostname = beacon;
            hostile.apps.first().name = beacon;
            hostile.brewFormulae.append(beacon);
            return reply(200, model::encodeManifest(hostile));
        });
        beacon = QStringLiteral("<img src=\"%1/beacon.png\">").arg(worker.url().toString());
        useWorker(worker);
        Window window = open();
        window.view->click(window.view->find(QStringLiteral("load")));
        QTRY_VERIFY(window.model->hasManifest() && !window.model->isBusy());
        window.settle();
        window.view->click(window.view->find(QStringLiteral("versions")));
        QTRY_VERIFY(window.view->object(QStringLiteral("version:0f8c9a4e-2b1d-4c55-9d3e-7a6b5c4d3e2a")));
        QTest::qWait(300);
        QVERIFY(ViewHarness::text(window.view->find(QStringLiteral("status"))).contains(beacon));
        QCOMPARE(
            ViewHarness::text(window.in(QStringLiteral("app"), pathFor(firefox), QStringLiteral("check"))),
            beacon);
        QVERIFY2(!fetched.contains("/beacon.png"), fetched.join(' ').constData());
    }

    // Taps, formulae and casks without an app are listed and chosen like apps; only the chosen ones
    // reach the Brewfile, and names Homebrew would misread and retired taps are listed as left out.
    void homebrewEntriesAreChosenOrLeftOut() {
        App odd = rectangle;
        odd.caskToken = QStringLiteral("--appdir");
        model::Manifest m = manifest({firefox, odd});
        m.brewTaps = words("homebrew/core homebrew/cask-fonts acme/tools https://evil.example/tap");
        m.brewFormulae = {QStringLiteral("git"), QStringLiteral("acme/tools/widget"),
                          QStringLiteral("x\" if system('id') #")};
        m.brewCasks = words("firefox font-jetbrains-mono acme/tools/gizmo");
        Window window = open();
        window.adopt(m);
        verifyClean(window);
        QCOMPARE(window.headers(),
                 (QStringList{QStringLiteral("Homebrew casks (2)"), QStringLiteral("Homebrew taps (1)"),
                              QStringLiteral("Command-line tools (2)"),
                              QStringLiteral("Other Homebrew casks (2)"), QStringLiteral("Left out (4)")}));
        QVERIFY(ViewHarness::isShown(window.in(QStringLiteral("package"), QStringLiteral("acme/tools"),
                                               QStringLiteral("thirdPartyBadge"))));
        QVERIFY(ViewHarness::isShown(window.in(QStringLiteral("package"), QStringLiteral("acme/tools/gizmo"),
                                               QStringLiteral("thirdPartyBadge"))));
        QVERIFY(
            !ViewHarness::isShown(window.in(QStringLiteral("package"), QStringLiteral("font-jetbrains-mono"),
                                            QStringLiteral("thirdPartyBadge"))));
        QCOMPARE(ViewHarness::text(window.in(QStringLiteral("skipped"), QStringLiteral("homebrew/cask-fonts"),
                                             QStringLiteral("note"))),
                 QStringLiteral("Homebrew retired this tap"));
        QVERIFY(!ViewHarness::isShown(
            window.in(QStringLiteral("app"), pathFor(firefox), QStringLiteral("thirdPartyBadge"))));
        QCOMPARE(ViewHarness::text(window.in(QStringLiteral("package"), QStringLiteral("acme/tools/widget"),
                                             QStringLiteral("note"))),
                 QStringLiteral("acme/tools"));
        QCOMPARE(ViewHarness::text(window.in(QStringLiteral("skipped"), QStringLiteral("--appdir"),
                                             QStringLiteral("note"))),
                 QStringLiteral("a part starts with \"-\""));
        // The app whose cask was left out is fetched by hand.
        QCOMPARE(window.count(QStringLiteral("manual")), QStringLiteral("1"));

        window.view->click(
            window.in(QStringLiteral("package"), QStringLiteral("git"), QStringLiteral("check")));
        window.view->click(
            window.in(QStringLiteral("header"), QStringLiteral("Homebrew taps (1)"), QStringLiteral("none")));
        window.view->click(window.in(QStringLiteral("package"), QStringLiteral("font-jetbrains-mono"),
                                     QStringLiteral("check")));
        QVERIFY(!window.in(QStringLiteral("package"), QStringLiteral("acme/tools"), QStringLiteral("check"))
                     ->property("checked")
                     .toBool());
        const QString brewfile = window.model->plan()->brewfile;
        QVERIFY(!brewfile.contains(QStringLiteral("tap ")));
        QVERIFY(!brewfile.contains(QStringLiteral("\"git\"")));
        QVERIFY(brewfile.contains(QStringLiteral("brew \"acme/tools/widget\"")));
        QVERIFY(!brewfile.contains(QStringLiteral("system")));
        QVERIFY(!brewfile.contains(QStringLiteral("--appdir")));
        QVERIFY(!brewfile.contains(QStringLiteral("font-jetbrains-mono")));
        QVERIFY(brewfile.contains(QStringLiteral("# Other casks (fonts, command-line tools, drivers)\n"
                                                 "cask \"acme/tools/gizmo\"\n")));
        // Counts stay about apps.
        QCOMPARE(window.count(QStringLiteral("willInstall")), QStringLiteral("1"));
    }

    // The sheet opens with the preview and closes with its button, Return, Enter (even from the
    // text) or Escape; a new preview text opens it again.
    void previewSheetOpensAndCloses_data() {
        QTest::addColumn<int>("key"); // 0: the Close button
        QTest::addColumn<bool>("clickTextFirst");
        QTest::newRow("Close") << 0 << false;
        QTest::newRow("Return") << int(Qt::Key_Return) << false;
        QTest::newRow("Enter") << int(Qt::Key_Enter) << false;
        QTest::newRow("Return with the text focused") << int(Qt::Key_Return) << true;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << false;
    }

    void previewSheetOpensAndCloses() {
        QFETCH(int, key);
        QFETCH(bool, clickTextFirst);
        Window window = open();
        window.adopt(manifest({firefox}));
        auto *sheet = window.view->object(QStringLiteral("previewSheet"));
        QVERIFY(sheet && !sheet->property("visible").toBool());

        window.view->click(window.view->find(QStringLiteral("preview")));
        QVERIFY(window.model->brewfile()->hasPreview());
        QTRY_VERIFY(sheet->property("opened").toBool());
        QQuickItem *text = window.view->find(QStringLiteral("previewText"));
        QVERIFY(
            ViewHarness::text(text).startsWith(QStringLiteral("Homebrew isn't installed on this Mac yet.")));
        QVERIFY(text->property("readOnly").toBool());

        if (clickTextFirst) {
            window.view->click(text);
            QTRY_VERIFY(text->hasActiveFocus());
        }
        if (key == 0) {
            QQuickItem *close = window.view->find(QStringLiteral("closePreview"));
            QCOMPARE(ViewHarness::text(close), QStringLiteral("Close"));
            window.view->click(close);
        } else {
            QTest::keyClick(window.view->view(), Qt::Key(key));
        }
        QVERIFY(!window.model->brewfile()->hasPreview());
        QTRY_VERIFY(!sheet->property("visible").toBool());

        window.model->brewfile()->preview();
        QTRY_VERIFY(sheet->property("opened").toBool());
        verifyClean(window);
    }

    void previewWithHomebrewShowsItsSpinner() {
        Window window = open({}, {}, true);
        window.adopt(manifest({firefox}));
        window.view->click(window.view->find(QStringLiteral("preview")));
        QVERIFY(window.model->brewfile()->hasPreview());
        // While Homebrew checks, both spinners turn.
        if (window.model->isBusy()) {
            QVERIFY(ViewHarness::isShown(window.view->find(QStringLiteral("previewBusy"))));
            QVERIFY(ViewHarness::isShown(window.view->find(QStringLiteral("busy"))));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!window.model->isBusy(), 20000);
        QVERIFY(ViewHarness::text(window.view->find(QStringLiteral("previewText")))
                    .contains(QStringLiteral("Installing docker")));
        QVERIFY(!ViewHarness::isShown(window.view->find(QStringLiteral("previewBusy"))));
    }

    void aLongListScrollsWithoutMakingEveryRow() {
        QList<App> apps;
        for (int i = 0; i < 500; ++i)
            apps.append({QStringLiteral("App %1").arg(i, 3, 10, QLatin1Char('0')),
                         i % 3 == 0   ? AppSource::manual
                         : i % 3 == 1 ? AppSource::cask
                                      : AppSource::appStore,
                         QStringLiteral("cask-%1").arg(i), 1000 + i});
        Window window = open();
        window.adopt(manifest(apps));
        verifyClean(window);
        auto *list = window.view->find(QStringLiteral("list"));
        QCOMPARE(window.rows()->rowCount(), 500 + 3 * 2 + (1 + 2) + (2 + 2));
        // Only the rows on screen (and a few around) exist as items.
        const auto rowItems = [&] {
            int made = 0;
            for (QQuickItem *child : list->property("contentItem").value<QQuickItem *>()->childItems())
                made += child->objectName().contains(u':') ? 1 : 0;
            return made;
        };
        QVERIFY2(rowItems() < 80, qPrintable(QString::number(rowItems())));
        window.scrollTo(QStringLiteral("app"), pathFor(apps.at(400)));
        QTRY_VERIFY(window.row(QStringLiteral("app"), pathFor(apps.at(400))));
        QVERIFY2(rowItems() < 80, qPrintable(QString::number(rowItems())));

        // A change of choice keeps the place in the list.
        const qreal contentY = list->property("contentY").toReal();
        QQuickItem *check = window.in(QStringLiteral("app"), pathFor(apps.at(400)), QStringLiteral("check"));
        window.view->click(check);
        QVERIFY(!window.model->isSelected(pathFor(apps.at(400))));
        QCOMPARE(list->property("contentY").toReal(), contentY);
    }
};

QTEST_MAIN(TestRestoreWindow)
#include "tst_ui_restore.moc"
