#include "cli/TreeWriter.h"

#include "base/Messages.h"
#include "engine/StateWords.h"
#include "engine/KRootItem.h"
#include "engine/SortOrder.h"
#include "platform/JsonString.h"
#include "cli/NameQuoting.h"
#include "cli/TerminalColour.h"
#include "engine/ViewFilter.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <array>
#include <charconv>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace qv {
namespace {

constexpr std::size_t kFlushAt = 1 << 20;

// Helper threads work at most this many pieces ahead of the one going out.
constexpr std::size_t kPiecesAhead = 8;
constexpr unsigned kWritingThreads = 2;

void appendNumber(std::string& out, long long v) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, end);
}

void appendBool(std::string& out, bool v) { out += v ? "true" : "false"; }

// The JSON names of the optional columns, by view column number from 7.
constexpr const char* kColumnFields[] = {"created1", "created2", "opened1", "opened2", "kind1", "kind2",
                                         "tags1",    "tags2",    "md51",    "md52",    "added1", "added2"};

bool isDateColumn(int column) {
    return column == kColumnCreated1 || column == kColumnCreated2 || column == kColumnOpened1 ||
           column == kColumnOpened2 || column == kColumnAdded1 || column == kColumnAdded2;
}

// A child's path: its parent's and its name (the left one, when it has both).
void appendName(std::string& path, const KItem& item) {
    if (!path.empty()) path += '/';
    path.append(item.nameForSide(item.hasSide(kSideLeft) ? kSideLeft : kSideRight));
}

int sideOfColumn(int column) { return column % 2 == 1 ? kSideLeft : kSideRight; }

std::int64_t columnDate(const ItemExtras* x, int column) {
    if (!x) return platform::kNoTime;
    switch (column) {
    case kColumnCreated1: return x->iDateC1;
    case kColumnCreated2: return x->iDateC2;
    case kColumnOpened1: return x->iDateO1;
    case kColumnOpened2: return x->iDateO2;
    case kColumnAdded1: return x->iDateA1;
    default: return x->iDateA2;
    }
}

QString columnText(const ItemExtras* x, int column) {
    if (!x) return {};
    switch (column) {
    case kColumnKind1: return x->iKind1;
    case kColumnKind2: return x->iKind2;
    case kColumnTags1: return x->iTags1;
    case kColumnTags2: return x->iTags2;
    case kColumnDigest1: return x->iMD51;
    default: return x->iMD52;
    }
}

}  // namespace


void appendSeconds(std::string& out, long long time) {
    // Seconds and a fraction of nine digits, the sign in front of both.
    long long seconds = platform::secondsOf(time);
    long long nanoseconds = platform::nanosecondsOf(time);
    if (seconds < 0) {
        out += '-';
        if (nanoseconds) {
            seconds += 1;
            nanoseconds = 1'000'000'000 - nanoseconds;
        }
        seconds = -seconds;
    }
    appendNumber(out, seconds);
    char frac[9];
    for (int i = 8; i >= 0; --i, nanoseconds /= 10) frac[i] = static_cast<char>('0' + nanoseconds % 10);
    out += '.';
    out.append(frac, 9);
}

void TreeWriter::append(std::string_view text) {
    m_buffer.append(text);
    if (m_buffer.size() >= kFlushAt) flush();
}

void TreeWriter::flush() {
    if (!m_buffer.empty()) std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out);
    m_buffer.clear();
    std::fflush(m_out);
}

void TreeWriter::writeJson(KRootItem& root) {
    // Working out which rows a filter of one side's rows shows may list
    // folders, which changes the rows below them: then each row is written
    // before its children are worked out. So is a small tree.
    const FolderPart* totals = root.folderIfAny();
    const std::uint64_t entries =
        totals ? totals->iFiles1 + totals->iFiles2 + totals->iFolders1 + totals->iFolders2 : 0;
    if (entries < 2 * m_rowsPerPiece || m_view.listsWhileFiltering()) return jsonInTurn(root);
    flush();
    jsonRowsOnHelpers(rowsInOrder(root));
}

void TreeWriter::jsonInTurn(KRootItem& root) {
    // Depth first, parents before children; a stack rather than recursion,
    // for trees as deep as a folder can be. Below a row's own path the path
    // held is always one of its descendants', so its parent's is a prefix.
    struct Pending {
        KItem* item;
        std::size_t parentPath;   // length of the parent's path, or kNoPath for the root
    };
    constexpr std::size_t kNoPath = SIZE_MAX;
    std::string path;
    std::vector<Pending> pending{{&root, kNoPath}};
    while (!pending.empty()) {
        const Pending row = pending.back();
        pending.pop_back();
        if (row.parentPath != kNoPath) {
            path.resize(row.parentPath);
            appendName(path, *row.item);
        }
        jsonNode(*row.item, path, m_buffer);
        if (m_buffer.size() >= kFlushAt) flush();
        const std::vector<KItem*>& children = m_view.FilteredObjectsForModule(row.item);
        for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back({*it, path.size()});
    }
    flush();
}

std::vector<TreeWriter::Row> TreeWriter::rowsInOrder(KRootItem& root) {
    std::vector<Row> rows;
    std::vector<Row> pending{{&root, kNoParent}};
    while (!pending.empty()) {
        const Row row = pending.back();
        pending.pop_back();
        const auto index = static_cast<std::uint32_t>(rows.size());
        rows.push_back(row);
        const std::vector<KItem*>& children = m_view.FilteredObjectsForModule(row.item);
        for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back({*it, index});
    }
    return rows;
}

void TreeWriter::jsonRows(const std::vector<Row>& rows, std::size_t from, std::size_t to, std::string& o) const {
    // The rows whose paths the next rows extend, with their path lengths:
    // first the ancestors of row `from`, outermost first.
    std::vector<std::pair<std::uint32_t, std::size_t>> open;
    std::string path;
    std::vector<std::uint32_t> ancestors;
    for (std::uint32_t r = from < rows.size() ? rows[from].parent : kNoParent; r != kNoParent; r = rows[r].parent)
        ancestors.push_back(r);
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
        if (rows[*it].parent != kNoParent) appendName(path, *rows[*it].item);
        open.push_back({*it, path.size()});
    }
    for (std::size_t i = from; i < to; ++i) {
        const Row& row = rows[i];
        while (!open.empty() && open.back().first != row.parent) open.pop_back();
        path.resize(open.empty() ? 0 : open.back().second);
        if (row.parent != kNoParent) appendName(path, *row.item);
        jsonNode(*row.item, path, o);
        open.push_back({static_cast<std::uint32_t>(i), path.size()});
    }
}

void TreeWriter::jsonRowsOnHelpers(const std::vector<Row>& rows) {
    const std::size_t pieces = (rows.size() + m_rowsPerPiece - 1) / m_rowsPerPiece;
    std::vector<std::string> texts(pieces);
    std::vector<bool> ready(pieces, false);
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t next = 0, written = 0;
    const auto write = [&] {
        for (;;) {
            std::size_t k = 0;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return next >= pieces || next < written + kPiecesAhead; });
                if (next >= pieces) return;
                k = next++;
            }
            std::string text;
            jsonRows(rows, k * m_rowsPerPiece, std::min(rows.size(), (k + 1) * m_rowsPerPiece), text);
            {
                std::lock_guard lock(mutex);
                texts[k] = std::move(text);
                ready[k] = true;
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned i = 0; i < kWritingThreads; ++i) helpers.emplace_back(write);
    for (std::size_t k = 0; k < pieces; ++k) {
        std::string text;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return ready[k]; });
            text = std::move(texts[k]);
            written = k + 1;
        }
        changed.notify_all();
        std::fwrite(text.data(), 1, text.size(), m_out);
    }
    for (std::thread& helper : helpers) helper.join();
    std::fflush(m_out);
}

void TreeWriter::jsonNode(const KItem& item, std::string_view path, std::string& o) const {
    o += "{\"path\":";
    platform::appendJsonString(o, path);
    for (int side = kSideLeft; side <= kSideRight; ++side) {
        const char* suffix = side == kSideLeft ? "1" : "2";
        const bool present = item.hasSide(side);
        o += ",\"name";
        o += suffix;
        o += "\":";
        if (present) platform::appendJsonString(o, item.nameForSide(side));
        else o += "null";
    }
    o += ",\"state\":";
    appendNumber(o, item.iState);
    for (int side = kSideLeft; side <= kSideRight; ++side) {
        const char* suffix = side == kSideLeft ? "1" : "2";
        const bool present = item.hasSide(side);
        const long long size = side == kSideLeft ? item.iSize1 : item.iSize2;
        const long long date = side == kSideLeft ? item.iDate1 : item.iDate2;
        o += ",\"dir";
        o += suffix;
        o += "\":";
        appendBool(o, present && (side == kSideLeft ? item.iDir1 : item.iDir2));
        o += ",\"size";
        o += suffix;
        o += "\":";
        if (present) appendNumber(o, size);
        else o += "null";
        o += ",\"mtime";
        o += suffix;
        o += "\":";
        if (present && date != platform::kNoTime) appendSeconds(o, date);
        else o += "null";
        o += ",\"link";
        o += suffix;
        o += "\":";
        appendBool(o, present && item.isLink(side));
    }
    jsonColumns(item, o);
    if (item.iIgnored) o += ",\"ignored\":true";
    if (item.iDir1 || item.iDir2) {
        const FolderPart* f = item.folderIfAny();
        const FolderPart none;
        const FolderPart& c = f ? *f : none;
        const std::pair<const char*, std::uint64_t> counts[] = {
            {",\"files1\":", c.iFiles1},     {",\"files2\":", c.iFiles2},   {",\"folders1\":", c.iFolders1},
            {",\"folders2\":", c.iFolders2}, {",\"diffs1\":", c.iDiffs1},   {",\"diffs2\":", c.iDiffs2},
            {",\"orphans1\":", c.iOrphans1}, {",\"orphans2\":", c.iOrphans2}};
        for (const auto& [key, value] : counts) {
            o += key;
            appendNumber(o, static_cast<long long>(value));
        }
    }
    o += "}\n";
}

void TreeWriter::jsonColumns(const KItem& item, std::string& o) const {
    for (int column : m_columns) {
        if (column < kColumnCreated1 || column > kColumnAdded2) continue;
        o += ",\"";
        o += kColumnFields[column - kColumnCreated1];
        o += "\":";
        const bool present = item.hasSide(sideOfColumn(column));
        if (isDateColumn(column)) {
            const std::int64_t date = columnDate(item.extrasIfAny(), column);
            if (present && date != platform::kNoTime) appendSeconds(o, date);
            else o += "null";
        } else if (present) {
            platform::appendJsonString(o, columnText(item.extrasIfAny(), column).toStdString());
        } else {
            o += "null";
        }
    }
}

void TreeWriter::textColumns(const KItem& item, std::string& line) {
    for (int column : m_columns) {
        if (column < kColumnCreated1 || column > kColumnAdded2) continue;
        std::string value;
        if (isDateColumn(column)) {
            const std::int64_t date = columnDate(item.extrasIfAny(), column);
            if (date != platform::kNoTime) appendSeconds(value, date);
        } else {
            value = columnText(item.extrasIfAny(), column).toStdString();
        }
        line += "  ";
        line += kColumnFields[column - kColumnCreated1];
        line += '=';
        line += value.empty() || !item.hasSide(sideOfColumn(column)) ? std::string("-") : value;
    }
}

void TreeWriter::writeText(KRootItem& root, const std::string& leftLabel, const std::string& rightLabel) {
    std::array<std::uint64_t, kStateTagsDiffer + 1> counts{};
    std::uint64_t total = 0;
    auto count = [&](auto&& self, KItem& item) -> void {
        for (KItem* child : m_view.FilteredObjectsForModule(&item)) {
            if (child->iState >= 0 && child->iState <= kStateTagsDiffer) ++counts[child->iState];
            ++total;
            self(self, *child);
        }
    };
    count(count, root);

    const QString words = stateWords(root.iState);
    append(words.toStdString());
    append(std::string(static_cast<std::size_t>(std::max<qsizetype>(1, 24 - words.size())), ' '));
    append(leftLabel + "  <->  " + rightLabel + "\n");
    for (KItem* child : m_view.FilteredObjectsForModule(&root)) textNode(*child, 0);
    QStringList parts;
    for (int s = 0; s <= kStateTagsDiffer; ++s)
        if (counts[s]) parts << QStringLiteral("%1 %2").arg(QLocale().toString(qulonglong(counts[s])), stateWords(s));
    const QString items = Messages::plural("cliItems", qint64(total));
    const QString summary = parts.isEmpty() ? items : Messages::format("summaryItems", items, parts.join(QStringLiteral(", ")));
    append(summary.toStdString());
    append("\n");
    flush();
}

void TreeWriter::textNode(KItem& item, int depth) {
    {
        std::string line;
        const QString words = stateWords(item.iState);
        const char* colour = m_colour ? stateColour(item.iState) : "";
        line += colour;
        line += words.toStdString();
        if (*colour) line += kColourReset;
        const int pad = 24 - static_cast<int>(words.size());
        line.append(static_cast<std::size_t>(pad > 1 ? pad : 1), ' ');
        line.append(static_cast<std::size_t>(depth) * 2, ' ');
        const int side = item.hasSide(kSideLeft) ? kSideLeft : kSideRight;
        line += quotedName(item.nameForSide(side));
        if ((item.hasSide(kSideLeft) && item.iDir1) || (item.hasSide(kSideRight) && item.iDir2)) line += '/';
        if (item.hasSide(kSideLeft) && item.hasSide(kSideRight) && item.nameForSide(kSideLeft) != item.nameForSide(kSideRight)) {
            line += "  ";
            line += Messages::format("treeRightName", QString::fromStdString(quotedName(item.nameBytes()))).toStdString();
        }
        if (item.iIgnored) {
            line += "  ";
            line += Messages::text("treeIgnored").toStdString();
        }
        textColumns(item, line);
        line += '\n';
        append(line);
    }
    for (KItem* child : m_view.FilteredObjectsForModule(&item)) textNode(*child, depth + 1);
}

}  // namespace qv
