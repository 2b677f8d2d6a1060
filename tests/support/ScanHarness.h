#pragma once
// Runs the folder scan on the calling thread and records what it reports.

#include "engine/FolderScanner.h"
#include "engine/KRootItem.h"
#include "filters/KExcludeRules.h"

#include <memory>
#include <string>
#include <vector>

namespace qv::test {

struct RecordingObserver final : ScanObserver {
    std::vector<std::string> phases;
    std::vector<std::string> readErrors;
    ReadErrorAnswer answer;
    bool rootListed = false;

    void scanPhase(const char* key) override { phases.emplace_back(key); }
    std::vector<ScanFigures> figures;
    std::vector<double> reportTimes;   // on the run's clock
    ProgressClock clock;

    void scanProgress(const ScanFigures& f) override {
        figures.push_back(f);
        if (clock) reportTimes.push_back(clock());
    }
    void rootLevelListed(KRootItem&) override { rootListed = true; }
    ReadErrorAnswer readError(const std::string& path, int) override {
        readErrors.push_back(path);
        return answer;
    }
};

struct ScanRun {
    std::unique_ptr<KRootItem> root;
    RecordingObserver observer;
    std::unique_ptr<FolderScanner> scanner;

    // The node at a path relative to the roots ("a/b.txt"), or nullptr.
    KItem* node(const std::string& relativePath) const;
    // Its state, -1 when there is no such node.
    int state(const std::string& relativePath) const {
        const KItem* n = node(relativePath);
        return n ? n->iState : -1;
    }
};

// How a test sets up the root's options before the scan.
struct RootSetup {
    bool ignoreDate = false, ignore2sec = false, ignoreExt = false, resolveAliases = false;
    bool contents = false, attributes = false, tags = false;
    std::int64_t sizeAllowance = 0, sizeAllowanceIn = 1;
    unsigned contentWorkers = 2;
    std::uint32_t columns = 0;          // OptionalColumn bits read during the scan
    bool colorLabels = false;
    const KExcludeRules* rules = nullptr;
    ProgressClock clock = {};           // the run's clock; the real one when empty
    bool listingAhead = true;           // folders listed ahead on a second thread
};

std::unique_ptr<ScanRun> scanFolders(const std::string& left, const std::string& right,
                                     const ScanOptions& options = {}, const RootSetup& setup = {},
                                     platform::FileSystem* fs = nullptr);

}  // namespace qv::test
