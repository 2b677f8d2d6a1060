#include "cli/ExportCommand.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "cli/CliOutput.h"
#include "cli/CompareRun.h"
#include "cli/InterruptWatcher.h"
#include "engine/ViewFilter.h"
#include "export/ComparisonExport.h"
#include "export/EntryTable.h"
#include "cli/CommandLine.h"
#include "platform/DurableFile.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
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

struct ExportCommandOptions {
    std::string out = "Quorvane.csv";
    std::string columns;
    std::string format = "report";
    bool replace = false, all = false;
};

// Writes bytes to standard output, or durably to a file; "" or the reason it failed.
QString writeOut(const std::string& out, const std::string& bytes, bool replace) {
    if (out == "-") {
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        return std::fflush(stdout) == 0 ? QString() : Messages::format("cliWriteFailed", QStringLiteral("-"), QString::fromLocal8Bit(std::strerror(errno)));
    }
    const QString destination = QDir::current().absoluteFilePath(QFile::decodeName(out.c_str()));
    platform::DurableFile file;
    int error = file.open(QFile::encodeName(destination).toStdString(), replace);
    if (error == EEXIST) return Messages::format("cliOutExists", destination);
    if (!error) error = file.write(bytes);
    if (!error) error = file.commit();
    return error ? Messages::format("cliWriteFailed", destination, QString::fromLocal8Bit(std::strerror(error))) : QString();
}

int runExport(CompareRun& run, const ExportCommandOptions& o) {
    std::vector<int> columns = kStandardColumns;
    if (!o.columns.empty() && !parseColumnList(QString::fromStdString(o.columns), columns))
        return failLine(Messages::format("cliBadColumns", QString::fromStdString(o.columns)));
    // The optional columns exported are read by the scan.
    run.readColumns(columns);
    if (const int status = run.run())
        return status == CompareRun::kFilePair ? failLine(Messages::text("SelCmpDirs")) : status;

    QuorvaneModule& module = run.module();
    ViewFilter& view = module.view();
    if (o.all) run.listOneSidedFolders();
    if (o.format != "report") {
        EntryTable table(o.format == "csv" ? EntryTable::Format::Csv : EntryTable::Format::Tsv,
                         [&view](KItem* item) { return view.FilteredObjectsForModule(item); });
        const QString problem = writeOut(o.out, table.render(*module.iParentItem()), o.replace);
        if (!problem.isEmpty()) return failLine(problem);
        if (o.out != "-") std::printf("%s\n", qPrintable(ComparisonExport::successText(QFile::decodeName(o.out.c_str()))));
        return 0;
    }
    ExportOptions options = ExportOptions::fromSettings(Settings::instance());
    if (o.all) options.exportAll = true;
    // The command line exports the view fully opened: every row with shown
    // children is open (one-sided folders stay closed unless --all lists them).
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
    if (o.out == "-") {
        const QByteArray bytes = exporter.render();
        const QString problem = writeOut(o.out, bytes.toStdString(), false);
        return problem.isEmpty() ? 0 : failLine(problem);
    }
    const QString destination = QDir::current().absoluteFilePath(QFile::decodeName(o.out.c_str()));
    const QString problem = exportOnWorker(exporter, destination, o.replace);
    if (const int status = InterruptWatcher::exitStatus()) return failLine(Messages::text("cliInterrupted")), status;
    if (!problem.isEmpty()) return failLine(problem);
    std::printf("%s\n", qPrintable(ComparisonExport::successText(destination)));
    return 0;
}

}  // namespace

void addExportCommand(CommandLine& cli, QCoreApplication& app) {
    auto run = std::make_shared<CompareRun>(app, "export");
    auto o = std::make_shared<ExportCommandOptions>();
    CLI::App* command = cli.addCommand(cli.root(), "export", "cliCmdExport", "cliExampleExport",
                                       [run, o] { return runExport(*run, *o); });
    run->addOptions(*command, false);
    described(command->add_option("--format", o->format, ""), "cliOptFormat")
        ->type_name("report|csv|tsv")->check(CLI::IsMember({"report", "csv", "tsv"}));
    described(command->add_option("--out,-o", o->out), "cliOptOut")->type_name("FILE|-");
    described(command->add_option("--columns", o->columns), "cliOptExportColumns")->type_name("IDS");
    described(command->add_flag("--all", o->all), "cliOptAllExport");
    described(command->add_flag("--force", o->replace), "cliOptForce");
}

}  // namespace qv
