#include "snapshot/SnapshotRecorder.h"

#include "base/InputLimits.h"
#include "platform/ExtendedAttributes.h"
#include "platform/FileStream.h"
#include "platform/JsonString.h"
#include "snapshot/KSnapshot.h"

#include <QCryptographicHash>
#include <QFile>
#include <QMimeDatabase>

#include <cerrno>
#include <chrono>
#include <vector>

namespace qv {
namespace {

const char* const kLabelColours[] = {"Gray", "Green", "Purple", "Blue", "Yellow", "Red", "Orange"};

std::int64_t steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string joined(const std::string& folder, std::string_view name) {
    std::string p = folder;
    if (p.empty() || p.back() != '/') p += '/';
    p.append(name);
    return p;
}

void appendKey(std::string& out, const char* key) {
    out += '"';
    out += key;
    out += "\":";
}

// Folder-view files another system leaves in folders, which a snapshot never records.
bool isLeftOut(std::string_view name) { return name == ".DS_Store" || name == "Icon\r"; }

}  // namespace

void appendSnapshotString(std::string& out, std::string_view text) {
    platform::appendJsonString(out, text, {platform::UndecodableBytes::LoneSurrogates, true});
}

std::string md5OfFile(const std::string& path, bool followLinks) {
    QCryptographicHash hash(QCryptographicHash::Md5);
    const auto add = [&hash](const char* data, std::size_t size) { hash.addData(QByteArrayView(data, qsizetype(size))); };
    if (platform::readRegularFile(path, followLinks, add) != 0) return {};
    return hash.result().toHex().toStdString();
}

SnapshotRecorder::SnapshotRecorder(platform::FileSystem& fs, Options options, const std::atomic<bool>* cancelled)
    : m_fs(fs), m_options(options), m_cancelled(cancelled) {}

std::string SnapshotRecorder::typeOf(const std::string& path, const platform::EntryStat& st) {
    if (st.type == platform::EntryType::Folder) return "inode/directory";
    if (st.type == platform::EntryType::Symlink) return "inode/symlink";
    // By name only: reading every file's first bytes would double the walk.
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    const std::string extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)
                                      ? path.substr(dot + 1) : std::string();
    auto it = m_typeByExtension.find(extension);
    if (it != m_typeByExtension.end()) return it->second;
    static const QMimeDatabase database;
    const std::string type =
        database.mimeTypeForFile(QFile::decodeName(path.c_str()), QMimeDatabase::MatchExtension).name().toStdString();
    m_typeByExtension.emplace(extension, type);
    return type;
}

void SnapshotRecorder::writeEntryHead(const std::string& path, const platform::EntryStat& st, bool folder,
                                      std::string& out, std::optional<std::string_view> rawTags) {
    appendKey(out, "pth");
    appendSnapshotString(out, path);
    out += ",\"fol\":";
    out += folder ? "true" : "false";
    out += ",\"fsz\":0,\"hid\":";
    const std::size_t slash = path.rfind('/');
    out += path.size() > slash + 1 && path[slash + 1] == '.' ? "true" : "false";
    out += ",\"als\":";
    out += st.type == platform::EntryType::Symlink ? "true" : "false";
    std::string target;
    if (st.type == platform::EntryType::Symlink && m_fs.readLink(path, target) == 0) {
        out += ",\"lnk\":";
        appendSnapshotString(out, target);
    }
    const std::pair<const char*, std::int64_t> dates[] = {{",\"dtC\":", st.btimeNs}, {",\"dtM\":", st.mtimeNs},
                                                          {",\"dtA\":", st.atimeNs}};
    for (const auto& [key, time] : dates) {
        if (time == platform::kNoTime) continue;
        const std::size_t before = out.size();
        out += key;
        out += '"';
        if (!appendIsoDate(out, time)) {
            out.resize(before);
            continue;
        }
        out += '"';
    }
    if (const auto tags = rawTags ? platform::parseTags(*rawTags) : m_fs.readTags(path, false)) {
        out += ",\"tag\":[";
        int label = 0;
        for (std::size_t i = 0; i < tags->size(); ++i) {
            if (i) out += ',';
            appendSnapshotString(out, (*tags)[i]);
            for (int c = 0; c < 7 && !label; ++c)
                if ((*tags)[i] == kLabelColours[c]) label = c + 1;
        }
        out += ']';
        if (label) out += ",\"lnr\":" + std::to_string(label);
    }
    out += ",\"uti\":";
    appendSnapshotString(out, typeOf(path, st));
}

void SnapshotRecorder::reportProgress() {
    const std::int64_t now = steadyNs();
    if (now - m_lastProgress < 1'000'000'000) return;
    m_lastProgress = now;
    if (m_progress) m_progress(iFiles, iFolders);
}

// Large enough that handing a piece over costs nothing beside writing it.
constexpr std::size_t kSinkPiece = 256 * 1024;

// Tags are read with the listing, relative to the open folder, not by walking each path again.
constexpr unsigned kListedFields = platform::kStatBirthTime | platform::kStatAccessTime | platform::kStatTags;

void SnapshotRecorder::listFolder(const std::string& folder, platform::Listing& listing) {
    if (!m_prefetcher || !m_prefetcher->take(1, folder, listing)) m_fs.listFolder(folder, listing, kListedFields);
}

void SnapshotRecorder::listSubfoldersAhead(const std::string& folder, const platform::Listing& listing) {
    std::vector<platform::ListingPrefetcher::Folder> ahead;
    for (const platform::ListedEntry& e : listing.entries)
        if (e.stat.type == platform::EntryType::Folder && !isLeftOut(listing.name(e)))
            ahead.push_back({1, joined(folder, listing.name(e))});
    if (m_prefetcher && !ahead.empty()) m_prefetcher->request(ahead);
}

bool SnapshotRecorder::SnapshotForFolder(const std::string& folder, std::string& out, Totals& totals,
                                         std::size_t depth) {
    if (cancelled()) return false;
    // Entries deeper than any snapshot may hold are not recorded: the folder is
    // kept, empty, and named in the log, so that every snapshot can be read.
    if (depth + 1 >= kMaxTreeDepth) {
        if (m_log) m_log(folder, ENAMETOOLONG);
        return true;
    }
    platform::Listing listing;
    listFolder(folder, listing);
    listSubfoldersAhead(folder, listing);
    if (listing.folderError && m_log) m_log(folder, listing.folderError);
    for (const platform::ListingError& e : listing.entryErrors)
        if (m_log) m_log(joined(folder, e.name), e.error);
    bool first = true;
    for (const platform::ListedEntry& e : listing.entries) {
        const std::string_view name = listing.name(e);
        if (isLeftOut(name)) continue;
        const std::string path = joined(folder, name);
        const std::optional<std::string_view> rawTags =
            listing.hasTags ? std::optional<std::string_view>(listing.tags(e)) : std::nullopt;
        if (!first) out += ',';
        first = false;
        out += '{';
        if (e.stat.type == platform::EntryType::Folder) {
            writeEntryHead(path, e.stat, true, out, rawTags);
            out += ",\"chi\":[";
            Totals sub;
            if (!SnapshotForFolder(path, out, sub, depth + 1)) return false;
            out += "],\"siz\":" + std::to_string(sub.size) + ",\"nfi\":" + std::to_string(sub.files) +
                   ",\"nfo\":" + std::to_string(sub.folders);
            ++iFolders;
            totals.size += sub.size;
            totals.files += sub.files;
            totals.folders += sub.folders + 1;
        } else {
            writeEntryHead(path, e.stat, false, out, rawTags);
            const std::uint64_t size = static_cast<std::uint64_t>(e.stat.size);
            out += ",\"siz\":" + std::to_string(size);
            if (m_options.calculateMD5) {
                out += ",\"md5\":";
                appendSnapshotString(out, e.stat.type == platform::EntryType::File ? md5OfFile(path, false) : std::string());
            }
            ++iFiles;
            ++totals.files;
            totals.size += size;
        }
        out += '}';
        // The JSON is only ever appended to: what is written is final and can go.
        if (m_sink && out.size() >= kSinkPiece) {
            m_sink(out);
            out.clear();
        }
    }
    reportProgress();
    return !cancelled();
}

bool SnapshotRecorder::record(const std::string& folder, std::string& json, std::int64_t nowNs) {
    platform::EntryStat st;
    if (m_fs.statPath(folder, true, st, platform::kStatBirthTime | platform::kStatAccessTime) != 0 ||
        st.type != platform::EntryType::Folder)
        return false;
    iFiles = iFolders = 0;
    m_lastProgress = steadyNs();
    // Two helpers walk the tree in the order the recording does, folders
    // below folders: listing takes longer than writing and compressing
    // together, for it examines each entry twice (its status, its tags).
    m_prefetcher = std::make_unique<platform::ListingPrefetcher>(&m_fs, nullptr, kListedFields, m_cancelled,
                                                                 platform::ListingPrefetcher::kMaxReady, 2);
    m_prefetcher->requestTree(1, folder);
    json.clear();
    json += '{';
    writeEntryHead(folder, st, true, json);
    json += ",\"chi\":[";
    Totals totals;
    const bool recorded = SnapshotForFolder(folder, json, totals, 0);
    m_prefetcher.reset();
    if (!recorded) return false;
    iDataSize = totals.size;
    json += "],\"siz\":" + std::to_string(totals.size) + ",\"nfi\":" + std::to_string(totals.files) +
            ",\"nfo\":" + std::to_string(totals.folders) + ",\"hasMD5\":" + (m_options.calculateMD5 ? "true" : "false") +
            ",\"date\":\"" + isoDate(nowNs) + "\"}";
    if (m_sink) {
        m_sink(json);
        json.clear();
    }
    return true;
}

}  // namespace qv
