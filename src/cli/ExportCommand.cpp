#include "cli/ExportCommand.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "cli/CliOutput.h"
#include "cli/CompareRun.h"
#include "cli/InterruptWatcher.h"
#include "engine/ViewFilter.h"
#include "export/ComparisonExport.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QThread>

#include <atomic>
#include <cstdio>

namespace qv {
namespace {

// The columns of the standard two-sided view: left name, size and date, the
// state, then the right date, size and name.
const std::vector<int> kStandardColumns = {1, 2, 3, 0, 4, 5, 6};

// Runs the export on a worker, answering interrupts by cancelling it.
QString exportOnWorker(ComparisonExport& exporter, const QString& destination, bool replace) {
    QString result;
    QEventLoop loop;
    InterruptWatcher interrupts;
    QThread* worker = QThread::create([&] { result = exporter.ExportNow(destination, replace, &InterruptWatcher::flag()); });
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;
    return result;
}

}  // namespace

int runExportCommand(QCoreApplication& app, const std::vector<std::string>& args) {
    CompareRun run(app);
    QString out = QStringLiteral("Quorvane.csv");
    std::vector<int> columns = kStandardColumns;
    bool replace = false, all = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        QString problem;
        const std::string& a = args[i];
        if (a == "--force") {
            replace = true;
        } else if (a == "--all") {
            all = true;
        } else if ((a == "--out" || a == "--columns") && i + 1 < args.size()) {
            const QString value = QString::fromStdString(args[++i]);
            if (a == "--out") out = value;
            else if (!parseColumnList(value, columns)) problem = Messages::format("cliBadColumns", value);
        } else if (!run.takeOption(args, i, problem)) {
            return failLine(Messages::format("cliUnknownOption", QString::fromStdString(a)));
        }
        if (!problem.isEmpty()) return failLine(problem);
    }
    // The optional columns exported are read by the scan.
    run.readColumns(columns);
    if (const int status = run.run())
        return status == CompareRun::kFilePair ? failLine(Messages::text("SelCmpDirs")) : status;

    QuorvaneModule& module = run.module();
    ViewFilter& view = module.view();
    ExportOptions options = ExportOptions::fromSettings(Settings::instance());
    if (all) options.exportAll = true;
    // The command line exports the view fully opened: every row with shown
    // children is open (one-sided folders stay closed, their contents unlisted).
    ExportView exportView;
    exportView.shownChildren = [&view](KItem* item) { return view.FilteredObjectsForModule(item); };
    exportView.isExpanded = [&view](const KItem* item) {
        return !view.FilteredObjectsForModule(const_cast<KItem*>(item)).empty();
    };
    exportView.isExpandable = [&view](const KItem* item, int side) {
        const bool folder = side == kSideLeft ? item->iDir1 : item->iDir2;
        return folder && item->hasSide(side) && view.isExpandable(const_cast<KItem*>(item));
    };
    ComparisonExport exporter(*module.iRootItem(), module.iParentItem(), columns, options, exportView,
                              module.status().header());
    const QString destination = QDir::current().absoluteFilePath(out);
    const QString problem = exportOnWorker(exporter, destination, replace);
    if (const int status = InterruptWatcher::exitStatus()) return failLine(Messages::text("cliInterrupted")), status;
    if (!problem.isEmpty()) return failLine(problem);
    std::printf("%s\n", qPrintable(ComparisonExport::successText(destination)));
    return 0;
}

}  // namespace qv
