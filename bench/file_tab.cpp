// The file tab on a large pair: how long from Compare to the first screen of
// rows, how long a screen takes to draw while scrolling through the whole
// pair, and how many bytes the view adds on top of the parser's rows.
//
//   bench_file_tab LEFT RIGHT [RUNS]     (on Qt's offscreen platform unless a display is set)

#include "app/FileComparisonSession.h"
#include "base/Settings.h"
#include "filecompare/FileComparison.h"
#include "ui/ComparisonWindow.h"
#include "ui/FileCompareTab.h"
#include "ui/KFileTableView.h"
#include "ui/TextRowsModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <vector>

namespace {

std::size_t heapInUse() {
    malloc_trim(0);
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

double ms(qint64 ns) { return double(ns) / 1e6; }

// Notes the first paint of the view once the comparison has ended.
class FirstPaint final : public QObject {
public:
    QElapsedTimer* clock = nullptr;
    qint64 finished = -1, painted = -1;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && finished >= 0 && painted < 0) painted = clock->nsecsElapsed();
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_file_tab LEFT RIGHT [RUNS]\n");
        return 2;
    }
    if (!qEnvironmentVariableIsSet("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString left = QString::fromLocal8Bit(argv[1]), right = QString::fromLocal8Bit(argv[2]);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    QTemporaryDir config;
    qv::Settings settings(std::make_unique<QSettings>(config.filePath(QStringLiteral("q.ini")), QSettings::IniFormat));
    settings.store(QStringLiteral("dontSowFCInfoStep1"), true);
    settings.store(QStringLiteral("dontSowFCInfoStep2"), true);

    // Compare to first screen, in a window as a user sees it.
    std::vector<double> firstScreen;
    std::uint64_t changes = 0, rows = 0;
    {
        qv::ComparisonWindow window(settings);
        window.resize(1200, 800);
        window.show();
        QTest::qWait(100);
        qv::FileCompareTab& tab = window.fileTab();
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer clock;
            FirstPaint paint;
            paint.clock = &clock;
            tab.view().viewport()->installEventFilter(&paint);
            const auto connection = QObject::connect(&tab.session(), &qv::FileComparisonSession::comparisonFinished,
                                                     [&] { paint.finished = clock.nsecsElapsed(); });
            clock.start();
            window.compareFiles(left, right);
            if (!QTest::qWaitFor([&] { return paint.painted >= 0; }, 600000)) {
                std::fprintf(stderr, "the comparison did not end\n");
                return 1;
            }
            QObject::disconnect(connection);
            tab.view().viewport()->removeEventFilter(&paint);
            firstScreen.push_back(ms(paint.painted));
            std::printf("  run %d: compared in %.1f ms, first screen %.1f ms\n", run + 1, ms(paint.finished), ms(paint.painted));
            changes = tab.session().changeCount();
            rows = std::uint64_t(tab.textModel().rowCount());
        }
        std::sort(firstScreen.begin(), firstScreen.end());
        std::printf("rows %llu, changes %llu\n", static_cast<unsigned long long>(rows), static_cast<unsigned long long>(changes));
        std::printf("first screen of the file tab: median %.1f ms (of %d runs, best %.1f ms)\n",
                    firstScreen[firstScreen.size() / 2], runs, firstScreen.front());

        // Scrolling through the whole pair a screen at a time, every screen drawn.
        qv::KFileTableView& view = tab.view();
        QScrollBar* bar = view.verticalScrollBar();
        QElapsedTimer clock;
        clock.start();
        int screens = 0;
        for (bar->setValue(0);; bar->setValue(bar->value() + bar->pageStep()), ++screens) {
            view.viewport()->repaint();
            if (bar->value() >= bar->maximum()) break;
        }
        std::printf("scrolling: %d screens drawn, %.3f ms a screen\n", screens + 1, ms(clock.nsecsElapsed()) / (screens + 1));
        view.setLinesWrap(true);
        clock.restart();
        view.setLinesWrap(false);
        view.setLinesWrap(true);
        std::printf("wrapping long lines on: rows laid out in %.1f ms\n", ms(clock.nsecsElapsed()) / 2);
    }

    // Bytes of the parser's rows, then what the view adds over them.
    const std::size_t start = heapInUse();
    auto result = qv::FileComparison::run(left, right, qv::FileCompareType::Text);
    const std::size_t parser = heapInUse() - start;
    {
        qv::TextRowsModel model;
        qv::KFileTableView view(settings);
        view.resize(1200, 800);
        const std::size_t before = heapInUse();
        model.setParser(result->parser.get());
        view.setLinesModel(&model);
        view.show();
        view.viewport()->repaint();
        const std::size_t added = heapInUse() - before;
        std::printf("parser's rows %.1f MB, the view over them %.2f MB (%.1f%%, goal under 10%%)\n", parser / 1e6, added / 1e6,
                    100.0 * double(added) / double(parser));
    }
    return 0;
}
