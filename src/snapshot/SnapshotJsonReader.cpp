#include "snapshot/SnapshotJsonReader.h"

#include "base/InputLimits.h"
#include "snapshot/KSnapshot.h"
#include "snapshot/lzfse/Lzfse.h"

#include <nlohmann/json.hpp>

#include <cctype>

namespace qv {
namespace {

bool parseMD5(const std::string& hex, std::array<std::uint8_t, 16>& out) {
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
std::string restoredBytes(const std::string& text) {
    if (text.find('\0') == std::string::npos) return text;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\0' || i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += text[i];
            continue;
        }
        out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
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
class Builder final : public nlohmann::json_sax<nlohmann::json> {
public:
    explicit Builder(KSnapshot& snapshot) : m_snapshot(snapshot) {}

    bool null() override { return value(); }
    bool boolean(bool v) override {
        if (KSnapURL* e = current()) {
            if (m_key == "fol") e->iFolder = v;
            else if (m_key == "hid") e->iHidden = v;
            else if (m_key == "als") e->iAlias = v;
            else if (m_key == "hasMD5" && m_depth.size() == 1) m_rootHasMD5 = v;
        }
        return value();
    }
    bool number_integer(number_integer_t v) override { return number(v < 0 ? 0 : static_cast<std::uint64_t>(v)); }
    bool number_unsigned(number_unsigned_t v) override { return number(v); }
    bool number_float(number_float_t v, const string_t&) override {
        return number(v < 0 ? 0 : static_cast<std::uint64_t>(v));
    }
    bool string(string_t& v) override {
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
    bool binary(binary_t&) override { return value(); }

    bool start_object(std::size_t) override {
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
    bool key(string_t& k) override {
        if (!m_skip) m_key = k;
        return true;
    }
    bool end_object() override {
        if (m_skip) return endSkipped();
        m_depth.pop_back();
        m_inChildren = !m_depth.empty();
        m_key.clear();
        return true;
    }
    bool start_array(std::size_t) override {
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
    bool end_array() override {
        if (m_skip) return endSkipped();
        if (m_inTags) m_inTags = false;
        else m_inChildren = false;
        m_key.clear();
        return true;
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) override {
        m_error = "not JSON at byte " + std::to_string(position) + " (" + e.what() + ")";
        return false;
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

// The decoder's pieces as one run of characters for the parser.
class DecodedBytes {
public:
    explicit DecodedBytes(lzfse::StreamDecoder& decoder) : m_decoder(decoder) {}
    bool available() {
        while (m_index >= m_chunk.size()) {
            if (!m_decoder.next(m_chunk)) return false;
            m_index = 0;
        }
        return true;
    }
    char current() const { return static_cast<char>(m_chunk[m_index]); }
    void advance() { ++m_index; }

private:
    lzfse::StreamDecoder& m_decoder;
    std::span<const std::uint8_t> m_chunk;
    std::size_t m_index = 0;
};

// A whole text as a run of characters for the parser.
class TextBytes {
public:
    explicit TextBytes(std::string_view text) : m_text(text) {}
    bool available() const { return m_index < m_text.size(); }
    char current() const { return m_text[m_index]; }
    void advance() { ++m_index; }

private:
    std::string_view m_text;
    std::size_t m_index = 0;
};

// Names that are not UTF-8 are recorded with a lone surrogate escape per
// undecodable byte ("\udc80" to "\udcff", as the JSON output writes them),
// which the parser refuses. This pass hands it, inside strings, a NUL
// escape followed by the byte's two hex digits instead (and a NUL as a NUL
// followed by "00"), which restoredBytes() turns back into the bytes. A
// surrogate that follows a high surrogate is half of a real character and
// passes unchanged.
template <class Source>
class SurrogateEscapes {
public:
    explicit SurrogateEscapes(Source& source) : m_source(source) {}
    // Plain characters pass straight from the source; only an escape inside
    // a string is taken apart and handed on from a small buffer.
    bool available() {
        if (m_at < m_pending.size()) return true;
        if (!m_source.available()) return false;
        if (m_inString && m_source.current() == '\\') takeEscape();
        return true;
    }
    char current() const { return m_at < m_pending.size() ? m_pending[m_at] : m_source.current(); }
    void advance() {
        if (m_at < m_pending.size()) {
            ++m_at;
            return;
        }
        if (m_source.current() == '"') m_inString = !m_inString;
        m_afterHigh = false;
        m_source.advance();
    }

private:
    void takeEscape() {
        m_pending.assign(1, take());   // the backslash
        m_at = 0;
        if (!m_source.available()) return;
        const char e = take();
        if (e != 'u') {
            m_pending += e;
            m_afterHigh = false;
            return;
        }
        std::string hex;
        while (hex.size() < 4 && m_source.available()) hex += take();
        const unsigned long value = hex.size() == 4 ? std::strtoul(hex.c_str(), nullptr, 16) : 0x10000;
        if (value >= 0xDC80 && value <= 0xDCFF && !m_afterHigh) m_pending = "\\u0000" + hex.substr(2);
        else if (value == 0) m_pending = "\\u000000";
        else m_pending = "\\u" + hex;
        m_afterHigh = value >= 0xD800 && value <= 0xDBFF;
    }
    char take() {
        const char c = m_source.current();
        m_source.advance();
        return c;
    }

    Source& m_source;
    std::string m_pending;   // an escape as the parser is to see it
    std::size_t m_at = 0;    // the next character of m_pending to hand on
    bool m_inString = false, m_afterHigh = false;
};

// An input iterator over a source of characters; a default-made one is the end.
template <class Source>
class CharIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = char;

    CharIterator() = default;
    explicit CharIterator(Source* source) : m_source(source) {}
    char operator*() const { return m_source->current(); }
    CharIterator& operator++() {
        m_source->advance();
        return *this;
    }
    bool operator==(const CharIterator& other) const { return atEnd() == other.atEnd(); }
    bool operator!=(const CharIterator& other) const { return !(*this == other); }

private:
    bool atEnd() const { return !m_source || !m_source->available(); }
    Source* m_source = nullptr;
};

template <class Source>
bool parse(Source& source, Builder& builder) {
    SurrogateEscapes<Source> filtered(source);
    using Iterator = CharIterator<SurrogateEscapes<Source>>;
    return nlohmann::json::sax_parse(Iterator(&filtered), Iterator(), &builder);
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
    DecodedBytes bytes(decoder);
    Builder builder(m_snapshot);
    const bool ok = parse(bytes, builder);
    if (decoder.error()) return snapshotFailure(error, "snapErrDamaged", decoder.error());
    return finishReading(m_snapshot, builder, ok, error);
}

bool SnapshotJsonReader::read(std::string_view json, std::string* error) {
    TextBytes bytes(json);
    Builder builder(m_snapshot);
    return finishReading(m_snapshot, builder, parse(bytes, builder), error);
}

}  // namespace qv
