#pragma once
// The optional columns of an entry (creation, opening and added dates, kind,
// tag names, content digest, colour label), read only for the columns a
// window shows, into the node's side structure. A snapshot side answers from
// its recorded entries; a live side from the file system.

#include "platform/FileSystem.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace qv {

class KItem;
class KRootItem;
class KSnapshot;
struct KSnapURL;

class ColumnReader {
public:
    // `columns` holds OptionalColumn bits; `labels` also reads the colour
    // label number (the setting "showColorTags2").
    ColumnReader(const KRootItem& root, std::uint32_t columns, bool labels,
                 const std::atomic<bool>* cancelled = nullptr);

    // Whether there is anything to read at all.
    bool active() const { return m_columns != 0 || m_labels; }
    std::uint32_t columns() const { return m_columns; }
    // The fields (platform::StatFields) a listing must fill for these columns.
    unsigned statFields() const;

    // Reads the side's columns of the entry at `path`, listed with `st`.
    // A value that cannot be read (no birth time, an unreadable file) stays empty.
    void AddColumns(KItem& node, const std::string& path, const platform::EntryStat& st, int side);
    // The same for an entry not listed just now: it is examined first, and
    // an entry that has gone leaves the node as it was.
    void AddColumns(KItem& node, const std::string& path, int side);
    // Re-reads the columns of both sides of `top` and every node below it.
    // Returns false when cancelled part-way.
    bool RefreshColumns(KItem& top);

    // Copies the side's columns of one node into another (a node read twice keeps one reading).
    static void copyColumns(const KItem& from, KItem& to, int side);

    // The label number of a list of tag names: the place (1 to 7) in the
    // label colours Gray, Green, Purple, Blue, Yellow, Red, Orange of the
    // first tag named after one of them; none when no tag is.
    static std::optional<int> labelNumberOfTags(const std::vector<std::string>& tags);
    // The tag names as a column shows them: joined with ", ".
    static QString joinedTags(const std::vector<std::string>& tags);

private:
    void addFromSnapshot(KItem& node, const KSnapURL& entry, const KSnapshot& snapshot, int side);
    QString kindOf(const std::string& path, const platform::EntryStat& st);
    QString kindOfMimeName(const std::string& mimeName);
    QString digestOf(const std::string& path, const platform::EntryStat& st);
    bool cancelled() const { return m_cancelled && m_cancelled->load(std::memory_order_relaxed); }

    const KRootItem& m_root;
    std::uint32_t m_columns;
    bool m_labels;
    const std::atomic<bool>* m_cancelled;
    std::unordered_map<std::string, QString> m_kindByExtension;
    std::unordered_map<std::string, QString> m_kindByMimeName;
};

}  // namespace qv
