#pragma once

#include "restore/restoremodel.h"
#include "sync/syncclient.h"

#include <QAbstractListModel>
#include <QList>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

namespace ui {

// The manifests the Worker keeps, as the versions menu lists them: grouped by Mac (the Mac with the
// newest first), newest first within each. Follows a restore model's list, or is given one.
class VersionListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(restore::RestoreModel *restore READ restore WRITE setRestore NOTIFY restoreChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        VersionIdRole = Qt::UserRole + 1, // what the Worker knows it by
        MacRole,                          // the Mac it was exported from, as the menu names it
        StoredAtRole,                     // when the Worker took it; invalid when unreadable
        AppsRole,                         // how many applications it holds; -1 when it doesn't say
        FirstOfMacRole,                   // the newest of its Mac, which heads the Mac's group
        LabelRole,                        // when, and how many applications, in words
    };
    Q_ENUM(Role)

    explicit VersionListModel(QObject *parent = nullptr);
    ~VersionListModel() override;
    Q_DISABLE_COPY_MOVE(VersionListModel)

    restore::RestoreModel *restore() const { return m_restore; }
    void setRestore(restore::RestoreModel *restore);
    // Newest first, as the Worker lists them.
    void setVersions(const QList<syncing::StoredVersion> &versions);

    int count() const { return static_cast<int>(m_rows.size()); }
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void restoreChanged();
    void countChanged();

private:
    struct Row {
        syncing::StoredVersion version;
        QString mac;
        bool firstOfMac = false;
        friend bool operator==(const Row &, const Row &) = default;
    };

    QPointer<restore::RestoreModel> m_restore;
    QList<Row> m_rows;
};

} // namespace ui
