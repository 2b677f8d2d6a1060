// A comparison of two files from start to result, as the file tab runs it:
// which pairs are refused, the kind of comparison chosen, the hex view for
// what is not text, line endings, metadata, failures and cancelling.

#include "filecompare/FileComparison.h"

#include "support/TempTree.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace qv;
using qv::test::TempTree;

namespace {

QString q(const std::string& path) { return QFile::decodeName(path.c_str()); }

}  // namespace

TEST(FileComparisonTest, PairsThatCannotBeComparedAreRefusedWithTheReason) {
    TempTree t;
    t.fileWithText("a.txt", "a\n");
    t.fileWithText("b.txt", "b\n");
    t.folder("dir");
    t.link("link-to-a.txt", t.path("a.txt"));
    EXPECT_STREQ(FileComparison::CanCompareFile1("", q(t.path("b.txt"))), "SelCmpDirs2");
    EXPECT_STREQ(FileComparison::CanCompareFile1(q(t.path("gone.txt")), q(t.path("b.txt"))), "leftFileDontExist");
    EXPECT_STREQ(FileComparison::CanCompareFile1(q(t.path("a.txt")), q(t.path("gone.txt"))), "rightFileDontExist");
    EXPECT_STREQ(FileComparison::CanCompareFile1(q(t.path("a.txt")), q(t.path("dir"))), "leftRightNotFile");
    EXPECT_STREQ(FileComparison::CanCompareFile1(q(t.path("a.txt")), q(t.path("link-to-a.txt"))), "sameFiles");
    EXPECT_EQ(FileComparison::CanCompareFile1(q(t.path("a.txt")), q(t.path("b.txt"))), nullptr);
}

TEST(FileComparisonTest, TextNotUtf8FallsBackToHexAndLineEndingsAloneAreNamed) {
    TempTree t;
    t.fileWithText("crlf.txt", "one\r\ntwo\r\n");
    t.fileWithText("lf.txt", "one\ntwo\n");
    t.fileWithText("latin1.txt", std::string("caf\xe9\n"));
    t.fileWithText("utf8.txt", "café\n");

    auto r = FileComparison::run(q(t.path("crlf.txt")), q(t.path("lf.txt")), FileCompareType::Automatic);
    EXPECT_EQ(r->mode, FileCompareMode::Text);
    EXPECT_TRUE(r->equal);
    EXPECT_TRUE(r->equalApartFromLineEnds);
    EXPECT_EQ(r->resultCode, FileCompareRun::kEqual);
    ASSERT_TRUE(r->parser);
    EXPECT_TRUE(r->parser->iZmiany().empty());

    r = FileComparison::run(q(t.path("lf.txt")), q(t.path("lf.txt")), FileCompareType::Text);
    EXPECT_TRUE(r->equal);
    EXPECT_FALSE(r->equalApartFromLineEnds);

    r = FileComparison::run(q(t.path("latin1.txt")), q(t.path("utf8.txt")), FileCompareType::Text);
    EXPECT_EQ(r->mode, FileCompareMode::Hex);
    EXPECT_TRUE(r->fellBackToHex);
    EXPECT_FALSE(r->parser);
    ASSERT_TRUE(r->hex);
    EXPECT_FALSE(r->equal);
    EXPECT_EQ(r->changeCount(), 1u);

    r = FileComparison::run(q(t.path("lf.txt")), q(t.path("crlf.txt")), FileCompareType::Quick);
    EXPECT_EQ(r->mode, FileCompareMode::Quick);
    EXPECT_FALSE(r->equal);
    EXPECT_FALSE(r->message.contains(q(t.root())));   // the tool's words name the files, not their folders
    EXPECT_EQ(r->changeCount(), 0u);
}

TEST(FileComparisonTest, EqualContentsAreCheckedForTagsAndAttributes) {
    TempTree t;
    t.fileWithText("a.bin", "same");
    t.fileWithText("b.bin", "same");
    auto r = FileComparison::run(q(t.path("a.bin")), q(t.path("b.bin")), FileCompareType::Binary);
    EXPECT_EQ(r->mode, FileCompareMode::Hex);
    EXPECT_EQ(r->resultCode, FileCompareRun::kEqual);
    t.setAttribute("b.bin", "user.note", "x");
    r = FileComparison::run(q(t.path("a.bin")), q(t.path("b.bin")), FileCompareType::Binary);
    EXPECT_EQ(r->resultCode, FileCompareRun::kEqual | FileCompareRun::kAttributesDiffer);
    t.setTags("a.bin", "Red");
    r = FileComparison::run(q(t.path("a.bin")), q(t.path("b.bin")), FileCompareType::Binary);
    EXPECT_TRUE(r->resultCode & FileCompareRun::kTagsDiffer);
    // Different contents carry no metadata bits.
    t.fileWithText("c.bin", "other");
    r = FileComparison::run(q(t.path("a.bin")), q(t.path("c.bin")), FileCompareType::Binary);
    EXPECT_EQ(r->resultCode, 0);
}

TEST(FileComparisonTest, AFileThatVanishedOrACancelledRunGivesNoResultAndNoCrash) {
    TempTree t;
    t.fileWithText("a.txt", "a\n");
    for (FileCompareType type : {FileCompareType::Text, FileCompareType::Binary}) {
        const auto r = FileComparison::run(q(t.path("a.txt")), q(t.path("gone.txt")), type);
        EXPECT_TRUE(r->failed) << int(type);
        EXPECT_FALSE(r->message.isEmpty()) << int(type);
        EXPECT_FALSE(r->equal);
    }
    std::atomic<bool> cancel{true};
    const auto r = FileComparison::run(q(t.path("a.txt")), q(t.path("a.txt")), FileCompareType::Text, &cancel);
    EXPECT_TRUE(r->cancelled);
    EXPECT_EQ(r->resultCode, 0);
}
