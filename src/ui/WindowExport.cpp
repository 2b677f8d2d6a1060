#include "ui/WindowExport.h"

#include "app/QuorvaneModule.h"
#include "base/Messages.h"
#include "base/Settings.h"
#include "engine/UserPrompt.h"
#include "export/ComparisonExport.h"
#include "export/ExportPanelRules.h"
#include "ui/ComparisonModel.h"
#include "ui/ComparisonView.h"
#include "ui/ExportPanel.h"

#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <unordered_map>
#include <unordered_set>

namespace qv {
namespace {

int exportIdOf(int column) {
    switch (column) {
        case ComparisonModel::State: return kExportState;
        case ComparisonModel::LeftName: return kExportName1;
        case ComparisonModel::LeftSize: return kExportSize1;
        case ComparisonModel::LeftDate: return kExportDate1;
        case ComparisonModel::RightDate: return kExportDate2;
        case ComparisonModel::RightSize: return kExportSize2;
        case ComparisonModel::RightName: return kExportName2;
        default: return kExportCreated1 + (column - ComparisonModel::LeftCreated);   // the optional pairs keep their order
    }
}

// What the worker reads of the view, taken on the main thread before it starts:
// the shown children of every row written, which rows are open, which sides can open.
struct ViewSnapshot {
    std::unordered_map<const KItem*, std::vector<KItem*>> children;
    std::unordered_set<const KItem*> expanded, expandable;
    std::uint64_t rows = 0;

    void take(QuorvaneModule& module, ComparisonView& view, KItem* item) {
        std::vector<KItem*> shown = module.shownChildren(item);
        for (KItem* child : shown) {
            ++rows;
            if (module.canExpand(child)) expandable.insert(child);
            const QModelIndex index = view.comparisonModel().indexOf(child);
            if (index.isValid() && view.isExpanded(index)) {
                expanded.insert(child);
                take(module, view, child);
            }
        }
        children.emplace(item, std::move(shown));
    }
};

}  // namespace

std::vector<int> WindowExport::columnIds(const ComparisonView& view, std::uint32_t optionalColumns) {
    std::vector<int> ids;
    const QHeaderView* header = view.header();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        const std::uint32_t bit = ComparisonModel::optionalBitOf(column);
        if (header->isSectionHidden(column) || (bit && !(optionalColumns & bit))) continue;
        ids.push_back(exportIdOf(column));
    }
    return ids;
}

QString WindowExport::run(QWidget* window, QuorvaneModule& module, ComparisonView& view, const QString& destination,
                          Settings& settings) {
    KItem* parent = module.iParentItem();
    if (!parent || module.ComparingFolders()) return Messages::text("SelCmpDirs");
    const ExportOptions options = ExportOptions::fromSettings(settings);
    auto snapshot = std::make_shared<ViewSnapshot>();
    if (!options.exportAll) snapshot->take(module, view, parent);
    ExportView exportView;
    if (!options.exportAll) {
        exportView.shownChildren = [snapshot](KItem* item) {
            const auto it = snapshot->children.find(item);
            return it == snapshot->children.end() ? std::vector<KItem*>() : it->second;
        };
        exportView.isExpanded = [snapshot](const KItem* item) { return snapshot->expanded.count(item) > 0; };
        exportView.isExpandable = [snapshot](const KItem* item, int side) {
            const bool folder = side == kSideLeft ? item->iDir1 : item->iDir2;
            return folder && item->hasSide(side) && snapshot->expandable.count(item) > 0;
        };
    }
    ComparisonExport exporter(*module.iRootItem(), parent, columnIds(view, module.iColumns()), options, exportView,
                              module.status().header());

    std::atomic<bool> cancelled{false};
    QString problem;
    QThread* worker = QThread::create([&] { problem = exporter.ExportNow(destination, true, &cancelled); });
    // The window waits, taking no input: nothing may change the tree while it is written.
    std::unique_ptr<QProgressDialog> progress;
    if (ExportPanelRules::estimatedLines(*parent, options.exportAll, snapshot->rows) >= ExportPanelRules::kProgressAlertLines) {
        progress = std::make_unique<QProgressDialog>(Messages::text("expExporting"), Messages::text("abort"), 0, 0, window);
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        QObject::connect(progress.get(), &QProgressDialog::canceled, [&cancelled] { cancelled = true; });
        progress->show();
    }
    QEventLoop loop;
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    // A shown progress blocks the window by itself and must take its Abort click.
    loop.exec(progress ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    delete worker;
    progress.reset();
    if (cancelled) return Messages::text("TaskAborted");
    return problem;
}

void WindowExport::ask(QWidget* window, QuorvaneModule& module, ComparisonView& view, Settings& settings, UserPrompt& prompt) {
    if (!module.iParentItem() || module.ComparingFolders()) return;
    ExportPanel panel(settings, columnIds(view, module.iColumns()), window);
    if (panel.exec() != QDialog::Accepted) return;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString destination = QFileDialog::getSaveFileName(window, Messages::text("expSaveTitle"),
                                                             QDir(documents).filePath(QStringLiteral("Quorvane.csv")));
    if (destination.isEmpty()) return;
    const QString problem = run(window, module, view, destination, settings);
    if (problem == Messages::text("TaskAborted")) return;   // what was written stays; nothing to announce
    if (!problem.isEmpty()) {
        prompt.inform(problem);
        return;
    }
    const Answer answer = prompt.ask({ComparisonExport::successText(destination), Messages::text("expSuccess2"),
                                      {Messages::text("Ok"), Messages::text("expShowInFinder")}});
    if (answer.button == 1) QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(destination).absolutePath()));
}

}  // namespace qv
