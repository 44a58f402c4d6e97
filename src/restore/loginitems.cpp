#include "restore/loginitems.h"

#include "restore/commandrunner.h"
#include "tools/systemevents.h"

#include <QCoroFuture>
#include <QPointer>
#include <QtConcurrent>

namespace restore {

namespace {

struct Addition {
    QString name;
    QString path;
};

// Runs on the thread pool. Whether System Events took an item shows in the list read afterwards, not
// in what osascript answered.
QSet<QString> addAndReread(const inventory::InventoryEngine &engine, const QList<Addition> &additions) {
    const QString osascript = engine.fileManager().resolve(tools::systemEvents::osascriptPath);
    for (const Addition &addition : additions)
        runCommand(osascript, tools::systemEvents::makeLoginItemArguments(addition.path, addition.name),
                   engine.toolLimits().forTool(osascript));
    const QStringList names = engine.readLegacyLoginItems();
    return QSet<QString>(names.cbegin(), names.cend());
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
    const qsizetype added = additions.size();
    QFuture<QSet<QString>> run = QtConcurrent::run(&addAndReread, m_engine, std::move(additions));
    QSet<QString> current = co_await run;
    if (!self)
        co_return;
    self->m_current = std::move(current);
    Q_EMIT self->changed();
    self->setStatus(tr("Added %1 · already set %2 · app not installed yet %3")
                        .arg(QString::number(added), QString::number(alreadySet), QString::number(missing)));
    self->setApplying(false);
}

} // namespace restore
