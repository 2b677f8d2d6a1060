#pragma once
// Writes a comparison tree to a stream: one JSON object per node, or an
// indented text tree with a summary line.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class KItem;
class KRootItem;
class ViewFilter;

class TreeWriter {
public:
    // A large tree's JSON rows are made in pieces of this many rows by
    // helper threads, and written in order.
    static constexpr std::size_t kRowsPerPiece = 8192;

    // Writes the rows `view` shows (every row when its filter is off).
    TreeWriter(std::FILE* out, ViewFilter& view, std::size_t rowsPerPiece = kRowsPerPiece)
        : m_out(out), m_view(view), m_rowsPerPiece(rowsPerPiece) {}
    ~TreeWriter() { flush(); }

    // Optional columns (view column numbers 7 to 18) to write: in JSON both
    // sides of each one's field pair, in text the values after the name.
    void setColumns(std::vector<int> columns) { m_columns = std::move(columns); }
    // Colours the state words of the text tree.
    void setColour(bool colour) { m_colour = colour; }

    // Depth-first, parents before children, the root first with "path": "".
    void writeJson(KRootItem& root);
    // An indented tree, one line per node with its state in words, then the
    // summary. The first line names the two sides with the given labels.
    // Names that would break a line are quoted (cli/NameQuoting.h).
    void writeText(KRootItem& root, const std::string& leftLabel, const std::string& rightLabel);

    void flush();

private:
    // A row to write and the index of its parent row (kNoParent for the root).
    struct Row {
        KItem* item;
        std::uint32_t parent;
    };
    static constexpr std::uint32_t kNoParent = UINT32_MAX;
    void jsonInTurn(KRootItem& root);
    std::vector<Row> rowsInOrder(KRootItem& root);
    // Rows `from` to `to` (excluded) as JSON lines, their paths made from the rows above them.
    void jsonRows(const std::vector<Row>& rows, std::size_t from, std::size_t to, std::string& o) const;
    void jsonRowsOnHelpers(const std::vector<Row>& rows);
    void jsonNode(const KItem& item, std::string_view path, std::string& o) const;
    void textNode(KItem& item, int depth);
    void append(std::string_view text);
    void jsonColumns(const KItem& item, std::string& o) const;
    void textColumns(const KItem& item, std::string& line);

    std::FILE* m_out;
    ViewFilter& m_view;
    std::size_t m_rowsPerPiece;
    std::vector<int> m_columns;
    std::string m_buffer;
    bool m_colour = false;
};

// A file time (platform/FileTime.h) as seconds since the epoch with a nine-digit fraction.
void appendSeconds(std::string& out, long long time);

}  // namespace qv
