// The window on a large comparison: how long after the scan the first rows
// are drawn, how long the whole comparison takes in the window, how long
// opening every folder of the first level takes, and how many bytes per
// node the model adds to the tree.
//
//   bench_window LEFT RIGHT        (on Qt's offscreen platform unless a display is set)

#include "app/QuorvaneModule.h"
#include "base/Settings.h"
#include "engine/KRootItem.h"
#include "ui/ComparisonModel.h"
#include "ui/ComparisonView.h"
#include "ui/ComparisonWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <malloc.h>

namespace {

std::size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::size_t countNodes(const qv::KItem& item) {
    std::size_t n = 1;
    for (const qv::KItem* child : item.iChildren()) n += countNodes(*child);
    return n;
}

// Asks the model for every row it can show without listing anything new.
std::size_t walk(qv::ComparisonModel& model, const QModelIndex& parent) {
    std::size_t n = 0;
    const int rows = model.rowCount(parent);
    for (int r = 0; r < rows; ++r) {
        const QModelIndex i = model.index(r, 0, parent);
        if (model.parent(i) != parent) std::fprintf(stderr, "parent mismatch\n");
        n += 1 + walk(model, i);
    }
    return n;
}

// Notes the time of the first paint of the tree after the scan has ended.
class FirstPaint final : public QObject {
public:
    QElapsedTimer* clock = nullptr;
    qint64 scanEnd = -1, painted = -1;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && scanEnd >= 0 && painted < 0) painted = clock->nsecsElapsed();
        return false;
    }
};

double ms(qint64 ns) { return ns / 1e6; }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_window LEFT RIGHT\n");
        return 2;
    }
    if (!qEnvironmentVariableIsSet("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir config;
    qv::Settings settings(std::make_unique<QSettings>(config.filePath(QStringLiteral("q.ini")), QSettings::IniFormat));
    qv::ComparisonWindow window(settings);
    window.resize(1200, 800);
    window.setPaths(argv[1], argv[2]);
    window.show();
    QTest::qWait(200);

    QElapsedTimer clock;
    FirstPaint paint;
    paint.clock = &clock;
    window.view().viewport()->installEventFilter(&paint);
    qint64 sized = -1;
    QObject::connect(&window.module(), &qv::QuorvaneModule::compareThreadFinished,
                     [&] { paint.scanEnd = clock.nsecsElapsed(); });
    QObject::connect(&window.module(), &qv::QuorvaneModule::sizesCalculated, [&] { sized = clock.nsecsElapsed(); });
    clock.start();
    window.compare();
    if (!QTest::qWaitFor([&] { return sized >= 0 && paint.painted >= 0; }, 600000)) {
        std::fprintf(stderr, "the comparison did not end\n");
        return 1;
    }
    const std::size_t nodes = countNodes(*window.module().iRootItem());
    std::printf("nodes %zu\n", nodes);
    std::printf("scan %.0f ms, first rows drawn %.1f ms after it (%.3fx the scan), whole comparison %.0f ms\n",
                ms(paint.scanEnd), ms(paint.painted - paint.scanEnd),
                double(paint.painted - paint.scanEnd) / double(paint.scanEnd), ms(sized));

    // Every folder of the first level opened, and drawn.
    qv::ComparisonModel& model = window.model();
    clock.restart();
    int opened = 0;
    for (int r = 0; r < model.rowCount(); ++r) {
        const QModelIndex i = model.index(r, 0);
        if (!model.hasChildren(i)) continue;
        window.view().expand(i);
        ++opened;
    }
    window.view().viewport()->repaint();
    std::printf("expanding %d first-level folders: %.1f ms\n", opened, ms(clock.nsecsElapsed()));

    // What a model adds on top of the tree: a second one asked for every row.
    malloc_trim(0);
    const std::size_t before = heapInUse();
    std::size_t rows = 0;
    {
        qv::ComparisonModel second(window.module());
        rows = walk(second, {});
        const std::size_t added = heapInUse() - before;
        std::printf("model over %zu rows: %zu bytes, %.2f bytes per node\n", rows, added, double(added) / double(nodes));
    }
    return 0;
}
