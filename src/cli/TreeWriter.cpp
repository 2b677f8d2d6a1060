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

namespace qv {
namespace {

constexpr std::size_t kFlushAt = 1 << 20;

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
    std::string path;
    jsonNode(root, path);
    flush();
}

void TreeWriter::jsonNode(KItem& item, std::string& path) {
    std::string& o = m_buffer;
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
    jsonColumns(item);
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
    if (o.size() >= kFlushAt) flush();

    const std::size_t base = path.size();
    for (KItem* child : m_view.FilteredObjectsForModule(&item)) {
        if (base) path += '/';
        path.append(child->nameForSide(child->hasSide(kSideLeft) ? kSideLeft : kSideRight));
        jsonNode(*child, path);
        path.resize(base);
    }
}

void TreeWriter::jsonColumns(const KItem& item) {
    for (int column : m_columns) {
        if (column < kColumnCreated1 || column > kColumnAdded2) continue;
        std::string& o = m_buffer;
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
