// The optional columns as the scan reads them from real folders, checked
// against what stat(1) and md5sum(1) say and against the tag attribute.

#include "engine/ColumnReader.h"
#include "engine/KRootItem.h"
#include "support/FaultyFileSystem.h"
#include "support/RunQuorvane.h"
#include "support/ScanHarness.h"
#include "support/TempTree.h"

#include <QMimeDatabase>
#include <QProcess>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

constexpr std::uint32_t kAllColumns = kColumnCreationDate | kColumnOpeningDate | kColumnKind | kColumnTags |
                                      kColumnDigest | kColumnDateAdded;

QString output(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(10000)) << program.toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// A time as stat(1) prints it with nine decimals ("%.9W", "%.9X"); 0 means unknown.
std::int64_t statTime(const std::string& path, const char* format) {
    const QString text = output(QStringLiteral("stat"), {QStringLiteral("-c"), QString::fromLatin1(format),
                                                         QString::fromStdString(path)});
    const QStringList parts = text.split('.');
    const std::int64_t seconds = parts.value(0).toLongLong();
    const std::int64_t fraction = parts.value(1).leftJustified(9, '0').toLongLong();
    if (seconds == 0 && fraction == 0) return platform::kNoTime;
    return seconds * 1'000'000'000LL + fraction;
}

QString md5sum(const std::string& path) {
    return output(QStringLiteral("md5sum"), {QString::fromStdString(path)}).section(' ', 0, 0);
}

QString kindOf(const char* mimeName) { return QMimeDatabase().mimeTypeForName(QString::fromLatin1(mimeName)).comment(); }

TEST(ColumnReaderTest, BothSidesOfALiveScanMatchStatMd5sumAndTheTags) {
    TempTree left, right;
    left.fileWithText("doc.txt", "left text\n");
    left.setTags("doc.txt", "Work,Red");
    right.fileWithText("doc.txt", "other text\n");
    right.setTags("doc.txt", "Work");
    left.folder("sub");
    right.folder("sub");
    left.fileWithText("only.pdf", "%PDF");
    // Reading a file for its digest may move its access time: take the times first.
    const std::int64_t created1 = statTime(left.path("doc.txt"), "%.9W");
    const std::int64_t opened1 = statTime(left.path("doc.txt"), "%.9X");
    const std::int64_t opened2 = statTime(right.path("doc.txt"), "%.9X");

    RootSetup setup;
    setup.columns = kAllColumns;
    setup.colorLabels = true;
    auto run = scanFolders(left.root(), right.root(), {}, setup);
    const ItemExtras* doc = run->node("doc.txt")->extrasIfAny();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->iMD51, md5sum(left.path("doc.txt")));
    EXPECT_EQ(doc->iMD52, md5sum(right.path("doc.txt")));
    EXPECT_EQ(doc->iTags1, QStringLiteral("Work, Red"));
    EXPECT_EQ(doc->iTags2, QStringLiteral("Work"));
    EXPECT_EQ(doc->iTagNumber1, 6);   // Red, the sixth label colour, though not the first tag
    EXPECT_EQ(doc->iTagNumber2, 0);   // read: no label colour among its tags
    EXPECT_EQ(doc->iDateC1, created1);
    EXPECT_EQ(doc->iDateO1, opened1);
    EXPECT_EQ(doc->iDateO2, opened2);
    EXPECT_EQ(doc->iDateA1, platform::kNoTime);
    EXPECT_EQ(doc->iKind1, kindOf("text/plain"));
    EXPECT_EQ(doc->iKind2, kindOf("text/plain"));

    const ItemExtras* sub = run->node("sub")->extrasIfAny();
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->iKind1, kindOf("inode/directory"));
    EXPECT_TRUE(sub->iMD51.isEmpty());
    EXPECT_FALSE(sub->iMD51.isNull());   // read, and empty for a folder
    EXPECT_EQ(sub->iTags2, QStringLiteral(""));

    // A left-only entry has its left columns and nothing on the right.
    const ItemExtras* only = run->node("only.pdf")->extrasIfAny();
    ASSERT_NE(only, nullptr);
    EXPECT_EQ(only->iMD51, md5sum(left.path("only.pdf")));
    EXPECT_TRUE(only->iMD52.isNull());
    EXPECT_EQ(only->iKind1, kindOf("application/pdf"));

    // The root carries its folders' own columns.
    const ItemExtras* root = run->root->extrasIfAny();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->iKind1, kindOf("inode/directory"));

    // Without optional columns no node grows a side structure for them.
    auto plain = scanFolders(left.root(), right.root());
    for (const char* path : {"doc.txt", "sub", "only.pdf"}) EXPECT_EQ(plain->node(path)->extrasIfAny(), nullptr) << path;
}

TEST(ColumnReaderTest, AFieldThatCannotBeReadStaysEmptyAndTheRunGoesOn) {
    TempTree left, right;
    left.fileWithText("secret", "locked away");
    right.fileWithText("secret", "locked away");
    left.fileWithText("open", "readable");
    right.fileWithText("open", "readable");
    FaultyFileSystem fs;
    fs.failReading(left.path("secret"));
    fs.noBirthTimes = true;
    RootSetup setup;
    setup.columns = kColumnDigest | kColumnCreationDate | kColumnOpeningDate;
    auto run = scanFolders(left.root(), right.root(), {}, setup, &fs);
    EXPECT_FALSE(run->scanner->isCancelled());
    EXPECT_EQ(run->root->iState, kStateEqual);

    const ItemExtras* secret = run->node("secret")->extrasIfAny();
    ASSERT_NE(secret, nullptr);
    EXPECT_EQ(secret->iMD51, QStringLiteral(""));
    EXPECT_EQ(secret->iMD52, md5sum(right.path("secret")));
    EXPECT_EQ(secret->iDateC1, platform::kNoTime);
    EXPECT_NE(secret->iDateO1, platform::kNoTime);
    EXPECT_EQ(run->node("open")->extrasIfAny()->iMD51, md5sum(left.path("open")));
}

TEST(ColumnReaderTest, ASnapshotSideAnswersFromItsRecordedEntries) {
    TempTree left, right, store;
    left.fileWithText("a.txt", "as recorded");
    left.setTags("a.txt", "Blue");
    right.fileWithText("a.txt", "as recorded");
    const QString recorded = md5sum(left.path("a.txt"));
    const std::int64_t created = statTime(left.path("a.txt"), "%.9W");
    const std::string snapshot = store.path("left.qvss");
    ASSERT_EQ(runQuorvane({"snapshot", "record", "--md5", QString::fromStdString(left.root()),
                           QString::fromStdString(snapshot)}).exitCode, 0);
    // The live folder moves on; the snapshot side must not look at it.
    left.fileWithText("a.txt", "changed since");
    left.setTags("a.txt", "Green");

    RootSetup setup;
    setup.columns = kAllColumns;
    setup.colorLabels = true;
    auto run = scanFolders(snapshot, right.root(), {}, setup);
    const ItemExtras* a = run->node("a.txt")->extrasIfAny();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->iMD51, recorded);
    EXPECT_EQ(a->iMD52, md5sum(right.path("a.txt")));
    EXPECT_EQ(a->iTags1, QStringLiteral("Blue"));
    EXPECT_EQ(a->iTagNumber1, 4);
    EXPECT_EQ(a->iKind1, kindOf("text/plain"));
    // Recorded dates keep whole seconds.
    if (created != platform::kNoTime) {
        EXPECT_EQ(a->iDateC1, created / 1'000'000'000LL * 1'000'000'000LL);
    }
}

TEST(ColumnReaderTest, LabelNumbersFollowTheColourOrder) {
    EXPECT_EQ(ColumnReader::labelNumberOfTags({"Gray"}), 1);
    EXPECT_EQ(ColumnReader::labelNumberOfTags({"Project", "Orange", "Gray"}), 7);
    EXPECT_FALSE(ColumnReader::labelNumberOfTags({"red", "Work"}).has_value());
    EXPECT_EQ(ColumnReader::joinedTags({"a", "b c"}), QStringLiteral("a, b c"));
}

}  // namespace
}  // namespace qv::test
