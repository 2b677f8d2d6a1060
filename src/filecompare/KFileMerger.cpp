#include "filecompare/KFileMerger.h"

#include <QFile>
#include <QStringDecoder>

namespace qv {

namespace {

bool readUtf8(const QString& path, QString& out) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    out = decoder.decode(f.readAll());
    return !decoder.hasError() && f.error() == QFile::NoError;
}

}  // namespace

bool KFileMerger::ReadFiles(const QString& leftPath, const QString& rightPath) {
    QString l, r;
    if (!readUtf8(leftPath, l) || !readUtf8(rightPath, r)) return false;
    SetContent(l.split(QLatin1Char('\n')), r.split(QLatin1Char('\n')));
    return true;
}

void KFileMerger::SetContent(QStringList left, QStringList right) {
    m_leftContent = std::move(left);
    m_rightContent = std::move(right);
    m_mergedContent.clear();
    m_mergedLines.clear();
}

std::optional<QStringList> KFileMerger::MergeWithSelections(const std::vector<std::optional<DiffChunk>>& chunks) {
    m_mergedContent.clear();
    m_mergedContent.reserve(std::max(m_leftContent.size(), m_rightContent.size()));
    m_mergedLines.clear();
    const auto copy = [this](const QStringList& from, std::uint64_t begin, std::uint64_t end, bool flag) {
        end = std::min<std::uint64_t>(end, std::uint64_t(from.size()));
        for (std::uint64_t i = begin; i < end; ++i) {
            m_mergedContent.append(from[qsizetype(i)]);
            m_mergedLines.push_back(flag);
        }
    };
    // A file that ends with a line break splits into one more, empty, piece.
    const auto endsWithBreak = [](const QStringList& lines) { return !lines.isEmpty() && lines.back().isEmpty(); };
    const auto lineCount = [&](const QStringList& lines) { return std::uint64_t(lines.size()) - (endsWithBreak(lines) ? 1 : 0); };
    std::uint64_t nextLeft = 0;
    bool endFromRight = false;   // the last change reaches both files' ends and takes the right side
    for (const auto& chunk : chunks) {
        if (!chunk || chunk->leftRange.location == LineRange::kNotFound) return std::nullopt;
        copy(m_leftContent, nextLeft, chunk->leftRange.location, false);
        if (chunk->isLeftChunk) {
            copy(m_leftContent, chunk->leftRange.location, chunk->leftRange.end(), true);
        } else if (chunk->rightRange.location != LineRange::kNotFound) {
            copy(m_rightContent, chunk->rightRange.location, chunk->rightRange.end(), true);
        }
        nextLeft = std::max(nextLeft, chunk->leftRange.end());
        endFromRight = !chunk->isLeftChunk && chunk->rightRange.location != LineRange::kNotFound &&
                       chunk->leftRange.end() == lineCount(m_leftContent) &&
                       chunk->rightRange.end() == lineCount(m_rightContent);
    }
    copy(m_leftContent, nextLeft, lineCount(m_leftContent), false);
    // Whether the merged file ends with a line break: as the left file, unless
    // its last line came from the right (the tool reports a missing last line
    // break as a change of that line).
    if (endFromRight ? endsWithBreak(m_rightContent) : endsWithBreak(m_leftContent)) {
        m_mergedContent.append(QString());
        m_mergedLines.push_back(endFromRight);
    }
    return m_mergedContent;
}

}  // namespace qv
