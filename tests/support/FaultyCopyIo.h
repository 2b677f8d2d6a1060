#pragma once
// A copy layer that fails chosen calls the way a full disk or a refusing
// file system would, and lets a test act between two chunks of a copy (to
// edit the source while it is read, say).

#include "platform/FileCopy.h"

#include <cerrno>
#include <cstdint>
#include <functional>
#include <string>

namespace qv::test {

class FaultyIo : public platform::CopyIo {
public:
    std::int64_t failDataAfter = -1;   // bytes after which writes fail with ENOSPC
    bool refuseCopyRange = false;      // as across file systems
    // Given the two names (not paths) of a rename and its flags; a non-zero errno refuses it.
    std::function<int(const std::string& from, const std::string& to, unsigned flags)> renameError;
    // Called after every chunk of data written.
    std::function<void()> afterChunk;
    std::int64_t written = 0;

    ssize_t write(int fd, const void* buffer, std::size_t size) override {
        if (int error = dataError(size)) return fail(error);
        const ssize_t n = platform::CopyIo::write(fd, buffer, size);
        if (n > 0) wrote(n);
        return n;
    }
    ssize_t copyRange(int in, off_t* inOffset, int out, off_t* outOffset, std::size_t size) override {
        if (refuseCopyRange) return fail(EXDEV);
        if (int error = dataError(size)) return fail(error);
        const ssize_t n = platform::CopyIo::copyRange(in, inOffset, out, outOffset, size);
        if (n > 0) wrote(n);
        return n;
    }
    int renameAt(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) override {
        if (renameError)
            if (int error = renameError(from, to, flags)) return static_cast<int>(fail(error));
        return platform::CopyIo::renameAt(fromFolder, from, toFolder, to, flags);
    }

private:
    void wrote(ssize_t n) {
        written += n;
        if (afterChunk) afterChunk();
    }
    int dataError(std::size_t size) const {
        return failDataAfter >= 0 && written + static_cast<std::int64_t>(size) > failDataAfter ? ENOSPC : 0;
    }
    static ssize_t fail(int error) {
        errno = error;
        return -1;
    }
};

}  // namespace qv::test
