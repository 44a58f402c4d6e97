// Scrolling the restore window's list of 500 applications, beside a plain list of 500 rows of text
// with a box each, of the same size, measured side by side in one run. Both are scrolled from top to
// bottom in steps of 60 points, a step of one and then a step of the other, and every step is drawn at
// once (polish, sync and render of the whole window, with the software renderer), so a step's time is
// what the user waits for that frame. Prints the median and the 95th-percentile frame of each and
// their ratios; exits with status 1 when the window's slow frames (95th percentile) cost more than
// three times the plain list's: its rows are controls (check boxes, badges, fields and buttons), not
// text, and a recycled row that changes kind (an application row becoming a section header, say)
// builds its content anew.
//   bench_restorescroll [PASSES]

#include "support/testsettings.h"
#include "support/uifixtures.h"
#include "support/viewharness.h"

#include "restore/restoremodel.h"

#include <QApplication>
#include <QCoroTask>
#include <QElapsedTimer>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace uiFixtures;

namespace {

constexpr double goal = 3.0;
constexpr qreal step = 60;
constexpr int appCount = 500;

// 500 applications of every installable kind, and a dozen login items.
model::Manifest largeManifest() {
    QList<App> apps;
    for (int i = 0; i < appCount; ++i) {
        const QString name = QStringLiteral("Application %1").arg(i, 3, 10, QLatin1Char('0'));
        switch (i % 5) {
        case 0:
        case 1:
            apps.append({name, model::AppSource::cask, QStringLiteral("application-%1").arg(i), 0});
            break;
        case 2:
        case 3:
            apps.append({name, model::AppSource::appStore, {}, 400000000 + i});
            break;
        default:
            apps.append({name, model::AppSource::manual, {}, 0});
        }
    }
    QStringList loginItems;
    for (int i = 0; i < 12; ++i)
        loginItems.append(QStringLiteral("Application %1").arg(i * 7, 3, 10, QLatin1Char('0')));
    return manifest(apps, loginItems);
}

const char plainList[] = R"(
import QtQuick
ListView {
    width: 560; height: 640
    clip: true
    model: 500
    delegate: Item {
        width: ListView.view.width; height: 28
        Rectangle { x: 20; y: 7; width: 14; height: 14; radius: 3; color: "#2f8cf5" }
        Text { x: 42; anchors.verticalCenter: parent.verticalCenter; text: "Application " + index }
        Text { x: 220; anchors.verticalCenter: parent.verticalCenter; text: "application-" + index; color: "gray" }
    }
}
)";

// A list being scrolled: its window, the list, and where it has got to.
struct Scroller {
    QQuickWindow *window;
    QQuickItem *list;
    std::vector<double> frames; // microseconds

    qreal end() const { return list->property("contentHeight").toReal() - list->height(); }
    void toTop() {
        QMetaObject::invokeMethod(list, "positionViewAtBeginning");
        (void)window->grabWindow();
    }
    // Scrolls to `y` and draws the frame, timing it; false once `y` lies past the end.
    bool stepTo(qreal y) {
        if (y > end())
            return false;
        QElapsedTimer timer;
        timer.start();
        list->setProperty("contentY", y);
        (void)window->grabWindow();
        frames.push_back(double(timer.nsecsElapsed()) / 1000.0);
        return true;
    }
};

// Scrolls both lists from top to bottom `passes` times, a step of one and then a step of the other,
// so that whatever else the machine does falls on both alike.
void scrollBoth(Scroller &one, Scroller &other, int passes) {
    for (int pass = 0; pass < passes; ++pass) {
        one.toTop();
        other.toTop();
        bool going = true;
        for (qreal y = step; going; y += step) {
            const bool oneGoing = one.stepTo(y);
            const bool otherGoing = other.stepTo(y);
            going = oneGoing || otherGoing;
        }
    }
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return 0;
    const auto at = values.begin() + qsizetype(fraction * double(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    QApplication app(argc, argv);
    const int passes = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 3;
    TestSettings settings;

    NewMac newMac({}, {}, false);
    syncing::AppSettings appSettings(std::make_shared<MemorySecretStore>());
    restore::RestoreModel model(newMac.engine(), appSettings, std::make_unique<RecordingSavePanel>(),
                                std::make_unique<RecordingTerminal>());
    QCoro::waitFor(model.applyManifest(largeManifest()));

    const ViewHarness restoreWindow(QStringLiteral("RestoreView"),
                                    {{QStringLiteral("model"), QVariant::fromValue(&model)}}, QSize(560, 640),
                                    &appSettings);
    QQuickItem *restoreList = restoreWindow.find(QStringLiteral("list"));
    if (!restoreWindow.isReady() || !restoreList) {
        std::fprintf(stderr, "bench_restorescroll: the restore window did not load: %s\n",
                     qPrintable(restoreWindow.warnings().join(u'\n')));
        return 2;
    }

    QQmlEngine engine;
    QQuickWindow plainWindow;
    QQmlComponent component(&engine);
    component.setData(plainList, QUrl());
    auto *plainRoot = qobject_cast<QQuickItem *>(component.create());
    if (!plainRoot) {
        std::fprintf(stderr, "bench_restorescroll: %s\n", qPrintable(component.errorString()));
        return 2;
    }
    plainRoot->setParentItem(plainWindow.contentItem());
    // The same number of rows on screen as the window's list, which shares its height with the header,
    // the summary and the bottom bar.
    (void)restoreWindow.view()->grabWindow();
    plainRoot->setHeight(restoreList->height());
    plainWindow.resize(560, 640);
    plainWindow.show();

    Scroller restore{restoreWindow.view(), restoreList, {}};
    Scroller plain{&plainWindow, plainRoot, {}};
    // Once to warm up (the first use of fonts, images and the rows' components), then measured.
    scrollBoth(restore, plain, 1);
    restore.frames.clear();
    plain.frames.clear();
    scrollBoth(restore, plain, passes);

    const double restoreMedian = percentile(restore.frames, 0.5);
    const double restoreSlow = percentile(restore.frames, 0.95);
    const double plainMedian = percentile(plain.frames, 0.5);
    const double plainSlow = percentile(plain.frames, 0.95);
    std::printf("scrolling %d applications top to bottom, %d passes (frames: %zu and %zu):\n", appCount,
                passes, restore.frames.size(), plain.frames.size());
    std::printf("  restore window   median %8.0f us   95th percentile %8.0f us\n", restoreMedian,
                restoreSlow);
    std::printf("  plain list       median %8.0f us   95th percentile %8.0f us\n", plainMedian, plainSlow);
    const double medianRatio = restoreMedian / std::max(plainMedian, 1.0);
    const double slowRatio = restoreSlow / std::max(plainSlow, 1.0);
    std::printf(
        "  ratio            median %8.2fx   95th percentile %8.2fx   (goal: 95th percentile <= %.1fx)\n",
        medianRatio, slowRatio, goal);
    return slowRatio <= goal ? 0 : 1;
}
