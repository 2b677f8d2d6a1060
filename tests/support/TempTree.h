#pragma once
// Real folders in a temporary directory, with exact sizes, nanosecond times
// and links, removed when the test ends however deep they go.

#include <cstdint>
#include <functional>
#include <string>

namespace qv::test {

// A fixed modification time, so that two sides built apart still match.
constexpr std::int64_t kBaseTimeNs = 1'600'000'000LL * 1'000'000'000LL;

class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return m_root; }
    std::string path(const std::string& relative) const;

    // A file of `size` bytes filled with `fill` (parents made as needed).
    void file(const std::string& relative, std::size_t size = 0, char fill = 'x', std::int64_t mtimeNs = kBaseTimeNs);
    void fileWithText(const std::string& relative, const std::string& text, std::int64_t mtimeNs = kBaseTimeNs);
    void folder(const std::string& relative);
    void link(const std::string& relative, const std::string& target);
    // A chain of `depth` folders below `relative` named by `nameAt(level)`,
    // made one level at a time so that it may go deeper than a path can
    // name; with `bottomFile`, a file holding `text` at its bottom. Returns
    // the chain's path below `relative`.
    std::string chain(const std::string& relative, int depth, const std::function<std::string(int)>& nameAt,
                      const std::string& bottomFile = {}, const std::string& text = {});
    // A socket file bound and closed again: the entry stays, no one listens.
    void socket(const std::string& relative);
    void setTime(const std::string& relative, std::int64_t mtimeNs);
    void setAttribute(const std::string& relative, const std::string& name, const std::string& value);
    // Sets the file-manager tags ("user.xdg.tags"), keeping the modification time.
    void setTags(const std::string& relative, const std::string& commaSeparated);
    // A temporary of ours as a killed writer leaves it (its name, our mark,
    // nobody's lock) in `folder`, holding `text`; returns its name.
    std::string deadTemporary(const std::string& folder, const std::string& text);
    // Extends or cuts a file to `size` without writing data (a sparse tail).
    void truncate(const std::string& relative, std::int64_t size, std::int64_t mtimeNs = kBaseTimeNs);

    // The bytes of a file ("" when it cannot be read), and whether anything stands at a path (links not followed).
    std::string contents(const std::string& relative) const;
    bool exists(const std::string& relative) const;

private:
    std::string m_root;
};

}  // namespace qv::test
