#pragma once
// Writes a comparison tree as a delimited text file: one line per item, the
// columns the window shows, the tree rendered as indentation of the names.

#include <QByteArray>
#include <QChar>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class KItem;
class KRootItem;
class Settings;
class KSizeFormatter;
class ExportDateFormatter;

// Column identifiers of the tree view, as the export knows them.
enum ExportColumn : int {
    kExportState = 0,
    kExportName1 = 1, kExportSize1 = 2, kExportDate1 = 3,
    kExportDate2 = 4, kExportSize2 = 5, kExportName2 = 6,
    kExportCreated1 = 7, kExportCreated2 = 8,
    kExportOpened1 = 9, kExportOpened2 = 10,
    kExportKind1 = 11, kExportKind2 = 12,
    kExportTags1 = 13, kExportTags2 = 14,
    kExportMD51 = 15, kExportMD52 = 16,
    kExportAdded1 = 17, kExportAdded2 = 18,
    kExportColumnCount = 19,
};

struct ExportOptions {             // read from the settings at the start of an export
    QChar delimiter;               // null: the fields are written without one
    bool tab = false;
    QString thousands;
    bool noGrouping = false;
    bool sizeInBytes = true;
    bool prefixOn = false;
    QString prefixChar;
    int indentStep = 4;
    bool quotes = false;
    int optimizedFor = 1;
    bool exportAll = false;
    bool showTime = true;
    bool showRelative = true;

    static ExportOptions fromSettings(const Settings& settings);
    // "exportIndent" takes 0 to 24; anything else means 4.
    static int indentFromSetting(const QString& value);
};

// How the window shows the tree. Unset functions fall back to the tree
// itself: every child, the items' own expanded flags, and a side being
// expandable when it is a folder that has children.
struct ExportView {
    std::function<std::vector<KItem*>(KItem*)> shownChildren;   // used when exportAll is off
    std::function<bool(const KItem*)> isExpanded;               // a row written with its children (exportAll off)
    std::function<bool(const KItem*, int side)> isExpandable;   // that side of the row can be expanded
};

class ComparisonExport {
public:
    // `parentItem` is the item the window shows as its top (nullptr: the root).
    // `statusHeader` is the window's status line, which decides the mark of
    // the folders' line. The tree must not change while an export reads it.
    ComparisonExport(const KRootItem& root, KItem* parentItem, std::vector<int> columnIds, ExportOptions options,
                     ExportView view, QString statusHeader);
    ~ComparisonExport();

    // Writes to `destination` through a temporary file in the same folder
    // (flushed, renamed, folder flushed). Never replaces an existing file
    // unless `replace`. Returns "" on success, else the text to show.
    QString ExportNow(const QString& destination, bool replace, const std::atomic<bool>* cancelled = nullptr);

    // The whole text (what ExportNow writes).
    QByteArray render(const std::atomic<bool>* cancelled = nullptr);

    // The title of a column in the head line.
    static QString columnTitle(int columnId);
    // The list of columns the options panel shows: "Name, Size, …", the state column as ">=<".
    static QString columnListText(const std::vector<int>& columnIds);
    // The message of a finished export.
    static QString successText(const QString& destination);

private:
    using Sink = std::function<bool(std::string_view)>;

    // Returns false when the sink failed or the export was cancelled.
    bool writeAll(const Sink& sink, const std::atomic<bool>* cancelled);
    void appendHead(std::string& out);
    void AddChildrenOf(KItem* item, std::string& out, int indent);
    void appendItemLine(const KItem& item, bool withChildren, bool expandable, int indent, std::string& out);
    void appendSize(const KItem& item, int side, std::string& out);
    void appendDate(std::int64_t dateNs, std::string& out);
    void appendText(const QString& text, std::string& out);
    void flushIfFull(std::string& out);
    bool stopped() const;

    bool writtenWithChildren(const KItem* item) const;
    bool expandableSide(const KItem* item, int side) const;

    const KRootItem& m_root;
    KItem* m_parent;
    std::vector<int> m_columnIds;
    ExportOptions m_options;
    ExportView m_view;
    QString m_statusHeader;

    // Fixed for one export, in UTF-8.
    std::string m_delimiter, m_prefix, m_openMarker, m_closedMarker;
    int m_step = 4;
    std::string m_leading;   // reused for every name field
    const KSizeFormatter* m_sizes = nullptr;
    ExportDateFormatter* m_dates = nullptr;
    const Sink* m_sink = nullptr;
    const std::atomic<bool>* m_cancelled = nullptr;
    bool m_sinkFailed = false;
};

}  // namespace qv
