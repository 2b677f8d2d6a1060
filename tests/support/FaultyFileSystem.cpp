#include "support/FaultyFileSystem.h"

#include <algorithm>

namespace qv::test {

void FaultyFileSystem::listFolder(const std::string& path, platform::Listing& out, unsigned fields) {
    ++listings;
    if (beforeListing) beforeListing(path);
    if (auto it = m_listingErrors.find(path); it != m_listingErrors.end()) {
        out.clear();
        out.folderError = it->second;
        return;
    }
    platform::systemFileSystem().listFolder(path, out, fields);
    if (noBirthTimes)
        for (platform::ListedEntry& e : out.entries) e.stat.btimeNs = platform::kNoTime;
    if (auto it = m_entryErrors.find(path); it != m_entryErrors.end()) {
        const auto& [name, error] = it->second;
        auto& entries = out.entries;
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const platform::ListedEntry& e) { return out.name(e) == name; }),
                      entries.end());
        out.entryErrors.push_back({name, error});
    }
}

}  // namespace qv::test
