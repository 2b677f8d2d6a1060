// The hex view made a page at a time from the files must show exactly what
// the comparison's own pass shows, line for line and mark for mark, and find
// its changes where the pass recorded them.

#include "filecompare/HexPages.h"

#include "TextDiffTestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace qv;

namespace {

struct Recorded {
    HexLine left, right;
    std::optional<ChangeRecord> record;
};

// Every line of the sequential pass, equal ones included.
struct AllLines : HexLineSink {
    std::vector<Recorded> lines;
    bool wantsEqualLines() const override { return true; }
    void hexLine(std::uint64_t, const HexLine& l, const HexLine& r, const ChangeRecord* rec) override {
        lines.push_back({l, r, rec ? std::optional<ChangeRecord>(*rec) : std::nullopt});
    }
};

QByteArray randomBytes(int n, unsigned seed) {
    std::mt19937 gen(seed);
    QByteArray b(n, 0);
    for (char& c : b) c = char(gen() % 256);
    return b;
}

void expectPagesMatchThePass(const QByteArray& left, const QByteArray& right) {
    QTemporaryDir dir;
    const QString l = fctest::writeFile(dir, "l", left), r = fctest::writeFile(dir, "r", right);
    AllLines pass;
    KHexDiff hex;
    bool passEqual = false;
    QString error;
    ASSERT_EQ(hex.ParseHexDiffFile1(l, r, passEqual, pass, error), KHexDiff::Outcome::Done);

    HexPages pages;
    bool equal = !passEqual;
    ASSERT_EQ(pages.compare(l, r, equal, error), KHexDiff::Outcome::Done);
    EXPECT_EQ(equal, passEqual);
    ASSERT_EQ(pages.iNumOfLines(), pass.lines.size()) << left.size() << " / " << right.size();
    HexPages::Page page;
    ASSERT_TRUE(pages.readPage(0, pages.iNumOfLines(), page, error)) << error.toStdString();
    std::uint64_t changes = 0;
    for (std::uint64_t line = 0; line < pages.iNumOfLines(); ++line) {
        HexLine pl, pr;
        pages.lineOf(page, line, pl, pr);
        const Recorded& want = pass.lines[std::size_t(line)];
        EXPECT_EQ(pl.text, want.left.text) << "line " << line;
        EXPECT_EQ(pr.text, want.right.text) << "line " << line;
        EXPECT_EQ(pl.marks, want.left.marks) << "line " << line;
        EXPECT_EQ(pr.marks, want.right.marks) << "line " << line;
        const auto change = pages.changeOnLine(line);
        EXPECT_EQ(change.has_value(), want.record.has_value()) << "line " << line;
        if (!want.record) continue;
        EXPECT_EQ(*change, changes);
        EXPECT_EQ(pages.lineOfChange(changes), line);
        EXPECT_EQ(pages.sidesOfLine(line), want.record->s) << "line " << line;
        ++changes;
    }
    EXPECT_EQ(pages.changeCount(), changes);
}

}  // namespace

TEST(HexPagesTest, EveryLineOfAPageIsTheLineThePassShowed) {
    const QByteArray base = randomBytes(40, 1);
    expectPagesMatchThePass(base, base);                                   // equal, partial last block
    expectPagesMatchThePass(base, base.left(16));                          // the right ends early
    expectPagesMatchThePass(base.left(32), randomBytes(48, 1).left(48));   // the left ends on a block boundary
    expectPagesMatchThePass({}, QByteArray("abcde"));                      // one side empty
    expectPagesMatchThePass(base.left(32), base.left(32));                 // equal, whole blocks
    QByteArray scattered = randomBytes(5000, 2), changed = scattered;
    for (int at : {5, 6, 17, 400, 401, 402, 4999}) changed[at] = char(changed[at] ^ 0x5a);
    expectPagesMatchThePass(scattered, changed);
    expectPagesMatchThePass(changed + QByteArray(100, 'x'), scattered);    // differences and a longer left
}

TEST(HexPagesTest, ChangesAreFoundAcrossRunsAndPagesReadOnlyTheirOwnLines) {
    QTemporaryDir dir;
    QByteArray left(16 * 300, 'a'), right = left;
    for (int line : {3, 4, 5, 100, 299}) right[line * 16 + 7] = 'b';
    const QString l = fctest::writeFile(dir, "l", left), r = fctest::writeFile(dir, "r", right);
    HexPages pages;
    bool equal = true;
    QString error;
    ASSERT_EQ(pages.compare(l, r, equal, error), KHexDiff::Outcome::Done);
    EXPECT_FALSE(equal);
    ASSERT_EQ(pages.runs(), (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{3, 3}, {100, 1}, {299, 1}}));
    EXPECT_EQ(pages.lineOfChange(3), 100u);
    EXPECT_EQ(pages.lineOfChange(4), 299u);
    EXPECT_FALSE(pages.changeOnLine(6));
    EXPECT_EQ(pages.changeOnLine(5), 2u);

    // A page in the middle holds the lines it names, nothing before them.
    HexPages::Page page;
    ASSERT_TRUE(pages.readPage(99, 2, page, error));
    HexLine pl, pr;
    pages.lineOf(page, 100, pl, pr);
    ASSERT_EQ(pl.marks.size(), 2u);   // the byte in the hex part and in the characters
    EXPECT_EQ(pl.text.substr(0, 14), "0x0000000640  ");
    pages.lineOf(page, 99, pl, pr);
    EXPECT_TRUE(pl.marks.empty());
}

TEST(HexPagesTest, AFileCutShortAfterTheComparisonIsReportedNotShown) {
    QTemporaryDir dir;
    const QString l = fctest::writeFile(dir, "l", QByteArray(1000, 'a'));
    const QString r = fctest::writeFile(dir, "r", QByteArray(1000, 'b'));
    HexPages pages;
    bool equal = true;
    QString error;
    ASSERT_EQ(pages.compare(l, r, equal, error), KHexDiff::Outcome::Done);
    QFile::resize(r, 100);
    HexPages::Page page;
    EXPECT_FALSE(pages.readPage(0, pages.iNumOfLines(), page, error));
    EXPECT_TRUE(error.contains(r));
    QFile::remove(l);
    EXPECT_FALSE(pages.readPage(0, 1, page, error));
}
