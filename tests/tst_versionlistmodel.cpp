// The versions menu's model: the Worker's list grouped by Mac, and the words each entry is shown with.

#include "ui/versionlistmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <ctime>

using syncing::StoredVersion;
using ui::VersionListModel;

namespace {

StoredVersion stored(const char *id, const char *at, std::optional<QString> host,
                     std::optional<qint64> apps) {
    return {QString::fromLatin1(id), QString::fromLatin1(at), std::move(host), apps, 1};
}

QStringList rowsOf(std::initializer_list<const char *> rows) {
    QStringList list;
    for (const char *row : rows)
        list.append(QString::fromUtf8(row));
    return list;
}

const QString oldMac = QStringLiteral("old-mac.local");
const QString newMac = QStringLiteral("new-mac.local");

} // namespace

class VersionListModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        // The labels show the time of the export in this machine's time zone.
        qputenv("TZ", "UTC");
        tzset();
    }

    void rowsAreGroupedByMacAndLabelled_data() {
        QTest::addColumn<QList<StoredVersion>>("versions");
        // Per row: id, Mac, first of its Mac, label.
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("none") << QList<StoredVersion>() << QStringList();
        QTest::newRow("one Mac, newest first")
            << QList<StoredVersion>{stored("b", "2026-12-07T10:00:00Z", oldMac, 1),
                                    stored("a", "2026-12-01T09:30:00.250Z", oldMac, 12)}
            << rowsOf({"b|old-mac.local|1|7 Dec 2026 10:00:00 · 1 apps",
                       "a|old-mac.local|0|1 Dec 2026 09:30:00 · 12 apps"});
        QTest::newRow("Macs in the order of their newest")
            << QList<StoredVersion>{stored("d", "2026-12-07T10:00:00Z", newMac, 3),
                                    stored("c", "2026-12-06T10:00:00Z", oldMac, 2),
                                    stored("b", "2026-12-05T10:00:00Z", newMac, 3),
                                    stored("a", "2026-12-04T10:00:00Z", std::nullopt, 1)}
            << rowsOf({"d|new-mac.local|1|7 Dec 2026 10:00:00 · 3 apps",
                       "b|new-mac.local|0|5 Dec 2026 10:00:00 · 3 apps",
                       "c|old-mac.local|1|6 Dec 2026 10:00:00 · 2 apps",
                       "a|Unnamed Mac|1|4 Dec 2026 10:00:00 · 1 apps"});
        QTest::newRow("what the Worker didn't say, or wrote unreadably")
            << QList<StoredVersion>{stored("b", "yesterday", oldMac, std::nullopt),
                                    stored("a", "2026-12-01T10:00:00Z", oldMac, std::nullopt)}
            << rowsOf({"b|old-mac.local|1|yesterday", "a|old-mac.local|0|1 Dec 2026 10:00:00"});
    }
    void rowsAreGroupedByMacAndLabelled() {
        QFETCH(QList<StoredVersion>, versions);
        QFETCH(QStringList, expected);
        VersionListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        // From something else first, so that the change is checked too.
        model.setVersions({stored("x", "2026-01-01T00:00:00Z", QStringLiteral("x"), 1)});
        model.setVersions(versions);
        QStringList rows;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex index = model.index(row);
            rows.append(QStringList{index.data(VersionListModel::VersionIdRole).toString(),
                                    index.data(VersionListModel::MacRole).toString(),
                                    index.data(VersionListModel::FirstOfMacRole).toBool()
                                        ? QStringLiteral("1")
                                        : QStringLiteral("0"),
                                    index.data(VersionListModel::LabelRole).toString()}
                            .join(u'|'));
        }
        QCOMPARE(rows, expected);
        QCOMPARE(model.count(), expected.size());
    }

    // The Worker is asked again each time the menu opens; the same answer leaves an open menu alone.
    void theSameListChangesNothing() {
        VersionListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QList<StoredVersion> versions{stored("b", "2026-12-07T10:00:00Z", oldMac, 1),
                                            stored("a", "2026-12-01T10:00:00Z", newMac, 2)};
        model.setVersions(versions);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy counted(&model, &VersionListModel::countChanged);
        model.setVersions(versions);
        QCOMPARE(reset.size(), 0);
        model.setVersions({versions.at(1), versions.at(0)});
        QCOMPARE(reset.size(), 1);
        QCOMPARE(counted.size(), 0);
        model.setVersions({});
        QCOMPARE(counted.size(), 1);
    }
};

QTEST_GUILESS_MAIN(VersionListModelTest)
#include "tst_versionlistmodel.moc"
