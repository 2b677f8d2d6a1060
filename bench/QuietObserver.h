#pragma once
// A scan observer for benchmarks: it asks nothing and shows nothing.

#include "engine/ScanObserver.h"

namespace qv::bench {

struct QuietObserver final : ScanObserver {
    void scanPhase(const char*) override {}
    void scanProgress(const ScanFigures&) override {}
    void rootLevelListed(KRootItem&) override {}
    ReadErrorAnswer readError(const std::string&, int) override { return {}; }
};

}  // namespace qv::bench
