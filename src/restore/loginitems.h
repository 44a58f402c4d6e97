#pragma once

#include "inventory/inventoryengine.h"

#include <QCoroTask>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

namespace restore {

// The old Mac's login items on this one: which the user wants back, where each stands here, and
// re-adding the chosen ones through System Events. osascript runs on the thread pool; the window
// shows isApplying meanwhile.
class LoginItems final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)
    Q_PROPERTY(bool isApplying READ isApplying NOTIFY isApplyingChanged)

public:
    // Where one of the old Mac's login items stands on this Mac. Capitalised, as QML requires of the
    // enumerators it compares.
    enum class State {
        AlreadySet, // System Events lists it already
        WillAdd,    // an application of that name is here, so Apply can add it
        NeedsApp,   // nothing here to start yet
    };
    Q_ENUM(State)

    explicit LoginItems(inventory::InventoryEngine engine, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(LoginItems)

    // Starts afresh with the old Mac's items (all chosen), this Mac's current items and the
    // applications here by name.
    void reset(const QStringList &names, const QSet<QString> &current,
               const QHash<QString, QString> &appPaths);

    const QStringList &names() const { return m_names; }
    const QSet<QString> &selection() const { return m_selection; }
    const QSet<QString> &current() const { return m_current; }
    // The result line of the last apply; empty before.
    const QString &status() const { return m_status; }
    bool isApplying() const { return m_applying; }

    Q_INVOKABLE bool isSelected(const QString &name) const;
    Q_INVOKABLE void setSelected(const QString &name, bool on);
    Q_INVOKABLE restore::LoginItems::State state(const QString &name) const;
    // Adds the chosen items whose application is here and that are not set yet, then reads this Mac's
    // list again. Returns at once.
    Q_INVOKABLE void apply();
    // The same, for callers that wait for the outcome.
    QCoro::Task<> applyChosen();

Q_SIGNALS:
    void statusChanged();
    void isApplyingChanged();
    // The choice or this Mac's list changed: rows re-read their state.
    void changed();
    void started();

public:
    struct Addition {
        QString name;
        QString path;
    };

private:
    void finishApply(const QList<Addition> &additions, QSet<QString> current, const QString &failure,
                     qsizetype alreadySet, qsizetype missing);
    void setStatus(const QString &status);
    void setApplying(bool applying);

    inventory::InventoryEngine m_engine;
    QStringList m_names;
    QSet<QString> m_selection;
    QSet<QString> m_current;
    QHash<QString, QString> m_appPaths;
    QString m_status;
    bool m_applying = false;
};

} // namespace restore
