#include "export/EntryTable.h"

#include "engine/KItem.h"
#include "engine/StateWords.h"
#include "platform/Utf8.h"

#include <QDateTime>

namespace qv {
namespace {

std::string kindOf(const KItem& item, int side) {
    if (!item.hasSide(side)) return {};
    if (item.isLink(side)) return "link";
    return (side == kSideLeft ? item.iDir1 : item.iDir2) ? "folder" : "file";
}

std::string sizeOf(const KItem& item, int side) {
    if (!item.hasSide(side)) return {};
    return std::to_string(side == kSideLeft ? item.iSize1 : item.iSize2);
}

std::string dateOf(const KItem& item, int side) {
    const std::int64_t ns = side == kSideLeft ? item.iDate1 : item.iDate2;
    if (!item.hasSide(side) || ns == platform::kNoTime) return {};
    const QDateTime date = QDateTime::fromMSecsSinceEpoch(ns / 1000000, Qt::UTC);
    return date.toString(Qt::ISODate).toStdString();
}

void appendCsvField(const std::string& field, std::string& out) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void appendTsvField(const std::string& field, std::string& out) {
    for (char c : field) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
}

}  // namespace

void EntryTable::appendRow(const std::vector<std::string>& fields, std::string& out) const {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) out += m_format == Format::Csv ? ',' : '\t';
        if (m_format == Format::Csv) appendCsvField(fields[i], out);
        else appendTsvField(fields[i], out);
    }
    out += m_format == Format::Csv ? "\r\n" : "\n";
}

std::string EntryTable::render(KItem& top) {
    std::string out;
    appendRow({"path", "state", "state_words", "kind_left", "kind_right", "size_left", "size_right",
               "modified_left", "modified_right"},
              out);
    std::string path;
    appendEntries(top, path, out);
    return out;
}

void EntryTable::appendEntries(KItem& item, std::string& path, std::string& out) const {
    const std::size_t base = path.size();
    for (KItem* child : m_children(&item)) {
        if (base) path += '/';
        path += platform::displayUtf8(child->nameForSide(child->hasSide(kSideLeft) ? kSideLeft : kSideRight));
        appendRow({path, std::to_string(child->iState), stateWords(child->iState).toStdString(),
                   kindOf(*child, kSideLeft), kindOf(*child, kSideRight), sizeOf(*child, kSideLeft),
                   sizeOf(*child, kSideRight), dateOf(*child, kSideLeft), dateOf(*child, kSideRight)},
                  out);
        appendEntries(*child, path, out);
        path.resize(base);
    }
}

}  // namespace qv
