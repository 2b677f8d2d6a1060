#pragma once
// Files the program reads as input: a snapshot, a rule file, an action plan,
// the settings, the two files of a content comparison. Whatever stands at
// such a path must not hurt: opening a FIFO blocks until a writer comes, a
// device reads without end, a folder fails in the middle of the first read.
// So an input is opened without blocking, its kind is taken from the open
// descriptor (no race with a rename), and only a regular file is read.

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace qv::platform {

enum class InputProblem { None, CannotOpen, NotRegularFile, TooLarge, ReadFailed };

struct InputStatus {
    InputProblem problem = InputProblem::None;
    int error = 0;   // errno for CannotOpen and ReadFailed

    bool ok() const { return problem == InputProblem::None; }
};

// One regular file open for reading; closed when it goes.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens `path` (its last component followed only when `followLinks` is
    // set) and keeps it when it is a regular file.
    InputStatus open(const std::string& path, bool followLinks);

    int fd() const { return m_fd; }
    // The size when it was opened, and the 512-byte blocks it then held on disk.
    std::int64_t size() const { return m_size; }
    std::int64_t blocks() const { return m_blocks; }

    // One read or pread: the bytes read (0 at the end) or -1 with errno set.
    // Interrupted calls are repeated.
    ssize_t read(char* buffer, std::size_t size);
    ssize_t readAt(char* buffer, std::size_t size, std::int64_t offset);

private:
    // Whether a failed read is worth repeating, after making the file blocking if it answered EAGAIN.
    bool retry();

    int m_fd = -1;
    std::int64_t m_size = 0;
    std::int64_t m_blocks = 0;
    bool m_blocking = false;
};

// Reads a whole regular file of at most `limit` bytes into `out`.
InputStatus readInputFile(const std::string& path, std::int64_t limit, std::string& out, bool followLinks = true);

}  // namespace qv::platform
