#pragma once
// What the scan tells the window that runs it. Called on the comparison
// thread; the implementation hands each call to the main thread.

#include "engine/ScanProgress.h"

#include <cstdint>
#include <string>

namespace qv {

class KRootItem;

struct ReadErrorAnswer {
    bool stop = false;            // cancel the run
    bool dontShowAgain = false;   // answer every further error of this run the same way, silently
};

class ScanObserver {
public:
    virtual ~ScanObserver() = default;
    // The scan entered a phase; the key names its text in the message table.
    virtual void scanPhase(const char* messageKey) = 0;
    // How far the run has come (at most a few calls a second, and at least
    // every half second while files are read).
    virtual void scanProgress(const ScanFigures& figures) = 0;
    // The tree changed enough to be drawn again.
    virtual void scanRedraw() {}
    // Both root listings are in; the caller waits until the root level is ordered by state.
    virtual void rootLevelListed(KRootItem& root) = 0;
    // A snapshot side without recorded digests turned content comparison off for this run.
    virtual void contentComparisonSwitchedOff() {}
    // A filter rule ran out of time on a name; from now on it matches nothing in this run.
    virtual void ruleTimedOut(const std::string& pattern) { (void)pattern; }
    // A folder or entry could not be read: what should the scan do?
    virtual ReadErrorAnswer readError(const std::string& path, int error) = 0;
};

}  // namespace qv
