#include "snapshot/SnapshotJsonReader.h"

#include "base/InputLimits.h"
#include "snapshot/KSnapshot.h"
#include "snapshot/lzfse/Lzfse.h"

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <cctype>
#include <limits>
#include <string_view>
#include <utility>

namespace qv {
namespace {

bool parseMD5(std::string_view hex, std::array<std::uint8_t, 16>& out) {
    if (hex.size() != 32) return false;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < 16; ++i) {
        const int hi = nibble(hex[2 * i]), lo = nibble(hex[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        out[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return true;
}

// The text of a string as SurrogateEscapes handed it on, with each NUL and
// the two hex digits after it turned back into the byte they stand for.
std::string restoredBytes(std::string_view text) {
    if (text.find('\0') == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\0' || i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += text[i];
            continue;
        }
        out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
        i += 2;
    }
    return out;
}

std::string lastComponent(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const std::size_t slash = p.rfind('/');
    return slash == std::string::npos || p.size() == 1 ? p : p.substr(slash + 1);
}

// Events of the JSON parser turned into entries. Unknown keys are passed
// over; a value of an unexpected type is ignored (the key reads as missing).
class Builder final : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Builder> {
public:
    explicit Builder(KSnapshot& snapshot) : m_snapshot(snapshot) {}

    bool Null() { return value(); }
    bool Bool(bool v) {
        if (KSnapURL* e = current()) {
            if (m_key == "fol") e->iFolder = v;
            else if (m_key == "hid") e->iHidden = v;
            else if (m_key == "als") e->iAlias = v;
            else if (m_key == "hasMD5" && m_depth.size() == 1) m_rootHasMD5 = v;
        }
        return value();
    }
    bool Int(int v) { return number(v < 0 ? 0 : static_cast<std::uint64_t>(v)); }
    bool Uint(unsigned v) { return number(v); }
    bool Int64(std::int64_t v) { return number(v < 0 ? 0 : static_cast<std::uint64_t>(v)); }
    bool Uint64(std::uint64_t v) { return number(v); }
    bool Double(double v) {
        // Sizes and counts are whole and not negative; beyond the largest one, the largest.
        constexpr double kPastLargest = 18446744073709551616.0;
        return number(v <= 0 ? 0 : v >= kPastLargest ? std::numeric_limits<std::uint64_t>::max() : static_cast<std::uint64_t>(v));
    }
    bool String(const char* text, rapidjson::SizeType length, bool) {
        const std::string_view v(text, length);
        if (m_inTags) {
            if (KSnapURL* e = current()) {
                if (!e->iTags) e->iTags = std::make_unique<std::vector<std::string>>();
                e->iTags->push_back(restoredBytes(v));
            }
            return true;
        }
        if (KSnapURL* e = current()) {
            if (m_key == "pth") {
                const std::string path = restoredBytes(v);
                e->iName = m_snapshot.keepName(lastComponent(path));
                if (m_depth.size() == 1) m_rootPath = path;
            }
            else if (m_key == "lnk") e->iLinkTarget = m_snapshot.keepName(restoredBytes(v));
            else if (m_key == "dtC") e->iCreDate = parseIsoDate(v);
            else if (m_key == "dtM") e->iModDate = parseIsoDate(v);
            else if (m_key == "dtA") e->iAccDate = parseIsoDate(v);
            else if (m_key == "uti") e->utiIndex = m_snapshot.typeIndex(v);
            else if (m_key == "md5") e->hasMD5 = parseMD5(v, e->iMD5);
            else if (m_key == "date" && m_depth.size() == 1) m_date = parseIsoDate(v);
        }
        return value();
    }

    bool StartObject() {
        if (m_skip || (!m_depth.empty() && !m_inChildren)) return skipContainer();
        if (m_depth.size() >= kMaxTreeDepth) {
            m_error = "nested deeper than " + std::to_string(kMaxTreeDepth) + " levels";
            m_errorKey = "snapErrTooDeep";
            return false;
        }
        KSnapURL* entry = m_snapshot.newEntry();
        if (!m_depth.empty()) {
            entry->parent = m_depth.back();
            m_depth.back()->iChildren.push_back(entry);
        } else {
            m_root = entry;
        }
        m_depth.push_back(entry);
        m_inChildren = false;
        return true;
    }
    bool Key(const char* text, rapidjson::SizeType length, bool) {
        if (!m_skip) m_key.assign(text, length);
        return true;
    }
    bool EndObject(rapidjson::SizeType) {
        if (m_skip) return endSkipped();
        m_depth.pop_back();
        m_inChildren = !m_depth.empty();
        m_key.clear();
        return true;
    }
    bool StartArray() {
        if (m_skip) return skipContainer();
        if (!m_depth.empty() && m_key == "chi") {
            m_inChildren = true;
            return true;
        }
        if (!m_depth.empty() && m_key == "tag") {
            m_inTags = true;
            return true;
        }
        return skipContainer();
    }
    bool EndArray(rapidjson::SizeType) {
        if (m_skip) return endSkipped();
        if (m_inTags) m_inTags = false;
        else m_inChildren = false;
        m_key.clear();
        return true;
    }
    // Why the parser stopped at byte `position`, unless this side stopped it.
    void parseFailed(rapidjson::ParseErrorCode code, std::size_t position) {
        if (m_error.empty())
            m_error = "not JSON at byte " + std::to_string(position) + " (" + rapidjson::GetParseError_En(code) + ")";
    }

    KSnapURL* root() const { return m_root; }
    const std::string& rootPath() const { return m_rootPath; }
    bool rootHasMD5() const { return m_rootHasMD5; }
    std::int64_t date() const { return m_date; }
    const std::string& error() const { return m_error; }
    // The message key of the reason the text was refused.
    const char* errorKey() const { return m_errorKey; }

private:
    KSnapURL* current() const { return m_depth.empty() || m_inChildren ? nullptr : m_depth.back(); }
    bool value() {
        if (!m_inTags) m_key.clear();
        return true;
    }
    bool number(std::uint64_t v) {
        if (KSnapURL* e = current()) {
            if (m_key == "siz") e->iDataSize = v;
            else if (m_key == "nfi") e->iNumOfFiles = v;
            else if (m_key == "nfo") e->iNumOfFolders = v;
            else if (m_key == "lnr") e->iColorNum = static_cast<std::uint8_t>(v > 255 ? 0 : v);
        }
        return value();
    }
    bool skipContainer() {
        ++m_skip;
        return true;
    }
    bool endSkipped() {
        --m_skip;
        if (!m_skip) m_key.clear();
        return true;
    }

    KSnapshot& m_snapshot;
    std::vector<KSnapURL*> m_depth;
    KSnapURL* m_root = nullptr;
    std::string m_key, m_error, m_rootPath;
    const char* m_errorKey = "snapErrNotJson";
    bool m_inChildren = false, m_inTags = false, m_rootHasMD5 = false;
    int m_skip = 0;
    std::int64_t m_date = kNoRecordedDate;
};

// The decoder's pieces, in order.
class DecodedPieces {
public:
    explicit DecodedPieces(lzfse::StreamDecoder& decoder) : m_decoder(decoder) {}
    bool next(std::string_view& piece) {
        std::span<const std::uint8_t> chunk;
        if (!m_decoder.next(chunk)) return false;
        piece = std::string_view(reinterpret_cast<const char*>(chunk.data()), chunk.size());
        return true;
    }

private:
    lzfse::StreamDecoder& m_decoder;
};

// A whole text as its one piece.
class TextPiece {
public:
    explicit TextPiece(std::string_view text) : m_text(text) {}
    bool next(std::string_view& piece) {
        if (m_given) return false;
        m_given = true;
        piece = m_text;
        return true;
    }

private:
    std::string_view m_text;
    bool m_given = false;
};

// Names that are not UTF-8 are recorded with a lone surrogate escape per
// undecodable byte ("\udc80" to "\udcff", as the JSON output writes them),
// which the parser refuses. The text reaches the parser with each such escape
// turned into a NUL escape followed by the byte's two hex digits (and a NUL
// into a NUL followed by "00"), which restoredBytes() turns back into the
// bytes. A surrogate that follows a high surrogate is half of a real
// character and passes unchanged. Escapes are rewritten a piece at a time,
// so that the parser reads plain memory character by character: this is the
// stream it reads (Peek and Take a character, '\0' at the end, Tell how many
// were taken).
template <class Pieces>
class EscapedJson {
public:
    using Ch = char;
    explicit EscapedJson(Pieces& pieces) : m_pieces(pieces) {}
    Ch Peek() { return atEnd() ? '\0' : *m_at; }
    Ch Take() {
        if (atEnd()) return '\0';
        ++m_taken;
        return *m_at++;
    }
    std::size_t Tell() const { return m_taken; }
    // Parsing in place writes into the stream; it is not asked for here.
    Ch* PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    std::size_t PutEnd(Ch*) { return 0; }

private:
    bool atEnd() { return m_at == m_end && !refill(); }

    // The next piece rewritten; an escape it cuts short waits for the piece after it.
    bool refill() {
        m_text.clear();
        std::string_view piece;
        while (m_text.empty()) {
            if (!m_pieces.next(piece)) {
                // Cut short by the end: handed on as it is, for the parser to refuse.
                m_text.swap(m_carried);
                break;
            }
            // Rare enough (an escape across two pieces) that joining them costs nothing worth saving.
            const std::string joined = m_carried.empty() ? std::string() : m_carried + std::string(piece);
            const std::string_view in = m_carried.empty() ? piece : std::string_view(joined);
            m_carried.assign(in.substr(rewrite(in, m_text)));
        }
        m_at = m_text.data();
        m_end = m_at + m_text.size();
        return m_at != m_end;
    }

    // Appends `in` rewritten to `out`; returns where an escape cut short by its end starts, or its size.
    std::size_t rewrite(std::string_view in, std::string& out) {
        std::size_t at = 0;
        while (at < in.size()) {
            const std::size_t slash = in.find('\\', at);
            if (slash == std::string_view::npos) {
                out.append(in.substr(at));
                m_afterHigh = false;
                return in.size();
            }
            if (slash > at) m_afterHigh = false;
            out.append(in.substr(at, slash - at));
            if (in.size() - slash < 2) return slash;
            if (in[slash + 1] != 'u') {
                out.append(in.substr(slash, 2));
                m_afterHigh = false;
                at = slash + 2;
                continue;
            }
            if (in.size() - slash < kLongestEscape) return slash;
            const std::string_view hex = in.substr(slash + 2, 4);
            unsigned value = 0;
            const bool isHex = std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
            if (isHex) value = static_cast<unsigned>(std::stoul(std::string(hex), nullptr, 16));
            if (isHex && value >= 0xDC80 && value <= 0xDCFF && !m_afterHigh) out.append("\\u0000").append(hex.substr(2));
            else if (isHex && value == 0) out.append("\\u000000");
            else out.append(in.substr(slash, kLongestEscape));
            m_afterHigh = isHex && value >= 0xD800 && value <= 0xDBFF;
            at = slash + kLongestEscape;
        }
        return in.size();
    }

    static constexpr std::size_t kLongestEscape = 6;   // \uXXXX
    Pieces& m_pieces;
    std::string m_text;      // the piece being read, rewritten
    std::string m_carried;   // the start of an escape the last piece cut short
    const char* m_at = nullptr;
    const char* m_end = nullptr;
    std::size_t m_taken = 0;
    bool m_afterHigh = false;
};

template <class Pieces>
bool parse(Pieces& pieces, Builder& builder) {
    EscapedJson<Pieces> text(pieces);
    rapidjson::Reader reader;
    // Strings are checked as UTF-8: a name that is not was written escaped.
    // The iterative form keeps open containers on the heap: no nesting reaches the stack's end.
    const rapidjson::ParseResult result =
        reader.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag>(text, builder);
    if (result.IsError()) builder.parseFailed(result.Code(), result.Offset());
    return !result.IsError();
}

bool finishReading(KSnapshot& snapshot, Builder& builder, bool ok, std::string* error) {
    if (!ok || !builder.root()) {
        if (!builder.error().empty()) return snapshotFailure(error, builder.errorKey(), builder.error());
        return snapshotFailure(error, "snapErrNotSnapshot", "the top level is not an object");
    }
    KSnapURL* root = builder.root();
    if (builder.rootPath().empty() || builder.rootPath()[0] != '/')
        return snapshotFailure(error, "snapErrNotSnapshot", "no recorded folder path");
    snapshot.setRoot(root, builder.rootPath(), builder.rootHasMD5(), builder.date());
    return true;
}

}  // namespace

bool SnapshotJsonReader::read(lzfse::StreamDecoder& decoder, std::string* error) {
    DecodedPieces pieces(decoder);
    Builder builder(m_snapshot);
    const bool ok = parse(pieces, builder);
    if (decoder.error()) return snapshotFailure(error, "snapErrDamaged", decoder.error());
    return finishReading(m_snapshot, builder, ok, error);
}

bool SnapshotJsonReader::read(std::string_view json, std::string* error) {
    TextPiece piece(json);
    Builder builder(m_snapshot);
    return finishReading(m_snapshot, builder, parse(piece, builder), error);
}

}  // namespace qv
