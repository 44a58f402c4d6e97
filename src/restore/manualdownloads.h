#pragma once

#include "inventory/endpoints.h"
#include "model/manifest.h"

#include <QHash>
#include <QObject>
#include <QString>

namespace restore {

// The applications that no installer brings back: the download link shown for each (remembered on
// this Mac, else the one the manifest brought), a web search to find one, and opening it. A link the
// user types is remembered for the next export from this Mac.
class ManualDownloads final : public QObject {
    Q_OBJECT

public:
    explicit ManualDownloads(inventory::Endpoints endpoints, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(ManualDownloads)

    // Starts afresh with the manual applications of a new manifest.
    void reset(const QList<model::AppRecord> &apps);

    // The link text shown for the application at `path`; empty when there is none.
    Q_INVOKABLE QString link(const QString &path) const;
    // Keeps the text as typed for the field and remembers it trimmed (or forgets it when blank).
    Q_INVOKABLE void setLink(const QString &path, const QString &text);
    Q_INVOKABLE void find(const QString &path) const;
    // Opens the link in the browser, with "https://" put before a bare host. Only web links open: a
    // link from a manifest could otherwise name a file, a share or any program's handler.
    Q_INVOKABLE void open(const QString &link);

    const QHash<QString, QString> &links() const { return m_links; }

Q_SIGNALS:
    void linkChanged(const QString &path);
    void started();
    void refused(const QString &status, const QString &message);

private:
    inventory::Endpoints m_endpoints;
    QHash<QString, model::AppRecord> m_apps;
    QHash<QString, QString> m_links;
};

} // namespace restore
