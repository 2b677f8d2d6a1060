#include "support/FileChecks.h"
#include "support/RunQuorvane.h"
#include "support/TempTree.h"
#include "filecompare/KDiffParser.h"

#include <QTemporaryDir>

#include <QFile>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace qv::test {
namespace {

TEST(DiffCommandTest, ExitStatusLikeDiffAndMergesWrittenSafely) {
    TempTree t;
    t.fileWithText("a.txt", "one\ntwo\nthree\n");
    t.fileWithText("same.txt", "one\ntwo\nthree\n");
    t.fileWithText("b.txt", "one\nTWO\nthree\nfour\n");
    EXPECT_EQ(runQuorvane({"diff", q(t.path("a.txt")), q(t.path("same.txt"))}).exitCode, 0);
    const CommandResult differ = runQuorvane({"diff", "--json", q(t.path("a.txt")), q(t.path("b.txt"))});
    ASSERT_EQ(differ.exitCode, 1) << differ.err.toStdString();
    QJsonParseError error{};
    QJsonDocument::fromJson(differ.out, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << differ.out.left(200).toStdString();
    EXPECT_EQ(runQuorvane({"diff", q(t.path("a.txt")), q(t.path("missing.txt"))}).exitCode, 2);
    EXPECT_EQ(runQuorvane({"diff", q(t.root()), q(t.path("a.txt"))}).exitCode, 2);

    // Taking the left side of every change gives back the left text.
    const QString merged = q(t.path("merged.txt"));
    const CommandResult merge = runQuorvane({"diff", q(t.path("a.txt")), q(t.path("b.txt")), "--merge", "all=left", "--out", merged});
    ASSERT_EQ(merge.exitCode, 0) << merge.err.toStdString();
    EXPECT_EQ(t.contents("merged.txt"), "one\ntwo\nthree\n");
    // An input is never overwritten without --force.
    EXPECT_EQ(runQuorvane({"diff", q(t.path("a.txt")), q(t.path("b.txt")), "--merge", "all=right", "--out", q(t.path("a.txt"))}).exitCode, 2);
    EXPECT_EQ(t.contents("a.txt"), "one\ntwo\nthree\n");
}

// A merged file is written the way its files were: their line ends and
// byte-order mark, the replaced file's mode and owner; through a link to
// the file it leads to; and a read-only file is not replaced unasked.
TEST(DiffCommandTest, MergedFilesKeepWhatTheDiffDoesNotSee) {
    TempTree t;
    const std::string bom = "\xEF\xBB\xBF";
    t.fileWithText("a.txt", bom + "one\r\ntwo\r\nthree\r\n");
    t.fileWithText("b.txt", bom + "one\r\nTWO\r\nthree\r\nfour\r\n");
    const QStringList inputs = {"diff", q(t.path("a.txt")), q(t.path("b.txt")), "--merge", "all=right", "--out"};

    const CommandResult fresh = runQuorvane(inputs + QStringList{q(t.path("merged.txt"))});
    ASSERT_EQ(fresh.exitCode, 0) << fresh.err.toStdString();
    EXPECT_EQ(t.contents("merged.txt"), bom + "one\r\nTWO\r\nthree\r\nfour\r\n");

    // An existing file keeps its mode and owner.
    t.fileWithText("kept.txt", "older merge");
    ASSERT_EQ(::chmod(t.path("kept.txt").c_str(), 0640), 0);
    ASSERT_EQ(::chown(t.path("kept.txt").c_str(), 1234, 5678), 0);
    const CommandResult replaced = runQuorvane(inputs + QStringList{q(t.path("kept.txt")), "--force"});
    ASSERT_EQ(replaced.exitCode, 0) << replaced.err.toStdString();
    struct stat st {};
    ASSERT_EQ(::lstat(t.path("kept.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 5678u);
    EXPECT_EQ(t.contents("kept.txt"), t.contents("merged.txt"));

    // Through a link: the link stays, the file it leads to is written.
    t.fileWithText("real/target.txt", "before");
    t.link("link.txt", "real/target.txt");
    const CommandResult linked = runQuorvane(inputs + QStringList{q(t.path("link.txt")), "--force"});
    ASSERT_EQ(linked.exitCode, 0) << linked.err.toStdString();
    EXPECT_EQ(linkTarget(t.path("link.txt")), "real/target.txt");
    EXPECT_EQ(t.contents("real/target.txt"), t.contents("merged.txt"));
    // A link that leads nowhere is refused.
    t.link("dangling.txt", "real/missing/file.txt");
    EXPECT_EQ(runQuorvane(inputs + QStringList{q(t.path("dangling.txt")), "--force"}).exitCode, 2);
    EXPECT_EQ(linkTarget(t.path("dangling.txt")), "real/missing/file.txt");
    EXPECT_FALSE(t.exists("real/missing"));

    // Read-only: without a window to ask in, the file stays (root included).
    t.fileWithText("locked.txt", "read only");
    ASSERT_EQ(::chmod(t.path("locked.txt").c_str(), 0444), 0);
    const CommandResult locked = runQuorvane(inputs + QStringList{q(t.path("locked.txt")), "--force"});
    EXPECT_EQ(locked.exitCode, 2);
    EXPECT_FALSE(locked.err.isEmpty());
    EXPECT_EQ(t.contents("locked.txt"), "read only");

    // Plain LF without a mark stays so, and a user's file named like our
    // temporaries is left alone in the folder written to.
    t.fileWithText("lf/a.txt", "x\ny\n");
    t.fileWithText("lf/b.txt", "x\nz\n");
    t.fileWithText("lf/.qvwrite-notes", "the user's own");
    const CommandResult plain = runQuorvane({"diff", q(t.path("lf/a.txt")), q(t.path("lf/b.txt")), "--merge",
                                             "all=right", "--out", q(t.path("lf/out.txt"))});
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_EQ(t.contents("lf/out.txt"), "x\nz\n");
    EXPECT_EQ(t.contents("lf/.qvwrite-notes"), "the user's own");
}

// patch must turn the left file into the right one, byte for byte, with the
// unified diff printed: on real texts, and on the edges diff has to mark
// (no line break at the end, CR LF, tabs, an empty file).
TEST(DiffCommandTest, UnifiedOutputIsWhatPatchApplies) {
    TempTree t;
    t.fileWithText("gpl2", readAll("/usr/share/common-licenses/GPL-2"));
    t.fileWithText("gpl3", readAll("/usr/share/common-licenses/GPL-3"));
    t.fileWithText("noeol-a", "one\ntwo");
    t.fileWithText("noeol-b", "one\ntwo\nthree");
    t.fileWithText("crlf-a", "a\r\nb\r\nc\r\n");
    t.fileWithText("crlf-b", "a\r\nB\r\nc\r\n");
    t.fileWithText("tabs-a", "\tx\n");
    t.fileWithText("tabs-b", "\ty\n\t\tz\n");
    t.fileWithText("empty", "");
    const std::pair<const char*, const char*> pairs[] = {{"gpl2", "gpl3"},     {"noeol-a", "noeol-b"}, {"noeol-b", "noeol-a"},
                                                         {"crlf-a", "crlf-b"}, {"tabs-a", "tabs-b"},   {"empty", "tabs-b"}};
    for (const auto& [a, b] : pairs) {
        for (const char* form : {"-u", "--unified=1", "-U0"}) {
            const CommandResult d = runQuorvane({"diff", form, q(t.path(a)), q(t.path(b))});
            ASSERT_EQ(d.exitCode, 1) << a << " " << b << d.err.toStdString();
            EXPECT_TRUE(d.out.startsWith("--- ")) << d.out.left(100).toStdString();
            const QString patched = q(t.path("patched"));
            QFile::remove(patched);
            QProcess patch;
            patch.start(QStringLiteral("patch"), {QStringLiteral("-s"), QStringLiteral("-o"), patched, q(t.path(a))});
            ASSERT_TRUE(patch.waitForStarted());
            patch.write(d.out);
            patch.closeWriteChannel();
            ASSERT_TRUE(patch.waitForFinished(30000));
            EXPECT_EQ(patch.exitCode(), 0) << a << " " << form << patch.readAllStandardError().toStdString();
            EXPECT_EQ(t.contents("patched"), t.contents(b)) << a << " -> " << b << " with " << form;
        }
    }
    // A bare --unified never takes the next argument as its number.
    EXPECT_EQ(runQuorvane({"diff", "--unified", q(t.path("gpl2")), q(t.path("gpl2"))}).exitCode, 0);
}

TEST(DiffCommandTest, EqualFilesBinaryFilesAndLineEndingsAreSaidAsDiffSaysThem) {
    TempTree t;
    t.fileWithText("lf.txt", "one\ntwo\nthree\n");
    t.fileWithText("crlf.txt", "one\r\ntwo\r\nthree\r\n");
    t.fileWithText("crlf2.txt", "one\r\nTWO\r\nthree\r\n");
    t.fileWithText("a.bin", std::string("\x00\x01\x02" "binary", 9));
    t.fileWithText("b.bin", std::string("\x00\x01\x03" "binary", 9));
    // Equal files: one line, not the text side by side; a file equals itself.
    const CommandResult same = runQuorvane({"diff", q(t.path("lf.txt")), q(t.path("lf.txt"))});
    EXPECT_EQ(same.exitCode, 0);
    EXPECT_EQ(same.out.count('\n'), 1) << same.out.toStdString();

    const CommandResult endings = runQuorvane({"diff", q(t.path("lf.txt")), q(t.path("crlf.txt"))});
    EXPECT_EQ(endings.exitCode, 0);
    EXPECT_TRUE(endings.out.contains("apart from line endings")) << endings.out.toStdString();
    const CommandResult endingsJson = runQuorvane({"diff", "--json", q(t.path("lf.txt")), q(t.path("crlf.txt"))});
    const QJsonObject o = QJsonDocument::fromJson(endingsJson.out).object();
    EXPECT_EQ(o["lineEndings"].toString(), QStringLiteral("differ"));
    EXPECT_TRUE(o["equal"].toBool());
    EXPECT_EQ(runQuorvane({"diff", "--quick", q(t.path("lf.txt")), q(t.path("crlf.txt"))}).exitCode, 1);

    // A merge of two CR LF files keeps CR LF and counts the lines there are.
    const QString merged = q(t.path("merged.txt"));
    const CommandResult merge =
        runQuorvane({"diff", q(t.path("crlf.txt")), q(t.path("crlf2.txt")), "--merge", "1=right", "--out", merged});
    ASSERT_EQ(merge.exitCode, 0) << merge.err.toStdString();
    EXPECT_TRUE(merge.out.contains("Merged 3 lines")) << merge.out.toStdString();
    EXPECT_EQ(t.contents("merged.txt"), "one\r\nTWO\r\nthree\r\n");
    // A change the plan leaves unnamed is refused, not silently decided.
    t.fileWithText("four.txt", "ONE\ntwo\nthree\nfour\n");
    const CommandResult unnamed =
        runQuorvane({"diff", q(t.path("lf.txt")), q(t.path("four.txt")), "--merge", "1=left", "--out", q(t.path("m2"))});
    EXPECT_EQ(unnamed.exitCode, 2);
    EXPECT_TRUE(unnamed.err.contains("change 2")) << unnamed.err.toStdString();
    EXPECT_FALSE(t.exists("m2"));

    const CommandResult binary = runQuorvane({"diff", q(t.path("a.bin")), q(t.path("b.bin"))});
    EXPECT_EQ(binary.exitCode, 1);
    EXPECT_EQ(binary.out, "Binary files " + q(t.path("a.bin")).toUtf8() + " and " + q(t.path("b.bin")).toUtf8() + " differ\n");
    EXPECT_TRUE(runQuorvane({"diff", "--hex", q(t.path("a.bin")), q(t.path("b.bin"))}).out.contains("0001 0262"));
}

TEST(DiffCommandTest, TabsAreExpandedToTabStopsSideBySide) {
    TempTree t;
    t.fileWithText("a", "x\ty\nsame\n");
    t.fileWithText("b", "xx\ty\nsame\n");
    const CommandResult r = runQuorvane({"diff", "--color=never", q(t.path("a")), q(t.path("b"))});
    ASSERT_EQ(r.exitCode, 1);
    const QByteArray first = r.out.split('\n').first();
    // "x" then spaces to column 8, then "y"; the right side likewise from its own start.
    EXPECT_TRUE(first.startsWith("x       y ")) << first.toStdString();
    EXPECT_TRUE(first.contains(" | xx      y")) << first.toStdString();
}

TEST(DiffCommandTest, EqualContentsStillReportDifferentAttributesAndTags) {
    TempTree t;
    for (const char* name : {"a.txt", "copy.txt", "tagged.txt", "attributed.txt", "both.txt"}) t.fileWithText(name, "same\n");
    t.setTags("tagged.txt", "Red");
    t.setAttribute("attributed.txt", "user.origin", "mail");
    t.setTags("both.txt", "Red");
    t.setAttribute("both.txt", "user.origin", "mail");
    const QString a = q(t.path("a.txt"));

    const CommandResult plain = runQuorvane({"diff", a, q(t.path("tagged.txt"))});
    EXPECT_EQ(plain.exitCode, 0);
    EXPECT_TRUE(plain.out.contains("differ in their metadata")) << plain.out.toStdString();
    EXPECT_TRUE(plain.out.contains("tags of the two files differ")) << plain.out.toStdString();
    EXPECT_FALSE(plain.out.contains("extended attributes")) << plain.out.toStdString();

    struct Case {
        const char* file;
        bool attributes, tags;
    };
    for (const Case& c : {Case{"copy.txt", false, false}, Case{"tagged.txt", false, true},
                          Case{"attributed.txt", true, false}, Case{"both.txt", true, true}}) {
        for (const char* mode : {"--text", "--hex", "--quick"}) {
            SCOPED_TRACE(std::string(c.file) + " " + mode);
            const CommandResult r = runQuorvane({"diff", "--json", mode, a, q(t.path(c.file))});
            EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
            const QJsonObject o = QJsonDocument::fromJson(r.out).object();
            EXPECT_TRUE(o.value("equal").toBool()) << r.out.toStdString();
            EXPECT_EQ(o.value("attributesDiffer").toBool(), c.attributes) << r.out.toStdString();
            EXPECT_EQ(o.value("tagsDiffer").toBool(), c.tags) << r.out.toStdString();
        }
    }
}

TEST(DiffCommandTest, TheStoredFileTypeChoosesTheComparisonUnlessAnOptionDoes) {
    QTemporaryDir config;
    TempTree t;
    t.fileWithText("a.txt", "one\n");
    t.fileWithText("b.txt", "two\n");
    const QStringList pair{q(t.path("a.txt")), q(t.path("b.txt"))};
    auto mode = [&](const QStringList& extra) {
        const CommandResult r = runQuorvane(QStringList{"diff", "--json"} + pair + extra, config.path());
        return QJsonDocument::fromJson(r.out).object().value("mode").toString();
    };
    EXPECT_EQ(mode({}), "text");
    ASSERT_EQ(runQuorvane({"settings", "set", "fileType", "2"}, config.path()).exitCode, 0);
    EXPECT_EQ(mode({}), "hex");
    EXPECT_EQ(mode({"--text"}), "text");
    ASSERT_EQ(runQuorvane({"settings", "set", "fileType", "3"}, config.path()).exitCode, 0);
    EXPECT_EQ(mode({}), "quick");
}

// The row lists are made from each file's lines while the line tool runs:
// they must hold exactly the texts of the aligned rows, escaped wherever a
// character needs it, whatever its place among the ones written in bulk.
TEST(DiffCommandTest, JsonRowsHoldTheAlignedTextsOfBothFiles) {
    const std::string awkward[] = {
        "plain ascii line that is longer than sixteen characters",
        "quote\" at 6, backslash\\ at 17, tab\tthere",
        "12345678\"",           // the escape right after a block of eight
        "1234567\"8",           // the escape last in a block
        "",                     // an empty line
        "\x01 control, then \x1f and \x7f",
        "accents caf\xC3\xA9 and na\xC3\xAFve spread over a long line",
        "ascii for a while until the very end: \xE2\x82\xAC",
        "emoji \xF0\x9F\x98\x80 in the middle of it all",
        "exactly8", "sixteen chars ok",
        // Six bytes each once escaped: the rendered lines outgrow the room made for them.
        std::string(700, '\x02') + " controls",
    };
    std::string left, right;
    for (int i = 0; i < 40; ++i) {
        const std::string line = awkward[i % std::size(awkward)] + " #" + std::to_string(i);
        left += line + "\n";
        if (i % 7 == 3) continue;                                   // removed on the right
        if (i % 5 == 1) right += line + " changed\\\"\n";            // changed
        else right += line + "\n";
        if (i % 9 == 4) right += awkward[(i + 3) % std::size(awkward)] + "\n";   // added
    }
    left += "last line without a break";
    right += "last line without a break, \"changed\"";
    TempTree t;
    t.fileWithText("a.txt", left);
    t.fileWithText("b.txt", right);

    const CommandResult r = runQuorvane({"diff", "--json", q(t.path("a.txt")), q(t.path("b.txt"))});
    ASSERT_EQ(r.exitCode, 1) << r.err.toStdString();
    QJsonParseError error{};
    const QJsonObject o = QJsonDocument::fromJson(r.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();

    KDiffParser parser;
    bool equal = false;
    QString failure;
    ASSERT_EQ(parser.ParseDiffFile1(q(t.path("a.txt")), q(t.path("b.txt")), equal, failure), KDiffParser::Outcome::Done);
    ASSERT_GT(parser.iZmiany().size(), 10u);
    for (int side = 0; side < 2; ++side) {
        const QJsonArray rows = o.value(side == 0 ? "rows1" : "rows2").toArray();
        ASSERT_EQ(std::size_t(rows.size()), parser.rowCount());
        for (std::size_t row = 0; row < parser.rowCount(); ++row)
            EXPECT_EQ(rows[qsizetype(row)].toString(), parser.rowText(side, row)) << "side " << side << " row " << row;
    }
}

}  // namespace
}  // namespace qv::test
