#pragma once

#include "fakemac.h"
#include "localhttpserver.h"

#include "inventory/endpoints.h"
#include "inventory/inventoryengine.h"
#include "model/manifest.h"
#include "model/manifestjson.h"
#include "platform/savepanel.h"
#include "platform/terminallauncher.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QUrlQuery>

#include <atomic>
#include <chrono>
#include <memory>

// Macs and manifests for the views' tests and the screenshots: an old Mac whose scan finds every kind
// of application (with the cask catalogue and the App Store lookup served locally), a new Mac with
// some of them already installed, and manifests to restore from.
namespace uiFixtures {

using model::AppRecord;
using model::AppSource;

struct App {
    QString name;
    AppSource source = AppSource::manual;
    QString caskToken;  // cask only
    qint64 storeId = 0; // App Store only
};

inline QString bundleIdFor(const App &app) {
    QString id = app.name.toLower();
    id.remove(u' ');
    return (app.source == AppSource::apple ? QStringLiteral("com.apple.") : QStringLiteral("com.example.")) +
           id;
}

inline QString pathFor(const App &app) {
    return (app.source == AppSource::apple ? QStringLiteral("/System/Applications/")
                                           : QStringLiteral("/Applications/")) +
           app.name + QStringLiteral(".app");
}

// A plain answer of a local server.
inline LocalHttpServer::Response reply(int status, QByteArray body) {
    LocalHttpServer::Response response;
    response.status = status;
    response.body = std::move(body);
    return response;
}

inline QList<App> sampleApps() {
    return {
        {QStringLiteral("Firefox"), AppSource::cask, QStringLiteral("firefox"), 0},
        {QStringLiteral("Visual Studio Code"), AppSource::cask, QStringLiteral("visual-studio-code"), 0},
        {QStringLiteral("Rectangle"), AppSource::cask, QStringLiteral("rectangle"), 0},
        {QStringLiteral("iTerm"), AppSource::cask, QStringLiteral("iterm2"), 0},
        {QStringLiteral("Docker"), AppSource::cask, QStringLiteral("docker"), 0},
        {QStringLiteral("Things 3"), AppSource::appStore, {}, 904280696},
        {QStringLiteral("Amphetamine"), AppSource::appStore, {}, 937984704},
        {QStringLiteral("Magnet"), AppSource::appStore, {}, 441258766},
        {QStringLiteral("ScanSnap Home"), AppSource::manual, {}, 0},
        {QStringLiteral("Logi Options+"), AppSource::manual, {}, 0},
        {QStringLiteral("Calculator"), AppSource::apple, {}, 0},
        {QStringLiteral("Maps"), AppSource::apple, {}, 0},
        {QStringLiteral("Notes"), AppSource::apple, {}, 0},
        {QStringLiteral("Photo Booth"), AppSource::apple, {}, 0},
    };
}

inline AppRecord record(const App &app) {
    AppRecord record;
    record.name = app.name;
    record.bundleId = bundleIdFor(app);
    record.version = QStringLiteral("1.0");
    record.path = pathFor(app);
    record.source = app.source;
    if (!app.caskToken.isEmpty())
        record.caskToken = app.caskToken;
    if (app.storeId != 0)
        record.appStoreId = app.storeId;
    return record;
}

inline model::Manifest manifest(const QList<App> &apps, const QStringList &loginItems = {}) {
    model::Manifest manifest;
    manifest.generatedAt = QStringLiteral("2025-01-02T03:04:05Z");
    manifest.hostname = QStringLiteral("old-mac.local");
    manifest.macosVersion = QStringLiteral("Version 14.2 (Build 23C64)");
    for (const App &app : apps)
        manifest.apps.append(record(app));
    manifest.legacyLoginItems = loginItems;
    manifest.brewFormulae = {QStringLiteral("git"), QStringLiteral("wget")};
    manifest.brewTaps = {QStringLiteral("hashicorp/tap")};
    return manifest;
}

// An old Mac to scan. The catalogue and lookup answers can be held back, to catch the scan mid-way.
class OldMac {
public:
    explicit OldMac(const QList<App> &apps = sampleApps()) {
        QJsonArray casks;
        for (const App &app : apps) {
            const QString folder = app.source == AppSource::apple ? QStringLiteral("/System/Applications")
                                                                  : QStringLiteral("/Applications");
            QVariantMap info;
            info.insert(QStringLiteral("CFBundleIdentifier"), bundleIdFor(app));
            info.insert(QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.0"));
            const QString path = m_mac.addBundle(folder, app.name + QStringLiteral(".app"), info);
            if (app.source == AppSource::appStore) {
                m_mac.addReceipt(path);
                m_storeIds.insert(bundleIdFor(app), app.storeId);
            }
            if (app.source == AppSource::cask) {
                casks.append(QJsonObject{
                    {QStringLiteral("token"), app.caskToken},
                    {QStringLiteral("artifacts"),
                     QJsonArray{QJsonObject{
                         {QStringLiteral("app"), QJsonArray{app.name + QStringLiteral(".app")}}}}},
                });
            }
        }
        m_catalogue = QJsonDocument(casks).toJson(QJsonDocument::Compact);
        m_services.setHandler([this](const LocalHttpServer::Request &request) { return answer(request); });
    }

    inventory::InventoryEngine engine() const {
        inventory::Endpoints endpoints = inventory::Endpoints::defaults();
        endpoints.caskCatalogue = m_services.url();
        endpoints.appStoreLookup = m_services.url();
        endpoints.webSearch = m_services.url();
        endpoints.homebrewInstallScript = m_services.url();
        endpoints.setIdleTimeout(std::chrono::seconds(20));
        return inventory::InventoryEngine(m_mac.fileManager(), endpoints);
    }

    // How many requests the catalogue and lookup services have had.
    qsizetype requestCount() const { return m_services.requests().size(); }
    // Its disk, for what a test adds beside the applications.
    FakeMac &disk() { return m_mac; }

    // Every answer of the catalogue and lookup services waits this long.
    void holdAnswers(std::chrono::milliseconds delay) { m_delay = delay.count(); }

private:
    LocalHttpServer::Response answer(const LocalHttpServer::Request &request) const {
        LocalHttpServer::Response response;
        response.delay = std::chrono::milliseconds(m_delay.load());
        if (request.target.startsWith("/api/cask.json")) {
            response.body = m_catalogue;
            return response;
        }
        const QUrlQuery query(QUrl(QString::fromUtf8(request.target)));
        const qint64 id =
            m_storeIds.value(query.queryItemValue(QStringLiteral("bundleId"), QUrl::FullyDecoded));
        response.body = id == 0
                            ? QByteArray(R"({"resultCount":0,"results":[]})")
                            : R"({"resultCount":1,"results":[{"trackId":)" + QByteArray::number(id) + "}]}";
        return response;
    }

    FakeMac m_mac;
    LocalHttpServer m_services;
    QByteArray m_catalogue;
    QHash<QString, qint64> m_storeIds;
    std::atomic<qint64> m_delay{0};
};

// The Mac being restored: some applications already here, the login items System Events reports,
// and Homebrew present or not.
class NewMac {
public:
    NewMac(const QList<App> &installed, const QStringList &currentLoginItems, bool withHomebrew) {
        for (const App &app : installed) {
            QVariantMap info;
            info.insert(QStringLiteral("CFBundleIdentifier"), bundleIdFor(app));
            m_mac.addBundle(QStringLiteral("/Applications"), app.name + QStringLiteral(".app"), info);
        }
        // Lists the names in its state file (one a line) as "-s s" prints them, and appends the name
        // of every item it adds, so an addition shows when the list is read back.
        const QByteArray items = m_mac.local(QStringLiteral("/login-items")).toUtf8();
        m_mac.writeFile(QStringLiteral("/login-items"), currentLoginItems.isEmpty()
                                                            ? QByteArray()
                                                            : currentLoginItems.join(u'\n').toUtf8() + '\n');
        m_mac.addTool(QStringLiteral("/usr/bin/osascript"),
                      "case \"$*\" in\n"
                      "  *'get the name of every login item'*) awk 'BEGIN { printf \"{\" } "
                      "NR > 1 { printf \", \" } { printf \"\\\"%s\\\"\", $0 } END { print \"}\" }' '" +
                          items +
                          "' ;;\n"
                          "  *'make login item'*) printf '%s\\n' \"$(printf '%s' \"$2\" | sed -n "
                          "'s/.*name:\"\\(.*\\)\"}$/\\1/p')\" >> '" +
                          items + "' ;;\nesac\n");
        if (withHomebrew)
            m_mac.addTool(QStringLiteral("/opt/homebrew/bin/brew"),
                          "echo 'Using firefox'\necho 'Installing docker'\n");
    }

    FakeMac &fakeMac() { return m_mac; }

    inventory::InventoryEngine engine() const {
        inventory::Endpoints endpoints = inventory::Endpoints::defaults();
        // Nothing on the restore side may reach a real service from a test.
        endpoints.caskCatalogue = QUrl(QStringLiteral("http://127.0.0.1:9"));
        endpoints.appStoreLookup = endpoints.caskCatalogue;
        endpoints.webSearch = endpoints.caskCatalogue;
        endpoints.homebrewInstallScript = endpoints.caskCatalogue;
        return inventory::InventoryEngine(m_mac.fileManager(), endpoints);
    }

private:
    FakeMac m_mac;
};

// Stand-ins for the dialogs and the terminal, remembering what they were asked.
class RecordingSavePanel final : public platform::SavePanel {
public:
    explicit RecordingSavePanel(std::optional<QString> answer = {})
        : m_answer(std::move(answer)) {}
    std::optional<QString> askForPath(const QString &, const QString &) override {
        ++asked;
        return m_answer;
    }
    int asked = 0;

private:
    std::optional<QString> m_answer;
};

class RecordingTerminal final : public platform::TerminalLauncher {
public:
    explicit RecordingTerminal(std::optional<QString> failure = {})
        : m_failure(std::move(failure)) {}
    platform::Result<void> open(const QString &scriptPath) override {
        opened.append(scriptPath);
        if (m_failure)
            return platform::fail(*m_failure);
        return {};
    }
    QStringList opened;

private:
    std::optional<QString> m_failure;
};

} // namespace uiFixtures
