#pragma once
// One comparison of two files: choosing text or binary, normalising line
// endings, then the line diff, the hex view or the quick equality check.

#include "filecompare/KDiffParser.h"
#include "filecompare/KHexDiff.h"

#include <QString>
#include <QTemporaryFile>

#include <memory>
#include <optional>
#include <vector>

namespace qv {

enum class FileCompareType { Automatic = 0, Text = 1, Binary = 2, Quick = 3 };

class FileCompareRun {
public:
    // Only the start of a file is sniffed: it is text unless a zero byte comes
    // before the sample's last byte. Empty or unreadable files are not text.
    static constexpr qint64 kSniffBytes = 16384;

    static bool IsThisTextFile(const QString& path);
    // Text or binary for the automatic type: the left file's extension (the
    // right one's when the left has none) when its MIME type inherits
    // text/plain, else the sniffing of the left file.
    static FileCompareType resolveType(const QString& left, const QString& right, FileCompareType type);

    // The path to compare: the file itself, or a temporary copy with CR LF
    // turned into LF (or lone CR into LF) when the file's start has them.
    // Nothing when no temporary can be made.
    std::optional<QString> CheckTheFile(const QString& path);

    struct QuickResult {
        bool started = false;
        bool equal = false;
        QString message;   // the tool's words, with every path replaced by the file's name
    };
    static QuickResult quickCheck(const QString& left, const QString& right);

    struct UnifiedResult {
        bool started = false;
        bool equal = false;
        QByteArray output;   // the unified diff, as patch reads it
    };
    // A unified diff of the files' own bytes (line endings included) with
    // `context` lines around each change, its header naming the files by
    // the given labels, made by the platform's diff.
    static UnifiedResult unifiedDiff(const QString& left, const QString& right, const QString& leftLabel,
                                     const QString& rightLabel, int context);
    // For two files of equal contents: bit 0 set, plus 2 when their extended
    // attributes differ (tags aside) and 4 when their tags differ.
    static constexpr int kEqual = 1, kAttributesDiffer = 2, kTagsDiffer = 4;
    static int CompareMetadataFile(const QString& file1, const QString& file2);

private:
    std::vector<std::unique_ptr<QTemporaryFile>> m_temporaries;   // removed with the run
};

}  // namespace qv
