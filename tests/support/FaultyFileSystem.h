#pragma once
// The real file system with failures injected on chosen paths, for the cases
// that permission bits cannot produce when the tests run as root.

#include "platform/FileSystem.h"

#include <atomic>
#include <cerrno>
#include <functional>
#include <map>
#include <set>
#include <string>

namespace qv::test {

class FaultyFileSystem final : public platform::FileSystem {
public:
    // Listing this folder fails with `error`.
    void failListing(const std::string& path, int error) { m_listingErrors[path] = error; }
    // Listing this folder reports `error` for its entry `name`, which is left out.
    void failEntry(const std::string& folder, const std::string& name, int error) {
        m_entryErrors[folder] = {name, error};
    }
    // Reading this file fails part-way through a content comparison.
    void failReading(const std::string& path) { m_unreadable.insert(path); }
    // Answers as a file system that records no creation (birth) times.
    bool noBirthTimes = false;
    // Called before every listing (to cancel a run part-way, say).
    std::function<void(const std::string&)> beforeListing;

    void listFolder(const std::string& path, platform::Listing& out, unsigned fields) override;
    int statPath(const std::string& path, bool followLinks, platform::EntryStat& out, unsigned fields) override {
        const int error = platform::systemFileSystem().statPath(path, followLinks, out, fields);
        if (noBirthTimes) out.btimeNs = platform::kNoTime;
        return error;
    }
    int readLink(const std::string& path, std::string& target) override {
        return platform::systemFileSystem().readLink(path, target);
    }
    platform::ContentResult compareContents(const std::string& a, const std::string& b, platform::PairKinds kinds,
                                            const std::atomic<bool>* cancelled,
                                            const platform::ContentProgress& progress) override {
        if (m_unreadable.count(a) || m_unreadable.count(b)) return platform::ContentResult::ReadFailed;
        return FileSystem::compareContents(a, b, kinds, cancelled, progress);
    }
    // Reading a file given to failReading fails with EACCES.
    int readContents(const std::string& path, bool followLinks, const platform::BlockConsumer& consume,
                     const std::atomic<bool>* cancelled) override {
        if (m_unreadable.count(path)) return EACCES;
        return FileSystem::readContents(path, followLinks, consume, cancelled);
    }

    // Listings made so far (folders may be listed ahead on a thread of their own).
    std::atomic<int> listings{0};

private:
    std::map<std::string, int> m_listingErrors;
    std::map<std::string, std::pair<std::string, int>> m_entryErrors;
    std::set<std::string> m_unreadable;
};

}  // namespace qv::test
