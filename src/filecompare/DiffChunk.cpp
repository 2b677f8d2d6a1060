#include "filecompare/DiffChunk.h"

#include <QString>

namespace qv {

namespace {

bool parseNumber(QStringView text, std::uint64_t& out) {
    if (text.isEmpty()) return false;
    for (QChar c : text)
        if (!c.isDigit() || c.unicode() > 127) return false;
    bool ok = false;
    out = text.toULongLong(&ok);
    return ok;
}

}  // namespace

LineRange DiffChunk::parseRange(QStringView text) {
    const qsizetype comma = text.indexOf(QLatin1Char(','));
    std::uint64_t m = 0, n = 0;
    if (comma < 0) {
        if (parseNumber(text, n) && n > 0) return {n - 1, 1};
        return {};
    }
    if (parseNumber(text.left(comma), m) && parseNumber(text.mid(comma + 1), n) && m > 0 && n + 1 >= m)
        return {m - 1, n - m + 1};
    return {};
}

std::optional<DiffChunk> DiffChunk::parseCommand(QStringView line) {
    qsizetype at = -1;
    for (char letter : {'a', 'd', 'c'}) {
        at = line.indexOf(QLatin1Char(letter));
        if (at >= 0) break;
    }
    if (at < 0) return std::nullopt;
    DiffChunk chunk;
    const QStringView left = line.left(at), right = line.mid(at + 1);
    const char letter = char(line[at].unicode());
    chunk.type = letter == 'a' ? Insertion : letter == 'd' ? Deletion : Change;
    chunk.leftRange = parseRange(left);
    chunk.rightRange = parseRange(right);
    std::uint64_t n = 0;
    if (chunk.type == Insertion && parseNumber(left, n)) chunk.leftRange = {n, 0};
    if (chunk.type == Deletion && parseNumber(right, n)) chunk.rightRange = {n, 0};
    return chunk;
}

}  // namespace qv
