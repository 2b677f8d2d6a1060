#include "cli/CompareCommand.h"

#include "app/HeadlessPrompt.h"
#include "app/Messages.h"
#include "app/QuorvaneModule.h"
#include "app/Settings.h"
#include "cli/InterruptWatcher.h"
#include "cli/SettingOverrides.h"
#include "cli/TreeWriter.h"
#include "engine/PathResolution.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace qv {
namespace {

struct CompareArgs {
    std::vector<std::string> paths;
    std::vector<std::string> assignments;
    bool json = false;
};

int fail(const QString& message) {
    std::fprintf(stderr, "quorvane: %s\n", qPrintable(message));
    return 2;
}

// Parses the arguments; returns "" or the message of the first problem.
QString parseArgs(const std::vector<std::string>& args, CompareArgs& out) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            out.json = true;
        } else if (a == "--set") {
            if (i + 1 >= args.size()) return Messages::format("cliMissingValue", QStringLiteral("--set"));
            out.assignments.push_back(args[++i]);
        } else if (a.starts_with("--set=")) {
            out.assignments.push_back(a.substr(6));
        } else if (a == "--") {
            out.paths.insert(out.paths.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            return Messages::format("cliUnknownOption", QString::fromStdString(a));
        } else {
            out.paths.push_back(a);
        }
    }
    if (out.paths.size() != 2) return Messages::text("cliWrongArgCount");
    return {};
}

std::string absolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return standardizePath(path);
    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd)) return path;
    return standardizePath(joinPath(cwd, path));
}

void reportUnreadableRoot(const std::string& path) {
    platform::Listing listing;
    platform::systemFileSystem().listFolder(path, listing);
    const int error = listing.folderError ? listing.folderError : EIO;
    fail(Messages::format("rootUnreadable", QString::fromUtf8(path.c_str()), QString::fromLocal8Bit(std::strerror(error))));
}

}  // namespace

int runCompareCommand(QCoreApplication& app, const std::vector<std::string>& args) {
    CompareArgs parsed;
    if (QString problem = parseArgs(args, parsed); !problem.isEmpty())
        return fail(problem);

    Settings& settings = Settings::instance();
    for (const std::string& assignment : parsed.assignments)
        if (QString problem = applySettingOverride(settings, assignment); !problem.isEmpty()) return fail(problem);

    for (const std::string& p : parsed.paths)
        if (p.ends_with(".qvss")) return fail(Messages::format("snapshotSideUnsupported", QString::fromUtf8(p.c_str())));

    HeadlessPrompt prompt;
    QuorvaneModule module(prompt, settings);
    module.state().leftPath = absolutePath(parsed.paths[0]);
    module.state().rightPath = absolutePath(parsed.paths[1]);

    const bool showProgress = ::isatty(STDERR_FILENO);
    if (showProgress) {
        QObject::connect(&module, &QuorvaneModule::statusChanged, [](const QString& text) {
            std::fprintf(stderr, "\r%s\033[K", qPrintable(text));
        });
    }
    InterruptWatcher interrupts;
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, &module, &QuorvaneModule::Cancel);

    int status = 2;
    QObject::connect(&module, &QuorvaneModule::compareThreadFinished, [&](bool completed) {
        if (showProgress) std::fprintf(stderr, "\r\033[K");
        KRootItem& root = *module.iRootItem();
        if (!completed) {
            std::fprintf(stderr, "quorvane: %s\n", qPrintable(Messages::text("cliInterrupted")));
            status = 130;
        } else if (root.iAError1 || root.iAError2) {
            reportUnreadableRoot(root.iAError1 ? root.iLeftPath() : root.iRightPath());
            status = 2;
        } else {
            TreeWriter writer(stdout);
            if (parsed.json) writer.writeJson(root);
            else writer.writeText(root);
            status = root.iState == kStateEqual ? 0 : 1;
        }
        app.exit(status);
    });

    if (!module.Compare()) {
        // Two files: the window would move to its file tab; this command compares folders.
        if (module.state().selectedTab == WindowState::FileTab) return fail(Messages::text("SelCmpDirs"));
        return fail(module.lastAlert().isEmpty() ? module.state().headerStatus : module.lastAlert());
    }
    return app.exec();
}

}  // namespace qv
