#pragma once
// Files the program reads as input: a snapshot, a rule file, an action plan,
// the settings, the two files of a content comparison. Whatever stands at
// such a path must not hurt: opening a FIFO blocks until a writer comes, a
// device reads without end, a folder fails in the middle of the first read.
// So an input is opened without blocking, its kind is taken from the open
// descriptor (no race with a rename), and only a regular file is read.

#include <cstdint>
#include <string>

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
    // The size when it was opened.
    std::int64_t size() const { return m_size; }

private:
    int m_fd = -1;
    std::int64_t m_size = 0;
};

// Reads a whole regular file of at most `limit` bytes into `out`.
InputStatus readInputFile(const std::string& path, std::int64_t limit, std::string& out, bool followLinks = true);

}  // namespace qv::platform
