#include "cli/SnapshotCommand.h"

#include "base/Messages.h"
#include "cli/CliOutput.h"
#include "cli/CommandLine.h"
#include "cli/InterruptWatcher.h"
#include "engine/NameOrder.h"
#include "base/PathResolution.h"
#include "platform/DurableFile.h"
#include "platform/FileTime.h"
#include "snapshot/KSnapshot.h"
#include "snapshot/SnapshotRecording.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qv {
namespace {

std::string absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return standardizePath(path);
    char cwd[4096];
    return ::getcwd(cwd, sizeof cwd) ? standardizePath(joinPath(cwd, path)) : path;
}

int writeDurably(const std::string& destination, const std::string& bytes, bool replace) {
    platform::DurableFile file;
    int error = file.open(destination, replace);
    if (!error) error = file.write(bytes);
    if (!error) error = file.commit();
    return error;
}

struct SnapshotOptions {
    std::string folder, file, out, sort;
    bool md5 = false, replace = false, descending = false, foldersOnTop = false;
};

int record(const SnapshotOptions& o) {
    const bool md5 = o.md5, replace = o.replace;
    const std::string folder = absolute(o.folder);
    const std::string out = absolute(o.file);

    // The walk runs on this thread: a signal raises a flag it checks after every entry.
    InterruptWatcher interrupts;
    SnapshotRecording recording;
    const bool tty = ::isatty(STDERR_FILENO);
    std::fprintf(stderr, "%s\n", qPrintable(Messages::format("creSnap", QString::fromUtf8(folder.c_str()))));
    auto progress = [tty](std::uint64_t files, std::uint64_t folders) {
        if (tty) std::fprintf(stderr, "\r%s\033[K", qPrintable(Messages::format("itemsScanned", QLocale().toString(qulonglong(files)), QLocale().toString(qulonglong(folders)))));
    };
    auto log = [](const std::string& path, int error) {
        std::fprintf(stderr, "%s\n", qPrintable(Messages::format("readErrorLine", QString::fromUtf8(path.c_str()), QString::fromLocal8Bit(std::strerror(error)))));
    };
    if (!recording.record(folder, md5, &InterruptWatcher::flag(), progress, log)) {
        if (const int status = InterruptWatcher::exitStatus()) return failLine(Messages::text("cliInterrupted")), status;
        return failLine(Messages::format("rootUnreadable", QString::fromUtf8(folder.c_str()), QString::fromLocal8Bit(std::strerror(ENOTDIR))));
    }
    if (tty) std::fprintf(stderr, "\r\033[K");
    if (const int error = recording.save(out, replace))
        return failLine(Messages::format("cliSnapshotFailed", QString::fromUtf8(out.c_str()), QString::fromLocal8Bit(std::strerror(error))));
    // The size of what was recorded, as the folder's size reads elsewhere.
    std::printf("%s\n", qPrintable(Messages::format("snapReady1", QLocale().formattedDataSize(static_cast<qint64>(recording.dataSize()), 1, QLocale::DataSizeSIFormat),
                                                    QLocale().toString(qulonglong(recording.files())), QLocale().toString(qulonglong(recording.folders())))));
    return 0;
}

int readOrFail(const std::string& file, KSnapshot& snapshot) {
    std::string error;
    if (::access(absolute(file).c_str(), F_OK) != 0)
        return failLine(Messages::format("cliNoSuchFile", QFile::decodeName(file.c_str())));
    if (snapshot.ReadSnapshot(absolute(file), &error)) return 0;
    return failLine(Messages::text("snapErr0") + ' ' + Messages::text("snapErr1") + " (" + Messages::text(error.c_str()) + ')');
}

// Sort keys of the preview: 1 name, 2 size, 3 created, 4 modified, 5 kind, 6 tags, 7 digest.
const std::map<std::string, int> kSortKeys = {{"name", 1}, {"size", 2}, {"created", 3}, {"modified", 4},
                                              {"kind", 5}, {"tags", 6}, {"md5", 7}};

std::string tagsText(const KSnapURL& e) {
    if (!e.iTags) return {};
    std::vector<std::string> tags = *e.iTags;
    std::sort(tags.begin(), tags.end());
    std::string out;
    for (const std::string& t : tags) out += (out.empty() ? "" : ", ") + t;
    return out;
}

// An entry lacking the value comes after one that has it; names break ties.
int compareEntries(const KSnapshot& s, const KSnapURL& a, const KSnapURL& b, int key) {
    auto three = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    auto missingLast = [&](bool hasA, bool hasB, int c) { return hasA != hasB ? (hasA ? -1 : 1) : (hasA ? c : 0); };
    switch (key) {
    case 2: return three(a.iDataSize, b.iDataSize);
    case 3: return missingLast(a.iCreDate != kNoRecordedDate, b.iCreDate != kNoRecordedDate, three(a.iCreDate, b.iCreDate));
    case 4: return missingLast(a.iModDate != kNoRecordedDate, b.iModDate != kNoRecordedDate, three(a.iModDate, b.iModDate));
    case 5: {
        const std::string ka = a.utiIndex >= 0 ? s.types()[static_cast<std::size_t>(a.utiIndex)] : "";
        const std::string kb = b.utiIndex >= 0 ? s.types()[static_cast<std::size_t>(b.utiIndex)] : "";
        return missingLast(!ka.empty(), !kb.empty(), three(ka, kb));
    }
    case 6: return missingLast(a.iTags != nullptr, b.iTags != nullptr, three(tagsText(a), tagsText(b)));
    case 7: return missingLast(a.hasMD5, b.hasMD5, three(a.md5Hex(), b.md5Hex()));
    default: return 0;
    }
}

// Sorts the children of `entry` and of every folder below it. The folders
// are visited from a list of their own, not by recursion: a snapshot is a
// tree read from a file, and its depth is whatever the file says.
void SortBy(const KSnapshot& s, KSnapURL& entry, int key, bool foldersOnTop, bool ascending) {
    const auto before = [&](const KSnapURL* a, const KSnapURL* b) {
        if (foldersOnTop && a->iFolder != b->iFolder) return a->iFolder;
        int c = key == 1 ? compareNamesStrict(a->iName, b->iName) : compareEntries(s, *a, *b, key);
        if (c == 0 && key != 1) c = compareNamesStrict(a->iName, b->iName);
        return ascending ? c < 0 : c > 0;
    };
    std::vector<KSnapURL*> folders{&entry};
    while (!folders.empty()) {
        KSnapURL* folder = folders.back();
        folders.pop_back();
        std::stable_sort(folder->iChildren.begin(), folder->iChildren.end(), before);
        for (KSnapURL* child : folder->iChildren)
            if (child->iFolder && !child->iChildren.empty()) folders.push_back(child);
    }
}

void printLine(const KSnapshot& s, const KSnapURL& e, int depth) {
    const QString modified = e.iModDate == kNoRecordedDate ? QString()
        : QLocale().toString(QDateTime::fromSecsSinceEpoch(platform::secondsOf(e.iModDate)), QLocale::ShortFormat);
    std::printf("%*s%.*s%s  %s  %s  %s%s%s\n", depth * 2, "", static_cast<int>(e.iName.size()), e.iName.data(), e.iFolder ? "/" : "",
                qPrintable(QLocale().toString(static_cast<qulonglong>(e.iDataSize))), qPrintable(modified),
                e.utiIndex >= 0 ? s.types()[static_cast<std::size_t>(e.utiIndex)].c_str() : "",
                e.iTags ? ("  [" + tagsText(e) + "]").c_str() : "", e.hasMD5 ? ("  " + e.md5Hex()).c_str() : "");
}

// Prints the entries below `root`, each before its children, without recursion.
void printTree(const KSnapshot& s, const KSnapURL& root) {
    std::vector<std::pair<const KSnapURL*, int>> pending;   // entry, depth; the next one last
    for (auto it = root.iChildren.rbegin(); it != root.iChildren.rend(); ++it) pending.emplace_back(*it, 0);
    while (!pending.empty()) {
        const auto [entry, depth] = pending.back();
        pending.pop_back();
        printLine(s, *entry, depth);
        for (auto it = entry->iChildren.rbegin(); it != entry->iChildren.rend(); ++it) pending.emplace_back(*it, depth + 1);
    }
}

int show(const SnapshotOptions& o) {
    const std::string& file = o.file;
    int key = 1;
    const bool ascending = !o.descending, foldersOnTop = o.foldersOnTop;
    if (!o.sort.empty()) {
        const std::string& k = o.sort;
        if (auto it = kSortKeys.find(k); it != kSortKeys.end()) key = it->second;
        else if (k.size() == 1 && k[0] >= '1' && k[0] <= '7') key = k[0] - '0';
        else return failLine(Messages::format("cliBadSnapshotSort", QString::fromStdString(k)));
    }
    KSnapshot snapshot;
    if (const int status = readOrFail(file, snapshot)) return status;
    KSnapURL& root = *snapshot.iSnapshot();
    SortBy(snapshot, root, key, foldersOnTop, ascending);
    const QString date = snapshot.iSnapDate() == kNoRecordedDate ? QString()
        : QLocale().toString(QDateTime::fromSecsSinceEpoch(platform::secondsOf(snapshot.iSnapDate())), QLocale::ShortFormat);
    std::printf("%s\n%s\n", snapshot.recordedPath().c_str(),
                qPrintable(Messages::format("snapDetails", date, QLocale().formattedDataSize(static_cast<qint64>(root.iDataSize), 1, QLocale::DataSizeSIFormat),
                                            QLocale().toString(qulonglong(root.iNumOfFiles)), QLocale().toString(qulonglong(root.iNumOfFolders)))));
    printTree(snapshot, root);
    return 0;
}

int extractJson(const SnapshotOptions& o) {
    const std::string& file = o.file;
    const std::string& out = o.out;
    if (::access(absolute(file).c_str(), F_OK) != 0)
        return failLine(Messages::format("cliNoSuchFile", QFile::decodeName(file.c_str())));
    std::vector<std::uint8_t> decoded;
    std::string error;
    if (!KSnapshot::extractJson(absolute(file), decoded, &error))
        return failLine(Messages::text("snapErr0") + " (" + Messages::text(error.c_str()) + ')');
    const std::string json(decoded.begin(), decoded.end());
    if (out.empty()) {
        std::fwrite(json.data(), 1, json.size(), stdout);
        std::printf("\n");
        return 0;
    }
    if (const int e = writeDurably(absolute(out), json, false))
        return failLine(Messages::format("cliSnapshotFailed", QString::fromStdString(out), QString::fromLocal8Bit(std::strerror(e))));
    return 0;
}

}  // namespace

void addSnapshotCommand(CommandLine& cli) {
    auto o = std::make_shared<SnapshotOptions>();
    CLI::App* snapshot = cli.addCommand(cli.root(), "snapshot", "cliCmdSnapshot", "cliExampleSnapshot", nullptr);
    CLI::App* recordCommand = cli.addCommand(*snapshot, "record", "cliCmdSnapshotRecord", nullptr, [o] { return record(*o); });
    described(recordCommand->add_option("FOLDER", o->folder), "cliArgSnapshotFolder")->type_name("")->required();
    described(recordCommand->add_option("OUT", o->file), "cliArgSnapshotOut")->type_name("")->required();
    described(recordCommand->add_flag("--md5", o->md5), "cliOptMd5");
    described(recordCommand->add_flag("--force", o->replace), "cliOptForce");
    CLI::App* showCommand = cli.addCommand(*snapshot, "show", "cliCmdSnapshotShow", nullptr, [o] { return show(*o); });
    described(showCommand->add_option("FILE", o->file), "cliArgSnapshotFile")->type_name("")->required();
    described(showCommand->add_option("--sort", o->sort), "cliOptSnapshotSort")->type_name("KEY");
    described(showCommand->add_flag("--desc", o->descending), "cliOptDesc");
    described(showCommand->add_flag("--folders-on-top", o->foldersOnTop), "cliOptFoldersOnTop");
    CLI::App* extract = cli.addCommand(*snapshot, "extract-json", "cliCmdSnapshotExtract", nullptr, [o] { return extractJson(*o); });
    described(extract->add_option("FILE", o->file), "cliArgSnapshotFile")->type_name("")->required();
    described(extract->add_option("--out", o->out), "cliOptExtractOut")->type_name("FILE");
}

}  // namespace qv
