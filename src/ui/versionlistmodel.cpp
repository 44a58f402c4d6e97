#include "ui/versionlistmodel.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <climits>

namespace ui {

namespace {

QDateTime storedAt(const syncing::StoredVersion &version) {
    return QDateTime::fromString(version.storedAt, Qt::ISODateWithMs);
}

} // namespace

VersionListModel::VersionListModel(QObject *parent)
    : QAbstractListModel(parent) {}

VersionListModel::~VersionListModel() = default;

void VersionListModel::setRestore(restore::RestoreModel *restore) {
    if (m_restore == restore)
        return;
    if (m_restore)
        disconnect(m_restore, nullptr, this, nullptr);
    m_restore = restore;
    if (m_restore) {
        connect(m_restore, &restore::RestoreModel::versionsChanged, this,
                [this] { setVersions(m_restore->versions()); });
    }
    Q_EMIT restoreChanged();
    setVersions(m_restore ? m_restore->versions() : QList<syncing::StoredVersion>());
}

void VersionListModel::setVersions(const QList<syncing::StoredVersion> &versions) {
    // Grouped by Mac in the order their newest versions come.
    QStringList macs;
    QHash<QString, QList<const syncing::StoredVersion *>> byMac;
    for (const syncing::StoredVersion &version : versions) {
        const QString mac = version.hostname.value_or(tr("Unnamed Mac"));
        if (!byMac.contains(mac))
            macs.append(mac);
        byMac[mac].append(&version);
    }
    QList<Row> rows;
    rows.reserve(versions.size());
    for (const QString &mac : std::as_const(macs)) {
        bool first = true;
        for (const syncing::StoredVersion *version : byMac.value(mac)) {
            rows.append({*version, mac, first});
            first = false;
        }
    }
    if (rows == m_rows)
        return;
    const bool counted = rows.size() != m_rows.size();
    // The Worker's list is read afresh each time the menu opens; it is short, and a reset is what
    // the menu's instantiator handles best.
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
    if (counted)
        Q_EMIT countChanged();
}

int VersionListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant VersionListModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case VersionIdRole:
        return row.version.id;
    case MacRole:
        return row.mac;
    case StoredAtRole:
        return storedAt(row.version);
    case AppsRole:
        return row.version.apps.value_or(-1);
    case FirstOfMacRole:
        return row.firstOfMac;
    case Qt::DisplayRole:
    case LabelRole: {
        const QDateTime when = storedAt(row.version);
        QString label = when.isValid() ? QLocale().toString(when.toLocalTime(), QLocale::ShortFormat)
                                       : row.version.storedAt;
        if (row.version.apps)
            label = tr("%1 · %n apps", "when, how many applications",
                       static_cast<int>(std::clamp<qint64>(*row.version.apps, 0, INT_MAX)))
                        .arg(label);
        return label;
    }
    default:
        return {};
    }
}

QHash<int, QByteArray> VersionListModel::roleNames() const {
    return {
        {VersionIdRole, "versionId"},   {MacRole, "mac"},     {StoredAtRole, "storedAt"}, {AppsRole, "apps"},
        {FirstOfMacRole, "firstOfMac"}, {LabelRole, "label"},
    };
}

} // namespace ui
