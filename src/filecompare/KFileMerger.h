#pragma once
// The file made by taking, for every change, the left or the right lines.

#include "filecompare/DiffChunk.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace qv {

class KFileMerger {
public:
    // Reads both files whole as UTF-8 and splits them at "\n" (a final line
    // break leaves an empty last piece, so joining with "\n" gives the file back).
    bool ReadFiles(const QString& leftPath, const QString& rightPath);
    void SetContent(QStringList left, QStringList right);

    // `chunks` in file order, one per change record; an absent chunk stops
    // the merge and gives nothing.
    std::optional<QStringList> MergeWithSelections(const std::vector<std::optional<DiffChunk>>& chunks);

    const QStringList& iMergedContent() const { return m_mergedContent; }
    // Per merged line: true when it comes from a change.
    const std::vector<bool>& iMergedLines() const { return m_mergedLines; }

private:
    QStringList m_leftContent, m_rightContent, m_mergedContent;
    std::vector<bool> m_mergedLines;
};

}  // namespace qv
