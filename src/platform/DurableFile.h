#pragma once
// A file written so that a crash never leaves half of it under its name:
// the bytes go to a temporary file in the destination folder, which is
// flushed to disk and then renamed over the final name, and the folder is
// flushed too. A temporary left behind by a killed run is removed by the
// next run that writes into the same folder (see OwnTemporaries.h). A
// replaced file's mode and owner (where permitted) carry over to the new one.

#include <string>
#include <string_view>

namespace qv::platform {

class DurableFile {
public:
    DurableFile() = default;
    ~DurableFile();   // an uncommitted temporary is removed
    DurableFile(const DurableFile&) = delete;
    DurableFile& operator=(const DurableFile&) = delete;

    // Creates the temporary for `destination`. With `replace` off, an
    // existing entry under that name makes this fail with EEXIST, and the
    // final rename still never replaces one that appears meanwhile.
    // Returns 0 or an errno value.
    int open(const std::string& destination, bool replace);
    // Appends bytes; returns 0 or an errno value (the first failure sticks).
    int write(std::string_view bytes);
    // Flushes, renames over the final name and flushes the folder.
    int commit();
    // Removes the temporary; nothing appears under the final name.
    void abandon();

    const std::string& temporaryPath() const { return m_temporary; }

private:
    int m_fd = -1;
    int m_error = 0;
    bool m_replace = false;
    std::string m_destination, m_folder, m_temporary;
};

}  // namespace qv::platform
