#include "restore/loginitems.h"

#include "restore/commandrunner.h"
#include "tools/systemevents.h"

#include <QCoroFuture>
#include <QPointer>
#include <QtConcurrent>

namespace restore {

namespace {

using Addition = LoginItems::Addition;

struct Reread {
    QSet<QString> names;
    // Why the list could not be read back; empty when it was.
    QString failure;
};

// Runs on the thread pool. Whether System Events took an item shows in the list read afterwards, not
// in what osascript answered.
Reread addAndReread(const inventory::InventoryEngine &engine, const QList<Addition> &additions) {
    const QString osascript = engine.fileManager().toolOfThisMac(tools::systemEvents::osascriptPath);
    for (const Addition &addition : additions)
        runCommand(osascript, tools::systemEvents::makeLoginItemArguments(addition.path, addition.name),
                   engine.toolLimits().forTool(osascript));
    const auto names = engine.readOwnLoginItems();
    if (!names)
        return {{}, names.message()};
    return {QSet<QString>(names->cbegin(), names->cend()), {}};
}

} // namespace

LoginItems::LoginItems(inventory::InventoryEngine engine, QObject *parent)
    : QObject(parent)
    , m_engine(std::move(engine)) {}

void LoginItems::reset(const QStringList &names, const QSet<QString> &current,
                       const QHash<QString, QString> &appPaths) {
    m_names = names;
    m_selection = QSet<QString>(names.cbegin(), names.cend());
    m_current = current;
    m_appPaths = appPaths;
    Q_EMIT changed();
}

void LoginItems::setStatus(const QString &status) {
    if (m_status == status)
        return;
    m_status = status;
    Q_EMIT statusChanged();
}

void LoginItems::setApplying(bool applying) {
    if (m_applying == applying)
        return;
    m_applying = applying;
    Q_EMIT isApplyingChanged();
}

bool LoginItems::isSelected(const QString &name) const {
    return m_selection.contains(name);
}

void LoginItems::setSelected(const QString &name, bool on) {
    const qsizetype before = m_selection.size();
    if (on)
        m_selection.insert(name);
    else
        m_selection.remove(name);
    if (m_selection.size() != before)
        Q_EMIT changed();
}

LoginItems::State LoginItems::state(const QString &name) const {
    if (m_current.contains(name))
        return State::AlreadySet;
    if (m_appPaths.contains(name))
        return State::WillAdd;
    return State::NeedsApp;
}

void LoginItems::apply() {
    applyChosen();
}

QCoro::Task<> LoginItems::applyChosen() {
    const QPointer<LoginItems> self(this);
    Q_EMIT started();
    setApplying(true);
    QList<Addition> additions;
    qsizetype alreadySet = 0;
    qsizetype missing = 0;
    for (const QString &name : std::as_const(m_names)) {
        if (!m_selection.contains(name))
            continue;
        if (m_current.contains(name))
            ++alreadySet;
        else if (const auto it = m_appPaths.constFind(name); it != m_appPaths.cend())
            additions.append({name, *it});
        else
            ++missing;
    }
    if (additions.isEmpty()) {
        // Nothing to add, so nothing to confirm by reading the list back.
        finishApply(additions, m_current, QString(), alreadySet, missing);
        co_return;
    }
    QFuture<Reread> run = QtConcurrent::run(&addAndReread, m_engine, additions);
    Reread reread = co_await run;
    if (!self)
        co_return;
    self->finishApply(additions, std::move(reread.names), reread.failure, alreadySet, missing);
}

void LoginItems::finishApply(const QList<Addition> &additions, QSet<QString> current, const QString &failure,
                             qsizetype alreadySet, qsizetype missing) {
    if (!failure.isEmpty()) {
        // Nothing is known to have been added, and the list shown stays the one read before.
        setStatus(tr("Couldn't read the login items back: %1 · already set %2 · app not installed yet %3")
                      .arg(failure, QString::number(alreadySet), QString::number(missing)));
        setApplying(false);
        return;
    }
    // Only what the list read back holds counts as added; an addition System Events refused is not.
    qsizetype added = 0;
    for (const Addition &addition : additions) {
        if (current.contains(addition.name) && !m_current.contains(addition.name))
            ++added;
    }
    const qsizetype refused = additions.size() - added;
    m_current = std::move(current);
    Q_EMIT changed();
    if (refused > 0)
        setStatus(tr("Added %1 · not added %2 · already set %3 · app not installed yet %4")
                      .arg(QString::number(added), QString::number(refused), QString::number(alreadySet),
                           QString::number(missing)));
    else
        setStatus(tr("Added %1 · already set %2 · app not installed yet %3")
                      .arg(QString::number(added), QString::number(alreadySet), QString::number(missing)));
    setApplying(false);
}

} // namespace restore
