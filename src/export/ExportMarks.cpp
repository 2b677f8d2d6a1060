#include "export/ExportMarks.h"

#include "engine/KItem.h"

#include <cstring>

namespace qv {

const char* stateMark(const KItem& item, bool cmpContents) {
    switch (item.iState) {
    case kStateNotCompared: return "?";
    case kStateEqual: {
        // "==" promises the bytes match: either they were read, or there are none.
        const bool knownEmpty = item.hasSide(kSideLeft) && item.iSizeReady && item.iSize1 == 0;
        return cmpContents || knownEmpty ? "==" : "=";
    }
    case kStateDatesDiffer:
        // With contents compared, files of equal contents differing only by date are equal.
        return cmpContents && !item.iDir1 && !item.iDir2 ? "==" : "!=";
    case kStateOnlyLeft: return "<-";
    case kStateOnlyRight: return "->";
    case kStateNoEntry: return "!";
    case kStateRsrcDiffers: return "R";
    case kStateTagsDiffer: return "T";
    default:
        // The scan's own transient mark means the pair is not judged yet.
        return item.iState < 0 ? "?" : "!=";
    }
}

namespace {

bool containsDelimiter(std::string_view text, std::string_view delimiter) {
    if (delimiter.empty() || text.empty()) return false;
    if (delimiter.size() == 1) return std::memchr(text.data(), delimiter[0], text.size()) != nullptr;
    return text.find(delimiter) != std::string_view::npos;
}

bool hasBreakingCharacter(std::string_view text) {
    for (char c : text)
        if (c == '"' || c == '\n' || c == '\r') return true;
    return false;
}

bool opensFormula(std::string_view name) {
    if (name.empty()) return false;
    switch (name.front()) {
    case '=': case '+': case '-': case '@': case '\t': case '\r': return true;
    default: return false;
    }
}

void appendQuotedPart(std::string& out, std::string_view text) {
    for (char c : text) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
}

}  // namespace

bool fieldNeedsQuotes(std::string_view text, std::string_view delimiter) {
    if (delimiter.size() == 1) {   // the usual case, in one pass
        const char d = delimiter[0];
        for (char c : text)
            if (c == d || c == '"' || c == '\n' || c == '\r') return true;
        return false;
    }
    return hasBreakingCharacter(text) || containsDelimiter(text, delimiter);
}

void appendField(std::string& out, std::string_view text, std::string_view delimiter, bool forceQuotes) {
    if (!forceQuotes && !fieldNeedsQuotes(text, delimiter)) {
        out.append(text);
        return;
    }
    out.push_back('"');
    appendQuotedPart(out, text);
    out.push_back('"');
}

void appendNameField(std::string& out, std::string_view leading, std::string_view name,
                     std::string_view delimiter, bool forceQuotes) {
    const bool apostrophe = leading.empty() && opensFormula(name);
    const bool quoted = forceQuotes || fieldNeedsQuotes(leading, delimiter) || fieldNeedsQuotes(name, delimiter);
    if (!quoted) {
        out.append(leading);
        if (apostrophe) out.push_back('\'');
        out.append(name);
        return;
    }
    out.push_back('"');
    appendQuotedPart(out, leading);
    if (apostrophe) out.push_back('\'');
    appendQuotedPart(out, name);
    out.push_back('"');
}

}  // namespace qv
