#pragma once
// A comparison as a table that any spreadsheet or script reads: one row per
// entry (depth first, parents before children) with its relative path, the
// state as a number and in words, both sides' kinds, sizes in bytes and
// modification dates in ISO 8601 (UTC), under a header row. CSV follows
// RFC 4180 (comma, CR LF, fields quoted when needed); TSV has no quoting, so
// a tab, line break or backslash in a field is written as \t, \n, \r or \\.
// Every field is valid UTF-8: an undecodable byte of a name becomes U+FFFD.

#include <functional>
#include <string>
#include <vector>

namespace qv {

class KItem;

class EntryTable {
public:
    enum class Format { Csv, Tsv };
    using Children = std::function<std::vector<KItem*>(KItem*)>;

    EntryTable(Format format, Children children) : m_format(format), m_children(std::move(children)) {}

    // The header and a row for every entry below `top` (not `top` itself).
    std::string render(KItem& top);

private:
    void appendRow(const std::vector<std::string>& fields, std::string& out) const;
    void appendEntries(KItem& item, std::string& path, std::string& out) const;

    Format m_format;
    Children m_children;
};

}  // namespace qv
