#pragma once
// One comparison of two files from start to result, as a window runs it on
// its worker: the kind of comparison is chosen (text, hex or the quick
// check), line endings are normalised, a file that is not UTF-8 text falls
// back to the hex view, and files of equal contents are checked for
// metadata differences.

#include "filecompare/FileCompareRun.h"
#include "filecompare/HexPages.h"
#include "filecompare/KDiffParser.h"
#include "platform/FileStamp.h"

#include <QString>

#include <atomic>
#include <memory>

namespace qv {

// What the last comparison made; the values are the parser's iMode.
enum class FileCompareMode { None = -1, Quick = 0, Hex = 1, Text = 2 };

struct FileComparisonResult {
    QString paths[2];          // the files as given
    platform::FileStamp stamps[2];       // as they were before they were read
    FileCompareMode mode = FileCompareMode::None;
    bool cancelled = false;
    bool failed = false;       // no result: `message` says why
    bool equal = false;        // the contents
    int resultCode = 0;        // FileCompareRun::CompareMetadataFile when equal, else 0
    bool fellBackToHex = false;       // asked for text, a file was not UTF-8
    bool equalApartFromLineEnds = false;   // the texts are equal, the bytes are not
    QString message;           // the quick check's words, or why the comparison failed

    std::unique_ptr<FileCompareRun> run;     // keeps the normalised copies
    std::unique_ptr<KDiffParser> parser;     // a text comparison's rows and changes
    std::unique_ptr<HexPages> hex;           // a hex comparison's differences

    // The number of changes (0 after a quick check).
    std::uint64_t changeCount() const;
};

class FileComparison {
public:
    // Why two paths cannot be compared as files (a message key), or nullptr
    // when they can: both set, two different files that exist.
    static const char* CanCompareFile1(const QString& left, const QString& right);

    // Runs the whole comparison; `cancel` is polled between and inside the steps.
    static std::unique_ptr<FileComparisonResult> run(const QString& left, const QString& right, FileCompareType type,
                                                     const std::atomic<bool>* cancel = nullptr);
};

}  // namespace qv
