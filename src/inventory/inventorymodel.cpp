#include "inventory/inventorymodel.h"

#include "inventory/onlinescan.h"
#include "sync/appsettings.h"
#include "sync/syncclient.h"

#include <algorithm>

namespace inventory {

using model::AppSource;

InventoryModel::InventoryModel(InventoryEngine engine, syncing::AppSettings &settings, QObject *parent)
    : QObject(parent)
    , m_engine(std::move(engine))
    , m_settings(&settings) {}

int InventoryModel::appCount() const {
    return m_manifest ? static_cast<int>(m_manifest->apps.size()) : 0;
}

int InventoryModel::autoCount() const {
    if (!m_manifest)
        return 0;
    return static_cast<int>(
        std::count_if(m_manifest->apps.cbegin(), m_manifest->apps.cend(), [](const auto &app) {
            return app.source == AppSource::appStore || app.source == AppSource::cask;
        }));
}

int InventoryModel::manualCount() const {
    return m_manifest ? static_cast<int>(m_manifest->appsWithSource(AppSource::manual).size()) : 0;
}

int InventoryModel::builtInCount() const {
    return m_manifest ? static_cast<int>(m_manifest->builtInCount()) : 0;
}

QStringList InventoryModel::manualNames() const {
    QStringList names;
    if (m_manifest) {
        for (const model::AppRecord &app : m_manifest->appsWithSource(AppSource::manual))
            names.append(app.name);
    }
    return names;
}

QString InventoryModel::summary() const {
    return m_manifest ? summary(*m_manifest) : QString();
}

QString InventoryModel::summary(const model::Manifest &manifest) {
    return tr("%1 installable · %2 built-in")
        .arg(QString::number(manifest.installableApps().size()), QString::number(manifest.builtInCount()));
}

QString InventoryModel::alsoText() const {
    return m_manifest ? alsoText(*m_manifest) : QString();
}

QString InventoryModel::alsoText(const model::Manifest &manifest) {
    QStringList parts;
    const auto count = [&](qsizetype n, const char *text) {
        if (n > 0)
            parts.append(tr(text, "a count in the panel's \"Also\" line", static_cast<int>(n)));
    };
    count(manifest.vscodeExtensions.size(), QT_TR_NOOP("%n extension(s)"));
    count(manifest.npmPackages.size(), QT_TR_NOOP("%n npm package(s)"));
    count(manifest.cargoCrates.size(), QT_TR_NOOP("%n Rust crate(s)"));
    count(manifest.uvTools.size(), QT_TR_NOOP("%n Python tool(s)"));
    count(manifest.fonts.size(), QT_TR_NOOP("%n font(s)"));
    return parts.isEmpty() ? QString()
                           : tr("Also: %1", "the other kinds' counts").arg(parts.join(QStringLiteral(", ")));
}

QCoro::Task<> InventoryModel::scan() {
    QPointer<InventoryModel> self(this);
    const InventoryEngine engine = m_engine;
    setBusy(true);
    setErrorMessage(std::nullopt);
    setStatus(scanningText());

    platform::Result<model::Manifest> offline = co_await inventory::scan(engine, false);
    if (!self)
        co_return;
    if (!offline) {
        scanFailed(offline.message());
        co_return;
    }
    // Shown while the slower online pass runs.
    setManifest(std::move(offline).value());
    setStatus(matchingText());

    const ProgressHandler showProgress = [self](const QString &line) {
        if (self)
            self->setProgress(line);
    };
    platform::Result<model::Manifest> online = co_await inventory::scan(engine, true, showProgress);
    if (!self)
        co_return;
    setProgress(QString());
    if (!online) {
        scanFailed(online.message());
        co_return;
    }
    setManifest(std::move(online).value());
    setStatus(summary());
    setBusy(false);
}

void InventoryModel::scanFailed(const QString &message) {
    setErrorMessage(message);
    setStatus(scanFailedText());
    setBusy(false);
}

QCoro::Task<> InventoryModel::exportManifest() {
    if (!m_manifest)
        co_return;
    QPointer<InventoryModel> self(this);
    // What is sent is fixed now: a scan finishing during the upload does not change it.
    const model::Manifest manifest = *m_manifest;
    const QPointer<syncing::AppSettings> settings = m_settings;
    const platform::TransferLimits limits = m_engine.endpoints().workerLimits;
    setBusy(true);
    setErrorMessage(std::nullopt);
    setStatus(pushingText());

    // Right after launch the token may still be on its way from the keychain.
    if (settings)
        co_await settings->ready();
    if (!self)
        co_return;
    const syncing::SyncClient client(settings ? settings->workerURL() : QString(),
                                     settings ? settings->token() : QString(), limits);
    const syncing::SyncResult<QString> result = co_await client.upload(manifest);
    if (!self)
        co_return;
    if (result) {
        setLastExport(*result);
        setStatus(exportedText());
    } else {
        setErrorMessage(result.message());
        setStatus(exportFailedText());
    }
    setBusy(false);
}

void InventoryModel::startScan() {
    scan();
}

void InventoryModel::startExport() {
    exportManifest();
}

void InventoryModel::setManifest(model::Manifest manifest) {
    if (m_manifest == manifest)
        return;
    m_manifest = std::move(manifest);
    Q_EMIT manifestChanged();
}

void InventoryModel::setBusy(bool busy) {
    if (m_busy == busy)
        return;
    m_busy = busy;
    Q_EMIT isBusyChanged();
}

void InventoryModel::setStatus(const QString &status) {
    if (m_status == status)
        return;
    m_status = status;
    Q_EMIT statusChanged();
}

void InventoryModel::setProgress(const QString &progress) {
    if (m_progress == progress)
        return;
    m_progress = progress;
    Q_EMIT progressChanged();
}

void InventoryModel::setLastExport(const std::optional<QString> &text) {
    if (m_lastExport == text)
        return;
    m_lastExport = text;
    Q_EMIT lastExportChanged();
}

void InventoryModel::setErrorMessage(const std::optional<QString> &text) {
    if (m_errorMessage == text)
        return;
    m_errorMessage = text;
    Q_EMIT errorMessageChanged();
}

} // namespace inventory
