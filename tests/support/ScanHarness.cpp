#include "support/ScanHarness.h"

namespace qv::test {

KItem* ScanRun::node(const std::string& relativePath) const { return root->itemAtIPath(relativePath); }

std::unique_ptr<ScanRun> scanFolders(const std::string& left, const std::string& right, const ScanOptions& options,
                                     const RootSetup& setup, platform::FileSystem* fs) {
    auto run = std::make_unique<ScanRun>();
    run->root = KRootItem::ItemWithFolder(right, kSideRight);
    run->root->SetDateColumns(left, kSideLeft);
    run->root->setILeftPath(left);
    run->root->setIRightPath(right);
    run->root->iIgnoreDate = setup.ignoreDate;
    run->root->iIgnore2secDate = setup.ignore2sec;
    run->root->iIgnoreExt = setup.ignoreExt;
    run->root->iResolveAliases = setup.resolveAliases;
    run->root->iCmpFileContents = setup.contents;
    run->root->iCmpRsrc = setup.attributes;
    run->root->iCmpTags = setup.tags;
    run->root->iIgnoreSizeValue = setup.sizeAllowance;
    run->root->iIgnoreSizeIn = setup.sizeAllowanceIn;
    run->root->iColumns = setup.columns;
    run->root->iColorLabels = setup.colorLabels;
    run->scanner = std::make_unique<FolderScanner>(fs ? *fs : platform::systemFileSystem(), run->observer);
    if (setup.clock) {
        run->scanner->setClock(setup.clock);
        run->observer.clock = setup.clock;
    }
    run->scanner->setOptions(options);
    run->scanner->setContentWorkers(setup.contentWorkers);
    run->scanner->setListingAhead(setup.listingAhead);
    if (setup.rules) run->scanner->setRules(*setup.rules);
    run->scanner->CompareThread(*run->root);
    return run;
}

}  // namespace qv::test
