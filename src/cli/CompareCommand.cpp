#include "cli/CompareCommand.h"

#include "app/HeadlessPrompt.h"
#include "app/Messages.h"
#include "app/QuorvaneModule.h"
#include "app/Settings.h"
#include "cli/CliOutput.h"
#include "cli/InterruptWatcher.h"
#include "cli/SettingOverrides.h"
#include "cli/TreeWriter.h"
#include "engine/PathResolution.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace qv {
namespace {

struct CompareArgs {
    std::vector<std::string> paths;
    QStringList sets[2];   // folders standing together for the left or the right side
    std::vector<std::string> assignments;
    std::string ruleFile;
    bool json = false;
};


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
        } else if (a == "--rules") {
            if (i + 1 >= args.size()) return Messages::format("cliMissingValue", QStringLiteral("--rules"));
            out.ruleFile = args[++i];
        } else if (a == "--left-set" || a == "--right-set") {
            if (i + 1 >= args.size()) return Messages::format("cliMissingValue", QString::fromStdString(a));
            const QString list = QString::fromStdString(args[++i]);
            out.sets[a == "--left-set" ? 0 : 1] += list.split(',', Qt::SkipEmptyParts);
        } else if (a == "--") {
            out.paths.insert(out.paths.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            return Messages::format("cliUnknownOption", QString::fromStdString(a));
        } else {
            out.paths.push_back(a);
        }
    }
    const std::size_t wanted = 2 - !out.sets[0].isEmpty() - !out.sets[1].isEmpty();
    if (out.paths.size() != wanted) return Messages::text("cliWrongArgCount");
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
    failLine(Messages::format("rootUnreadable", QString::fromUtf8(path.c_str()), QString::fromLocal8Bit(std::strerror(error))));
}

// A folder's path, or for a multi-folder set its members' names in brackets.
std::string sideLabel(const QuorvaneModule& module, int side) {
    const std::string& path = side == kSideLeft ? module.iLeftFolderPath() : module.iRightFolderPath();
    if (!module.isMultiFolderSide(side)) return path;
    return "[" + QuorvaneModule::MultiFolderName(QFile::decodeName(path.c_str())).toStdString() + "]";
}

// Removes the links of the run's multi-folder sets, never what they point to.
class MultiFolderSetsCleanup {
public:
    explicit MultiFolderSetsCleanup(const QuorvaneModule& module) {
        for (int side : {kSideLeft, kSideRight})
            if (module.isMultiFolderSide(side))
                m_sets.push_back(side == kSideLeft ? module.state().leftPath : module.state().rightPath);
    }
    ~MultiFolderSetsCleanup() {
        for (const std::string& set : m_sets) {
            platform::Listing listing;
            platform::systemFileSystem().listFolder(set, listing);
            for (const platform::ListedEntry& e : listing.entries)
                if (e.stat.type == platform::EntryType::Symlink) ::unlink(joinPath(set, listing.name(e)).c_str());
            ::rmdir(set.c_str());
        }
    }

private:
    std::vector<std::string> m_sets;
};

}  // namespace

int runCompareCommand(QCoreApplication& app, const std::vector<std::string>& args) {
    CompareArgs parsed;
    if (QString problem = parseArgs(args, parsed); !problem.isEmpty())
        return failLine(problem);

    Settings& settings = Settings::instance();
    for (const std::string& assignment : parsed.assignments)
        if (QString problem = applySettingOverride(settings, assignment); !problem.isEmpty()) return failLine(problem);

    for (const std::string& p : parsed.paths)
        if (p.ends_with(".qvss")) return failLine(Messages::format("snapshotSideUnsupported", QString::fromUtf8(p.c_str())));

    HeadlessPrompt prompt;
    QuorvaneModule module(prompt, settings);
    if (!parsed.ruleFile.empty()) {
        QFile file(QFile::decodeName(parsed.ruleFile.c_str()));
        if (!file.open(QIODevice::ReadOnly) || !module.useRuleFile(QString::fromUtf8(file.readAll())))
            return failLine(Messages::format("cliBadRuleFile", file.fileName()));
    } else {
        for (const QString& key : module.unreadableRuleKeys())
            std::fprintf(stderr, "quorvane: %s\n", qPrintable(Messages::format("cliRulesUnreadable", key)));
    }
    std::size_t next = 0;
    for (int side : {kSideLeft, kSideRight}) {
        std::string& field = side == kSideLeft ? module.state().leftPath : module.state().rightPath;
        const QStringList& set = parsed.sets[side - 1];
        if (set.isEmpty()) {
            field = absolutePath(parsed.paths[next++]);
            continue;
        }
        QStringList folders;
        for (const QString& f : set) folders << QString::fromStdString(absolutePath(f.toStdString()));
        if (!module.AddMultiFolders(folders, side))
            return failLine(Messages::format("cliBadFolderSet", folders.join(QStringLiteral(", "))));
    }
    // The sets made for this run are links only; they go when the run ends.
    MultiFolderSetsCleanup cleanup(module);

    const bool showProgress = ::isatty(STDERR_FILENO);
    if (showProgress) {
        QObject::connect(&module, &QuorvaneModule::statusChanged, [](const QString& text) {
            std::fprintf(stderr, "\r%s\033[K", qPrintable(text));
        });
        QObject::connect(&module, &QuorvaneModule::fileProgress, [&module](double fraction) {
            std::fprintf(stderr, "\r%s %3d%%\033[K", qPrintable(module.state().headerStatus),
                         static_cast<int>(fraction * 100));
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
            else writer.writeText(root, sideLabel(module, kSideLeft), sideLabel(module, kSideRight));
            status = root.iState == kStateEqual ? 0 : 1;
        }
        app.exit(status);
    });

    if (!module.Compare()) {
        // Two files: the window would move to its file tab; this command compares folders.
        if (module.state().selectedTab == WindowState::FileTab) return failLine(Messages::text("SelCmpDirs"));
        return failLine(module.lastAlert().isEmpty() ? module.state().headerStatus : module.lastAlert());
    }
    return app.exec();
}

}  // namespace qv
