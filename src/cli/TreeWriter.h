#pragma once
// Writes a comparison tree to a stream: one JSON object per node, or an
// indented text tree with a summary line.

#include <cstdio>
#include <string>

namespace qv {

class KItem;
class KRootItem;
class ViewFilter;

class TreeWriter {
public:
    // Writes the rows `view` shows (every row when its filter is off).
    TreeWriter(std::FILE* out, ViewFilter& view) : m_out(out), m_view(view) {}
    ~TreeWriter() { flush(); }

    // Depth-first, parents before children, the root first with "path": "".
    void writeJson(KRootItem& root);
    // An indented tree, one line per node with its state in words, then the
    // summary. The first line names the two sides with the given labels.
    void writeText(KRootItem& root, const std::string& leftLabel, const std::string& rightLabel);

    void flush();

private:
    void jsonNode(KItem& item, std::string& path);
    void textNode(KItem& item, int depth);
    void append(std::string_view text);

    std::FILE* m_out;
    ViewFilter& m_view;
    std::string m_buffer;
};

// Nanoseconds since the epoch as seconds with a nine-digit fraction.
void appendSeconds(std::string& out, long long ns);

}  // namespace qv
