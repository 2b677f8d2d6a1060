#include "engine/ColumnReader.h"

#include "engine/KRootItem.h"
#include "platform/ExtendedAttributes.h"
#include "snapshot/KSnapshot.h"

#include <QCryptographicHash>
#include <QFile>
#include <QMimeDatabase>

#include <sys/stat.h>

namespace qv {
namespace {

const char* const kLabelColours[] = {"Gray", "Green", "Purple", "Blue", "Yellow", "Red", "Orange"};

// The side's half of the optional fields.
struct SideColumns {
    std::int64_t& created;
    std::int64_t& opened;
    std::int64_t& added;
    QString& kind;
    QString& tags;
    QString& digest;
    std::optional<int>& label;
};

SideColumns columnsOf(ItemExtras& x, int side) {
    if (side == kSideLeft) return {x.iDateC1, x.iDateO1, x.iDateA1, x.iKind1, x.iTags1, x.iMD51, x.iTagNumber1};
    return {x.iDateC2, x.iDateO2, x.iDateA2, x.iKind2, x.iTags2, x.iMD52, x.iTagNumber2};
}

std::int64_t recordedDate(std::int64_t date) { return date == kNoRecordedDate ? platform::kNoTime : date; }

const char* mimeNameOfSpecialFile(std::uint32_t mode) {
    switch (mode & S_IFMT) {
    case S_IFIFO: return "inode/fifo";
    case S_IFCHR: return "inode/chardevice";
    case S_IFBLK: return "inode/blockdevice";
    case S_IFSOCK: return "inode/socket";
    default: return nullptr;
    }
}

std::string extensionOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot <= slash + 1)) return {};
    return path.substr(dot + 1);
}

}  // namespace

ColumnReader::ColumnReader(const KRootItem& root, std::uint32_t columns, bool labels,
                           const std::atomic<bool>* cancelled)
    : m_root(root), m_columns(columns), m_labels(labels), m_cancelled(cancelled) {}

unsigned ColumnReader::statFields() const {
    unsigned fields = platform::kStatBasic;
    if (m_columns & kColumnCreationDate) fields |= platform::kStatBirthTime;
    if (m_columns & kColumnOpeningDate) fields |= platform::kStatAccessTime;
    return fields;
}

std::optional<int> ColumnReader::labelNumberOfTags(const std::vector<std::string>& tags) {
    for (const std::string& tag : tags)
        for (int i = 0; i < 7; ++i)
            if (tag == kLabelColours[i]) return i + 1;
    return std::nullopt;
}

QString ColumnReader::joinedTags(const std::vector<std::string>& tags) {
    QStringList names;
    for (const std::string& tag : tags) names << QString::fromUtf8(tag.data(), static_cast<qsizetype>(tag.size()));
    return names.join(QStringLiteral(", "));
}

void ColumnReader::copyColumns(const KItem& from, KItem& to, int side) {
    ItemExtras* source = const_cast<ItemExtras*>(from.extrasIfAny());
    if (!source) return;
    SideColumns f = columnsOf(*source, side);
    SideColumns t = columnsOf(to.extras(), side);
    t.created = f.created;
    t.opened = f.opened;
    t.added = f.added;
    t.kind = f.kind;
    t.tags = f.tags;
    t.digest = f.digest;
    t.label = f.label;
}

void ColumnReader::AddColumns(KItem& node, const std::string& path, const platform::EntryStat& st, int side) {
    if (!active()) return;
    if (const KSnapshot* snapshot = m_root.snapshotFor(side)) {
        if (const KSnapURL* entry = snapshot->entryAt(path)) addFromSnapshot(node, *entry, *snapshot, side);
        return;
    }
    SideColumns c = columnsOf(node.extras(), side);
    // Linux records no date an entry was added to its folder.
    if (m_columns & kColumnDateAdded) c.added = platform::kNoTime;
    if (m_columns & kColumnCreationDate) c.created = st.btimeNs;
    if (m_columns & kColumnOpeningDate) c.opened = st.atimeNs;
    if (m_columns & kColumnKind) c.kind = kindOf(path, st);
    std::optional<std::vector<std::string>> tags;
    if ((m_columns & kColumnTags) || m_labels) tags = platform::readTags(path, false);
    if (m_columns & kColumnTags) c.tags = tags ? joinedTags(*tags) : QStringLiteral("");
    if (m_labels) c.label = tags ? labelNumberOfTags(*tags).value_or(0) : 0;
    if (m_columns & kColumnDigest) c.digest = digestOf(path, st);
}

void ColumnReader::AddColumns(KItem& node, const std::string& path, int side) {
    if (!active()) return;
    if (const KSnapshot* snapshot = m_root.snapshotFor(side)) {
        if (const KSnapURL* entry = snapshot->entryAt(path)) addFromSnapshot(node, *entry, *snapshot, side);
        return;
    }
    platform::EntryStat st;
    if (m_root.fileSystem().statPath(path, false, st, statFields()) != 0) return;
    AddColumns(node, path, st, side);
}

void ColumnReader::addFromSnapshot(KItem& node, const KSnapURL& entry, const KSnapshot& snapshot, int side) {
    SideColumns c = columnsOf(node.extras(), side);
    if (m_columns & kColumnDateAdded) c.added = platform::kNoTime;
    if (m_columns & kColumnCreationDate) c.created = recordedDate(entry.iCreDate);
    if (m_columns & kColumnOpeningDate) c.opened = recordedDate(entry.iAccDate);
    if (m_columns & kColumnKind) {
        const auto& types = snapshot.types();
        const bool known = entry.utiIndex >= 0 && static_cast<std::size_t>(entry.utiIndex) < types.size();
        c.kind = known ? kindOfMimeName(types[static_cast<std::size_t>(entry.utiIndex)]) : QStringLiteral("");
    }
    if (m_columns & kColumnTags) c.tags = entry.iTags ? joinedTags(*entry.iTags) : QStringLiteral("");
    if (m_labels) c.label = entry.iColorNum;
    if (m_columns & kColumnDigest) c.digest = QString::fromStdString(entry.md5Hex());
}

QString ColumnReader::kindOfMimeName(const std::string& mimeName) {
    auto it = m_kindByMimeName.find(mimeName);
    if (it != m_kindByMimeName.end()) return it->second;
    static const QMimeDatabase database;
    const QString kind = database.mimeTypeForName(QString::fromStdString(mimeName)).comment();
    m_kindByMimeName.emplace(mimeName, kind);
    return kind;
}

QString ColumnReader::kindOf(const std::string& path, const platform::EntryStat& st) {
    switch (st.type) {
    case platform::EntryType::Folder: return kindOfMimeName("inode/directory");
    case platform::EntryType::Symlink: return kindOfMimeName("inode/symlink");
    case platform::EntryType::Other:
        if (const char* special = mimeNameOfSpecialFile(st.mode)) return kindOfMimeName(special);
        break;
    case platform::EntryType::File: break;
    }
    // By name only: reading every file's first bytes would read the whole tree twice.
    const std::string extension = extensionOf(path);
    auto it = m_kindByExtension.find(extension);
    if (it != m_kindByExtension.end()) return it->second;
    static const QMimeDatabase database;
    const QString kind = database.mimeTypeForFile(QFile::decodeName(path.c_str()), QMimeDatabase::MatchExtension).comment();
    m_kindByExtension.emplace(extension, kind);
    return kind;
}

QString ColumnReader::digestOf(const std::string& path, const platform::EntryStat& st) {
    if (st.type == platform::EntryType::Folder) return QStringLiteral("");
    QCryptographicHash hash(QCryptographicHash::Md5);
    const int error = m_root.fileSystem().readContents(
        path, true, [&hash](const char* data, std::size_t size) { hash.addData(QByteArrayView(data, static_cast<qsizetype>(size))); },
        m_cancelled);
    if (error != 0) return QStringLiteral("");
    return QString::fromLatin1(hash.result().toHex());
}

bool ColumnReader::RefreshColumns(KItem& top) {
    std::vector<KItem*> pending{&top};
    while (!pending.empty()) {
        if (cancelled()) return false;
        KItem* node = pending.back();
        pending.pop_back();
        for (int side : {kSideLeft, kSideRight}) {
            if (!node->hasSide(side)) continue;
            const std::string path = node->PathForSide(side);
            if (!path.empty()) AddColumns(*node, path, side);
        }
        for (KItem* child : node->iChildren()) pending.push_back(child);
    }
    return true;
}

}  // namespace qv
