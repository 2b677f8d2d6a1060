#pragma once
// A copy layer that fails chosen calls the way a full disk or a refusing
// file system would.

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
    std::function<int(const std::string& from, const std::string& to, unsigned flags)> renameError;
    std::int64_t written = 0;

    ssize_t write(int fd, const void* buffer, std::size_t size) override {
        if (int error = dataError(size)) return fail(error);
        const ssize_t n = platform::CopyIo::write(fd, buffer, size);
        if (n > 0) written += n;
        return n;
    }
    ssize_t copyRange(int in, off_t* inOffset, int out, off_t* outOffset, std::size_t size) override {
        if (refuseCopyRange) return fail(EXDEV);
        if (int error = dataError(size)) return fail(error);
        const ssize_t n = platform::CopyIo::copyRange(in, inOffset, out, outOffset, size);
        if (n > 0) written += n;
        return n;
    }
    int rename(const char* from, const char* to, unsigned flags) override {
        if (renameError)
            if (int error = renameError(from, to, flags)) return static_cast<int>(fail(error));
        return platform::CopyIo::rename(from, to, flags);
    }

private:
    int dataError(std::size_t size) const {
        return failDataAfter >= 0 && written + static_cast<std::int64_t>(size) > failDataAfter ? ENOSPC : 0;
    }
    static ssize_t fail(int error) {
        errno = error;
        return -1;
    }
};

}  // namespace qv::test
