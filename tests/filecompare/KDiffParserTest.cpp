#include "filecompare/KDiffParser.h"
#include "filecompare/ChangesAhead.h"

#include "TextDiffTestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace qv;

namespace {

std::vector<bool> fillers(const std::vector<DisplayLine>& lines) {
    std::vector<bool> out;
    for (const auto& l : lines) out.push_back(l.filler);
    return out;
}

// Runs the real tools on two texts written to files.
struct RealDiff {
    QTemporaryDir dir;
    KDiffParser parser;
    bool equal = false;
    QString error;
    KDiffParser::Outcome run(const QByteArray& left, const QByteArray& right) {
        return parser.ParseDiffFile1(fctest::writeFile(dir, "l.txt", left), fctest::writeFile(dir, "r.txt", right),
                                     equal, error);
    }
};

}  // namespace

TEST(KDiffParserTest, ScansEveryCommandShapeAndRejectsOthers) {
    QString a, b, c, d;
    EXPECT_EQ(KDiffParser::ScannValuesFromCode(u"12,14c12,15", a, b, c, d), 'c');
    EXPECT_EQ((QStringList{a, b, c, d}), (QStringList{"12", "14", "12", "15"}));
    EXPECT_EQ(KDiffParser::ScannValuesFromCode(u"5a6", a, b, c, d), 'a');
    EXPECT_EQ((QStringList{a, b, c, d}), (QStringList{"5", "5", "6", "6"}));
    EXPECT_EQ(KDiffParser::ScannValuesFromCode(u"3,4d2", a, b, c, d), 'd');
    EXPECT_EQ((QStringList{a, b, c, d}), (QStringList{"3", "4", "2", "2"}));
    EXPECT_EQ(KDiffParser::ScannValuesFromCode(u"3d", a, b, c, d), 0);
    EXPECT_EQ(KDiffParser::ScannValuesFromCode(u"c3", a, b, c, d), 0);
    EXPECT_EQ(KDiffParser::ScannValuesFromCode(u"17", a, b, c, d), 0);
    EXPECT_EQ(KDiffParser::ScannValuesFromCode(u"3,c4", a, b, c, d), 0);
}

TEST(KDiffParserTest, IdenticalTextsGiveOneRowPerLineAndNoChanges) {
    RealDiff run;
    ASSERT_EQ(run.run("a\nb\nc\n", "a\nb\nc\n"), KDiffParser::Outcome::Done) << run.error.toStdString();
    EXPECT_TRUE(run.equal);
    EXPECT_TRUE(run.parser.iZmiany().empty());
    EXPECT_EQ(run.parser.rowCount(), 3u);
    EXPECT_EQ(run.parser.iNumOfLines(), 3u);
}

TEST(KDiffParserTest, OutputArrivingInManyPiecesLosesNoCommand) {
    // Megabytes of quoted lines around the commands: the tool's output comes
    // in many reads, which cut lines anywhere.
    QByteArray left, right;
    for (int i = 0; i < 40000; ++i) {
        const QByteArray line = "line " + QByteArray::number(i) + " " + QByteArray(40, char('a' + i % 26)) + "\n";
        left += line;
        if (i % 7 == 3) continue;                                                 // deleted
        right += i % 5 == 1 ? "changed " + line : line;                           // changed
        if (i % 11 == 0) right += "inserted " + QByteArray::number(i) + "\n";   // inserted
    }
    RealDiff run;
    ASSERT_EQ(run.run(left, right), KDiffParser::Outcome::Done) << run.error.toStdString();
    std::vector<bool> changed(run.parser.lines1().size(), false);
    for (const ChangeRecord& z : run.parser.iZmiany())
        for (std::uint64_t l = z.l; l < z.l + z.nol; ++l) changed[l] = true;
    // Outside the changes both sides show one and the same line; a lost command would leave its lines there.
    int unchanged = 0;
    for (std::size_t l = 0; l < changed.size(); ++l) {
        if (changed[l]) continue;
        ++unchanged;
        ASSERT_FALSE(run.parser.lines1()[l].filler || run.parser.lines2()[l].filler) << l;
        ASSERT_EQ(run.parser.lines1()[l].text, run.parser.lines2()[l].text) << l;
    }
    EXPECT_GT(unchanged, 20000);
}

TEST(KDiffParserTest, InsertionAtStartPutsFillersFirstOnTheLeft) {
    RealDiff run;
    ASSERT_EQ(run.run("x\ny\n", "p\nq\nr\nx\ny\n"), KDiffParser::Outcome::Done);
    EXPECT_FALSE(run.equal);
    const auto& z = run.parser.iZmiany();
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0].l, 0u);
    EXPECT_EQ(z[0].nol, 3u);
    EXPECT_EQ(z[0].s, 8);
    EXPECT_EQ(z[0].col, 2);
    EXPECT_EQ(z[0].lc[0], 2u);   // three empty filler lines
    EXPECT_EQ(z[0].lc[1], 5u);   // "p\nq\nr\n"
    EXPECT_EQ(fillers(run.parser.lines1()), (std::vector<bool>{true, true, true, false, false}));
    EXPECT_EQ(run.parser.iAddedLLines(), 3u);
    EXPECT_EQ(run.parser.lines2()[1].marks, (std::vector<MarkRun>{{0, 1, MarkAdded}}));
    EXPECT_EQ(z[0].el, (std::vector<std::uint64_t>{0, 1, 2}));
    EXPECT_TRUE(z[0].els);
    EXPECT_EQ(run.parser.rowCount(), 3u);
    EXPECT_EQ(run.parser.rowText(1, 0), "p\nq\nr");
}

TEST(KDiffParserTest, DeletionMarksLeftAndFillsRightAfterTheNamedLine) {
    RealDiff run;
    ASSERT_EQ(run.run("a\nb\nc\nd\ne\n", "a\ne\n"), KDiffParser::Outcome::Done);
    const auto& z = run.parser.iZmiany();
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0].l, 1u);
    EXPECT_EQ(z[0].nol, 3u);
    EXPECT_EQ(z[0].s, 4);
    EXPECT_EQ(z[0].col, 2);
    ASSERT_TRUE(z[0].diffChunk);
    EXPECT_EQ(z[0].diffChunk->type, DiffChunk::Deletion);
    EXPECT_EQ(fillers(run.parser.lines2()), (std::vector<bool>{false, true, true, true, false}));
    EXPECT_EQ(run.parser.lines1()[2].marks, (std::vector<MarkRun>{{0, 1, MarkRemoved}}));
    EXPECT_FALSE(z[0].els);
    EXPECT_EQ(z[0].c[0], 2u);
    EXPECT_EQ(z[0].c[1], 2u);
    EXPECT_EQ(run.parser.rowText(0, z[0].lr), "b\nc\nd");
    EXPECT_EQ(run.parser.rowCount(), 3u);
}

TEST(KDiffParserTest, SameSizeChangeMarksOnlyTheChangedWords) {
    RealDiff run;
    ASSERT_EQ(run.run("a\nb\nfoo bar\n", "a\nb\nfoo baz\n"), KDiffParser::Outcome::Done);
    const auto& z = run.parser.iZmiany();
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0].s, 12);
    EXPECT_EQ(z[0].col, 1);
    EXPECT_TRUE(z[0].el.empty());
    EXPECT_EQ(run.parser.iAddedLLines() + run.parser.iAddedRLines(), 0u);
    EXPECT_EQ(run.parser.lines1()[2].marks, (std::vector<MarkRun>{{4, 3, MarkChanged}}));
    EXPECT_EQ(run.parser.lines2()[2].marks, (std::vector<MarkRun>{{4, 3, MarkChanged}}));
}

TEST(KDiffParserTest, UnequalBlockPairsSimilarLinesAndFillsTheGaps) {
    RealDiff run;
    ASSERT_EQ(run.run("h\nx\nalpha=beta\ngamma=delta\nz\n",
                      "h\nx\nnew=one\nalpha=beta2\nother=stuff\ngamma=delta22\nmore\nz\n"),
              KDiffParser::Outcome::Done);
    const auto& z = run.parser.iZmiany();
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0].l, 2u);
    EXPECT_EQ(z[0].nol, 5u);
    EXPECT_EQ(fillers(run.parser.lines1()), (std::vector<bool>{false, false, true, false, true, false, true, false}));
    EXPECT_EQ(run.parser.lines1()[3].text, u"alpha=beta");
    EXPECT_EQ(run.parser.lines1()[5].text, u"gamma=delta");
    EXPECT_EQ(run.parser.lines1()[3].marks, (std::vector<MarkRun>{{6, 4, MarkChanged}}));
    EXPECT_EQ(run.parser.lines2()[3].marks, (std::vector<MarkRun>{{6, 5, MarkChanged}}));
    EXPECT_EQ(run.parser.lines2()[2].marks, (std::vector<MarkRun>{{0, 7, MarkAdded}}));
    EXPECT_EQ(z[0].el, (std::vector<std::uint64_t>{0, 2, 4}));
    EXPECT_TRUE(z[0].els);
    EXPECT_EQ(run.parser.iNumOfLines(), 8u);
    EXPECT_EQ(run.parser.iNumOfLinesForR(), 8u);
}

TEST(KDiffParserTest, BlockPastPairingLimitIsWordMarkedWithFillersAfterIt) {
    QString left, right;
    for (int i = 0; i < 20; ++i) left += QStringLiteral("line %1 left\n").arg(i);
    for (int i = 0; i < 21; ++i) right += QStringLiteral("line %1 right\n").arg(i);
    KDiffParser parser;
    ASSERT_TRUE(parser.ParseDiff("1,20c1,21\n", left, right));
    const auto& z = parser.iZmiany();
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0].nol, 21u);
    EXPECT_TRUE(parser.lines1()[20].filler);
    EXPECT_EQ(parser.iAddedLLines(), 1u);
    // The common words "line", the numbers and spaces stay unmarked; "left" is changed.
    EXPECT_EQ(parser.lines1()[0].marks, (std::vector<MarkRun>{{7, 4, MarkChanged}}));
}

TEST(KDiffParserTest, HugeBlocksFallBackToWholeMarksWithoutQuadraticWork) {
    QString left, right;
    for (int i = 0; i < 3000; ++i) left += QStringLiteral("alpha beta gamma delta %1 epsilon zeta eta\n").arg(i);
    for (int i = 0; i < 2500; ++i) right += QStringLiteral("theta iota kappa %1 lambda mu nu xi\n").arg(i);
    KDiffParser parser;
    ASSERT_TRUE(parser.ParseDiff("1,3000c1,2500\n", left, right));
    EXPECT_EQ(parser.lines1()[0].marks, (std::vector<MarkRun>{{0, parser.lines1()[0].text.size(), MarkChanged}}));
    EXPECT_EQ(parser.iAddedRLines(), 500u);
}

TEST(KDiffParserTest, LineEndingsAndOddContent) {
    {   // a last line without a break is a line and the last row
        RealDiff run;
        ASSERT_EQ(run.run("a\nb", "a\nc"), KDiffParser::Outcome::Done);
        EXPECT_EQ(run.parser.iOrgNumOfLLines(), 2u);
        EXPECT_EQ(run.parser.rowCount(), 2u);
        EXPECT_EQ(run.parser.rowText(0, 1), "b");
        EXPECT_FALSE(run.parser.lines1()[1].hasBreak);
    }
    {   // empty against non-empty
        RealDiff run;
        ASSERT_EQ(run.run("", "a\nb\n"), KDiffParser::Outcome::Done);
        EXPECT_EQ(run.parser.iOrgNumOfLLines(), 0u);
        ASSERT_EQ(run.parser.iZmiany().size(), 1u);
        EXPECT_EQ(run.parser.iZmiany()[0].s, 8);
        EXPECT_EQ(run.parser.iNumOfLines(), 2u);
    }
    {   // invalid UTF-8 is not text
        RealDiff run;
        EXPECT_EQ(run.run("a\xff\xfe\n", "a\n"), KDiffParser::Outcome::NotText);
    }
    {   // a character cut by the end of the file is not text
        RealDiff run;
        EXPECT_EQ(run.run("a\n\xf0\x9f\x98", "a\n"), KDiffParser::Outcome::NotText);
    }
    {   // a NUL byte makes the tool report a binary file: not text either
        RealDiff run;
        EXPECT_EQ(run.run(QByteArray("a\0b\n", 4), "a\n"), KDiffParser::Outcome::NotText);
    }
    {   // a missing file is not readable as text
        KDiffParser parser;
        bool equal = false;
        QString error;
        EXPECT_EQ(parser.ParseDiffFile1("/nonexistent/a", "/nonexistent/b", equal, error), KDiffParser::Outcome::NotText);
    }
}

TEST(KDiffParserTest, CommandsThatDoNotFitTheTextsAreRefused) {
    KDiffParser parser;
    QString error;
    EXPECT_FALSE(parser.ParseDiff("5c5\n", "a\nb\n", "a\nc\n", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(parser.ParseDiff("1c1\n", "a\nb\n", "x\n", &error));   // tails of different length
    // An unscannable line is logged and skipped; the rest still applies.
    ASSERT_TRUE(parser.ParseDiff("garbage\n2c2\n", "a\nb\n", "a\nc\n", &error));
    EXPECT_EQ(parser.iZmiany().size(), 1u);
    EXPECT_TRUE(parser.diagnostics().contains("Code error: garbage"));
}

TEST(KDiffParserTest, SeveralChangesShiftLaterRecordsByEarlierFillers) {
    RealDiff run;
    // 2d1 then 5a5,6 on the left's numbering
    ASSERT_EQ(run.run("a\nb\nc\nd\ne\n", "a\nc\nd\ne\nf\ng\n"), KDiffParser::Outcome::Done);
    const auto& z = run.parser.iZmiany();
    ASSERT_EQ(z.size(), 2u);
    EXPECT_EQ(z[0].l, 1u);
    EXPECT_EQ(z[1].l, 5u);   // right line 5 moved down by the right's filler for "b"
    EXPECT_EQ(z[1].nol, 2u);
    EXPECT_EQ(z[0].nz, 1);
    EXPECT_EQ(z[1].nz, 2);
    EXPECT_EQ(z[1].lr, 5u);
    EXPECT_EQ(run.parser.lines1().size(), run.parser.lines2().size());
    EXPECT_EQ(run.parser.iNumOfLines(), 7u);
}

TEST(KDiffParserTest, ChangesKnowWhereTheyBeginAndEndInTheAlignedTexts) {
    // Lines of every length between the changes, empty ones, an insertion,
    // a deletion, a change, and a last line without its break.
    const QByteArray left = "first line\n\nsecond, longer line\nremoved\nthird\n\tfourth\nold\nlast kept\nend";
    const QByteArray right = "first line\n\nsecond, longer line\nthird\nadded\nmore\n\tfourth\nnew one\nlast kept\nend";
    RealDiff run;
    ASSERT_EQ(run.run(left, right), KDiffParser::Outcome::Done);
    const auto& z = run.parser.iZmiany();
    ASSERT_EQ(z.size(), 3u);
    // Each display line counted with its break, one after the other.
    const auto startOf = [](const std::vector<DisplayLine>& lines, std::uint64_t line) {
        std::uint64_t at = 0;
        for (std::uint64_t i = 0; i < line; ++i) at += std::uint64_t(lines[i].text.size()) + (lines[i].hasBreak ? 1 : 0);
        return at;
    };
    for (const ChangeRecord& r : z) {
        for (int side = 0; side < 2; ++side) {
            const auto& lines = side == 0 ? run.parser.lines1() : run.parser.lines2();
            EXPECT_EQ(r.c[side], startOf(lines, r.l)) << "change " << r.nz << " side " << side;
            const std::uint64_t after = startOf(lines, r.l + r.nol);
            EXPECT_EQ(r.lc[side], after - (after > 0 ? 1 : 0)) << "change " << r.nz << " side " << side;
        }
    }
}

TEST(KDiffParserTest, RowsTileTheAlignedLinesAndEveryLineFindsItsRow) {
    // Changes on the first and the last line, one of several lines between
    // them, and unchanged runs of one and of two lines.
    const QByteArray left = "a\nb\nc\nd\ne\nf\n";
    const QByteArray right = "A\nb\nc\nX\nY\nZ\ne\nF\n";
    RealDiff run;
    ASSERT_EQ(run.run(left, right), KDiffParser::Outcome::Done);
    const KDiffParser& p = run.parser;
    ASSERT_EQ(p.iZmiany().size(), 3u);
    std::uint64_t next = 0;
    std::size_t change = 0;
    for (std::size_t r = 0; r < p.rowCount(); ++r) {
        const auto [first, count] = p.row(r);
        EXPECT_EQ(first, next) << "row " << r;
        const bool isChange = change < p.iZmiany().size() && p.iZmiany()[change].lr == r;
        EXPECT_EQ(count, isChange ? p.iZmiany()[change].nol : 1u) << "row " << r;
        if (isChange) {
            EXPECT_EQ(first, p.iZmiany()[change++].l) << "row " << r;
        }
        for (std::uint64_t line = first; line < first + count; ++line) EXPECT_EQ(p.rowOfLine(line), r) << "line " << line;
        next = first + count;
    }
    EXPECT_EQ(change, p.iZmiany().size());
    EXPECT_EQ(next, p.lines1().size());
}

TEST(KDiffParserTest, PartnerSearchFollowsDistancesAndSharedWords) {
    const QStringList big{"new=one", "alpha=beta2", "other=stuff"};
    const auto first = KDiffParser::FindNextDistanceIn(big, "alpha=beta", std::nullopt);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->second, 1);
    EXPECT_FLOAT_EQ(first->first, 1.0f / 3.0f);
    // An empty small line shares nothing: it takes the first candidate behind the previous partner.
    const auto empty = KDiffParser::FindNextDistanceIn(big, "", std::make_pair(0.5f, 0));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->second, 1);
    EXPECT_FALSE(KDiffParser::FindNextDistanceIn(big, "x", std::make_pair(0.0f, 2)));
    // No pairing when a small line can find no partner behind the others.
    EXPECT_FALSE(KDiffParser::DopasujLinie({"a b"}, {"a b", "a b"}));
    // A white-space component of the candidate trims to nothing and costs 0,
    // so lines with spaces pair by shared words rather than by distance.
    EXPECT_EQ(*KDiffParser::DopasujLinie({"x y", "foo bar", "z"}, {"foo baz"}), (std::vector<int>{1}));
}

// Enough changed blocks that their words are compared on two threads: each
// line must still carry exactly the marks of its own changed word.
TEST(KDiffParserTest, LargeFilesDecodeWholeWhereverAReadPieceEnds) {
    // Files are read a megabyte at a time: with four shifts, characters of
    // two, three and four bytes and zero-width no-break spaces fall across
    // the pieces' ends at several offsets, and must come out as the whole
    // file decodes.
    const QByteArray unit = "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xef\xbb\xbf line\n";
    for (int shift = 0; shift < 4; ++shift) {
        QByteArray text = "\xef\xbb\xbf" + QByteArray(shift, 'x') + "\n";
        while (text.size() < (3 << 20)) text += unit;
        QByteArray right = text;
        right.replace(right.size() - 5, 4, "LINE");
        RealDiff run;
        ASSERT_EQ(run.run(text, right), KDiffParser::Outcome::Done) << shift;
        // The byte-order mark at the start is not part of the first line; later ones are text.
        QString expected = QString::fromUtf8(text.mid(3));
        QString joined;
        for (const DisplayLine& line : run.parser.lines1()) {
            if (line.filler) continue;
            joined += line.text;
            if (line.hasBreak) joined += u'\n';
        }
        ASSERT_EQ(joined.size(), expected.size()) << shift;
        EXPECT_TRUE(joined == expected) << shift;
        EXPECT_EQ(run.parser.iZmiany().size(), 1u) << shift;
    }
}

TEST(KDiffParserTest, ManyChangedBlocksEachMarkOnlyTheirOwnWord) {
    QByteArray left, right;
    constexpr int kLines = 1500;
    for (int i = 0; i < kLines; ++i) {
        const QByteArray number = QByteArray::number(i);
        left += "keep " + number + " alpha tail\n";
        right += "keep " + number + (i % 3 == 0 ? " omega" : " alpha") + " tail\n";
    }
    RealDiff run;
    ASSERT_EQ(run.run(left, right), KDiffParser::Outcome::Done) << run.error.toStdString();
    const auto& changes = run.parser.iZmiany();
    ASSERT_EQ(changes.size(), std::size_t((kLines + 2) / 3));
    for (const ChangeRecord& c : changes) {
        ASSERT_EQ(c.nol, 1u);
        for (int side = 0; side < 2; ++side) {
            const DisplayLine& line = (side == 0 ? run.parser.lines1() : run.parser.lines2())[c.l];
            const qsizetype word = line.text.indexOf(side == 0 ? u"alpha" : u"omega");
            ASSERT_GE(word, 0) << line.text.toString().toStdString();
            ASSERT_EQ(line.marks.size(), 1u) << line.text.toString().toStdString();
            EXPECT_EQ(line.marks[0].start, word) << line.text.toString().toStdString();
            EXPECT_EQ(line.marks[0].length, 5) << line.text.toString().toStdString();
        }
    }
}

TEST(KDiffParserTest, BlocksMarkedAheadAreTakenOnlyWhereTheToolReportsThemAsGuessed) {
    // Two blocks are guessed from the lines each side lacks. The tool's
    // answer is given here: as guessed, then cutting the blocks otherwise.
    const QString left = QStringLiteral("same\nalpha beta gamma\nkept\none two\nthree four\ntail\nend\n");
    const QString right = QStringLiteral("same\nalpha BETA gamma\nkept\none 2\nthree 4\ntail\nend\n");
    const std::vector<DisplayLine> leftLines = splitTextLines(left), rightLines = splitTextLines(right);
    ChangesAhead ahead;
    ahead.work(leftLines, rightLines);
    EXPECT_EQ(ahead.blocksMarked(), 2u);
    for (const QString& commands : {QStringLiteral("2c2\n4,5c4,5\n"), QStringLiteral("2,3c2,3\n4c4\n5c5\n"),
                                   QStringLiteral("2c2\n4,6c4,6\n")}) {
        SCOPED_TRACE(commands.toStdString());
        KDiffParser later, early;
        ASSERT_TRUE(later.ParseDiff(commands, left, right));
        ASSERT_TRUE(early.ParseDiff(commands, left, right, nullptr, &ahead));
        for (int side = 0; side < 2; ++side) {
            const auto& a = side == 0 ? later.lines1() : later.lines2();
            const auto& b = side == 0 ? early.lines1() : early.lines2();
            ASSERT_EQ(a.size(), b.size());
            for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a[i].marks, b[i].marks) << side << " line " << i;
        }
    }
}

TEST(KDiffParserTest, WordsSplitAheadMarkAsWordsSplitAfterwards) {
    // Lines found only on one side are split while the tool runs; the marks
    // must not depend on whether a line's words were split then or later.
    const QString left = QStringLiteral("same\nalpha beta gamma\nkept\nfirst of two\nsecond of two\ntail\n");
    const QString right = QStringLiteral("same\nalpha BETA gamma\nkept\nfirst of 2\nextra line\nsecond of two\ntail\n");
    const QString commands = QStringLiteral("2c2\n4,5c4,6\n");
    const std::vector<DisplayLine> leftLines = splitTextLines(left), rightLines = splitTextLines(right);
    ChangesAhead ahead;
    ahead.work(leftLines, rightLines);
    // Only the lines the other side lacks were split ahead.
    EXPECT_NE(ahead.find(0, 1), nullptr);
    EXPECT_EQ(ahead.find(0, 2), nullptr);
    EXPECT_NE(ahead.find(1, 4), nullptr);
    EXPECT_EQ(ahead.find(1, 5), nullptr);

    KDiffParser later, early;
    ASSERT_TRUE(later.ParseDiff(commands, left, right));
    ASSERT_TRUE(early.ParseDiff(commands, left, right, nullptr, &ahead));
    ASSERT_EQ(later.lines1().size(), early.lines1().size());
    for (int side = 0; side < 2; ++side) {
        const auto& a = side == 0 ? later.lines1() : later.lines2();
        const auto& b = side == 0 ? early.lines1() : early.lines2();
        for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a[i].marks, b[i].marks) << side << " line " << i;
    }
    // The changed word is marked, and nothing else on its line.
    ASSERT_EQ(early.lines2()[1].marks.size(), 1u);
    EXPECT_EQ(early.lines2()[1].marks[0].start, 6);
    EXPECT_EQ(early.lines2()[1].marks[0].length, 4);
}
