#include "filecompare/FileComparison.h"

#include "base/Messages.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>

namespace qv {
namespace {

bool isCancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

std::string bytesOf(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The hex comparison, the text comparison's fallback as well.
void compareAsHex(FileComparisonResult& result, const std::atomic<bool>* cancel) {
    result.hex = std::make_unique<HexPages>();
    QString error;
    switch (result.hex->compare(result.paths[0], result.paths[1], result.equal, error, cancel)) {
        case KHexDiff::Outcome::Done: result.mode = FileCompareMode::Hex; break;
        case KHexDiff::Outcome::Cancelled: result.cancelled = true; break;
        case KHexDiff::Outcome::Failed:
            result.failed = true;
            result.message = error;
            break;
    }
}

// The text comparison; false when the files are to be shown as hex instead.
bool compareAsText(FileComparisonResult& result, const std::atomic<bool>* cancel) {
    result.run = std::make_unique<FileCompareRun>();
    const auto left = result.run->CheckTheFile(result.paths[0]);
    const auto right = left ? result.run->CheckTheFile(result.paths[1]) : std::nullopt;
    if (!left || !right) {
        result.failed = true;
        result.message = Messages::format("fcTempFailed", left ? result.paths[1] : result.paths[0]);
        return true;
    }
    if (isCancelled(cancel)) {
        result.cancelled = true;
        return true;
    }
    result.parser = std::make_unique<KDiffParser>();
    result.parser->setCancelFlag(cancel);
    QString error;
    bool equal = false;
    const KDiffParser::Outcome outcome = result.parser->ParseDiffFile1(*left, *right, equal, error);
    result.parser->setCancelFlag(nullptr);
    switch (outcome) {
        case KDiffParser::Outcome::Done: break;
        case KDiffParser::Outcome::NotText:
            result.parser.reset();
            result.fellBackToHex = true;
            return false;
        case KDiffParser::Outcome::Cancelled:
            result.cancelled = true;
            return true;
        case KDiffParser::Outcome::Failed:
            result.failed = true;
            result.message = error;
            return true;
    }
    result.mode = FileCompareMode::Text;
    result.equal = equal;
    if (equal) {
        // Equal texts whose bytes differ: the line endings (or a byte-order mark) tell them apart.
        const platform::ContentResult bytes = platform::systemFileSystem().compareContents(
            bytesOf(result.paths[0]), bytesOf(result.paths[1]), platform::PairKinds::Unseen, cancel, {});
        result.equalApartFromLineEnds = bytes == platform::ContentResult::Different;
    }
    return true;
}

}  // namespace

std::uint64_t FileComparisonResult::changeCount() const {
    if (parser) return parser->iZmiany().size();
    if (hex) return hex->changeCount();
    return 0;
}

const char* FileComparison::CanCompareFile1(const QString& left, const QString& right) {
    if (left.isEmpty() || right.isEmpty()) return "SelCmpDirs2";
    const QFileInfo l(left), r(right);
    if (!l.exists()) return "leftFileDontExist";
    if (!r.exists()) return "rightFileDontExist";
    if (!l.isFile() || !r.isFile()) return "leftRightNotFile";
    if (l.canonicalFilePath() == r.canonicalFilePath()) return "sameFiles";
    return nullptr;
}

std::unique_ptr<FileComparisonResult> FileComparison::run(const QString& left, const QString& right,
                                                          FileCompareType type, const std::atomic<bool>* cancel) {
    auto result = std::make_unique<FileComparisonResult>();
    result->paths[0] = left;
    result->paths[1] = right;
    result->stamps[0] = platform::FileStamp::of(bytesOf(left));
    result->stamps[1] = platform::FileStamp::of(bytesOf(right));
    type = FileCompareRun::resolveType(left, right, type);
    if (isCancelled(cancel)) {
        result->cancelled = true;
        return result;
    }
    if (type == FileCompareType::Quick) {
        const FileCompareRun::QuickResult quick = FileCompareRun::quickCheck(left, right);
        result->mode = FileCompareMode::Quick;
        result->equal = quick.equal;
        result->message = quick.started ? quick.message : Messages::text("fcQuickError");
    } else if (type != FileCompareType::Text || !compareAsText(*result, cancel)) {
        compareAsHex(*result, cancel);
    }
    if (isCancelled(cancel)) result->cancelled = true;
    // The metadata of the files as they are, not of a normalised copy.
    if (result->equal && !result->cancelled && !result->failed)
        result->resultCode = FileCompareRun::CompareMetadataFile(left, right);
    return result;
}

}  // namespace qv
