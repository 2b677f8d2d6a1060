#include "support/RunQuorvane.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <set>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

QByteArray read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(ExportCommandTest, WritesTheViewSafelyAndNeverReplacesWithoutBeingAsked) {
    TempTree left, right;
    left.file("plain.txt", 3);
    right.file("plain.txt", 4);
    left.file("a;b \"quoted\".txt", 1);
    left.file("=SUM(A1).txt", 1);
    QTemporaryDir out;
    const QString file = out.filePath(QStringLiteral("result.csv"));

    const CommandResult first = runQuorvane({"export", q(left.root()), q(right.root()), "--out", file});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    const QByteArray text = read(file);
    const QList<QByteArray> lines = text.split('\n');
    ASSERT_GE(lines.size(), 5);
    EXPECT_TRUE(lines[0].startsWith(";"));
    // A name holding the delimiter and quotes is quoted; a formula is neutralised.
    EXPECT_TRUE(text.contains("\"\xC2\xB7  a;b \"\"quoted\"\".txt\"")) << text.toStdString();
    EXPECT_TRUE(text.contains("\xC2\xB7  =SUM(A1).txt")) << text.toStdString();   // the prefix keeps it text

    // An existing file stays as it was unless --force is given.
    const CommandResult again = runQuorvane({"export", q(left.root()), q(right.root()), "--out", file,
                                             "--columns", "name1,state"});
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_EQ(read(file), text);
    const CommandResult forced = runQuorvane({"export", q(left.root()), q(right.root()), "--out", file, "--force",
                                              "--columns", "name1,state", "--set", "exportPrefix=false"});
    ASSERT_EQ(forced.exitCode, 0) << forced.err.toStdString();
    const QByteArray narrow = read(file);
    EXPECT_TRUE(narrow.startsWith(";")) << narrow.toStdString();
    EXPECT_EQ(narrow.split('\n')[0].count(';'), 2);
    EXPECT_TRUE(narrow.contains(";  =SUM(A1).txt")) << narrow.toStdString();   // led by blanks: already text
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);   // no temporary left behind

    EXPECT_EQ(runQuorvane({"export", q(left.root()), q(right.root()), "--out", file, "--columns", "sideways"}).exitCode, 2);
    EXPECT_EQ(runQuorvane({"export", q(left.root()), q(right.root()), "--out", out.filePath("missing/dir/x.csv")}).exitCode, 2);
}

TEST(ExportCommandTest, OptionalColumnsAreFilled) {
    TempTree left, right;
    left.file("tagged.txt", 3);
    left.setTags("tagged.txt", "Red,Work");
    right.file("tagged.txt", 3);
    QTemporaryDir out;
    const QString file = out.filePath(QStringLiteral("columns.csv"));
    const CommandResult r = runQuorvane({"export", q(left.root()), q(right.root()), "--out", file, "--columns", "1,13,15"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QByteArray text = read(file);
    EXPECT_TRUE(text.contains(";Red, Work;f561aaf6ef0bf14d4208bb46a4ccb3ad")) << text.toStdString();   // md5 of "xxx"
}

// Python's csv module reads what spreadsheets and scripts read; the script
// checks every field of every row and that the bytes are UTF-8 throughout.
TEST(ExportCommandTest, CsvOpensAnywhereWithEveryEntryAndItsFieldsExact) {
    TempTree left, right;
    left.file("a, \"b\"\nc.txt", 3, 'x', kBaseTimeNs);
    left.file("dir/inner.bin", 70000);
    right.file("dir/inner.bin", 12);
    right.file("only right", 5);
    left.file("caf\xe9", 1);   // not UTF-8
    const CommandResult r = runQuorvane({"export", "--format", "csv", "--out", "-", q(left.root()), q(right.root())});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QStringLiteral(R"py(
import csv, io, sys
data = sys.stdin.buffer.read()
text = data.decode('utf-8')                      # fails on any byte that is not UTF-8
rows = list(csv.reader(io.StringIO(text, newline='')))
assert rows[0] == ['path', 'state', 'state_words', 'kind_left', 'kind_right', 'size_left', 'size_right', 'modified_left', 'modified_right'], rows[0]
by = {row[0]: row for row in rows[1:]}
assert all(len(row) == 9 for row in rows), rows
a = by['a, "b"\nc.txt']
assert a[1:7] == ['7', 'only left', 'file', '', '3', ''], a
assert a[7] == '2020-09-13T12:26:40Z', a[7]
assert by['dir/inner.bin'][1] == '2' and by['dir/inner.bin'][5:7] == ['70000', '12'], by['dir/inner.bin']
assert by['dir'][3:5] == ['folder', 'folder'], by['dir']
assert by['only right'][1:7] == ['8', 'only right', '', 'file', '', '5'], by['only right']
assert by['caf\ufffd'][1] == '7', sorted(by)
assert len(rows) == 6, rows
print('ok')
)py")});
    ASSERT_TRUE(python.waitForStarted());
    python.write(r.out);
    python.closeWriteChannel();
    ASSERT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.readAllStandardOutput(), "ok\n") << python.readAllStandardError().toStdString();

    // The same rows as TSV, without quoting; and a bad destination named in full.
    const CommandResult tsv = runQuorvane({"export", "--format=tsv", "-o", "-", q(left.root()), q(right.root())});
    EXPECT_TRUE(tsv.out.contains("a, \"b\"\\nc.txt\t7\t")) << tsv.out.toStdString();
    const QString nowhere = q(left.path("no/such/folder/out.csv"));
    const CommandResult bad = runQuorvane({"export", "--out", nowhere, q(left.root()), q(right.root())});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains(nowhere.toUtf8())) << bad.err.toStdString();
    EXPECT_FALSE(QFile::exists(QStringLiteral("-")));
}

TEST(ExportCommandTest, ReportToStandardOutputIsUtf8AndAllListsOneSidedFolders) {
    TempTree left, right;
    left.file("caf\xe9.txt", 1);
    left.file("gone/deep/er/x", 1);
    left.file("gone/y", 2);
    left.folder("gone/empty");
    right.file("other", 1);
    const CommandResult report = runQuorvane({"export", "--out", "-", q(left.root()), q(right.root())});
    ASSERT_EQ(report.exitCode, 0) << report.err.toStdString();
    EXPECT_TRUE(report.out.contains("caf\xEF\xBF\xBD.txt")) << report.out.toStdString();
    EXPECT_FALSE(report.out.contains("deep"));

    // --all lists what find lists in the one-sided folder, in compare's JSON and in the export.
    QProcess find;
    find.setWorkingDirectory(q(left.root()));
    find.start(QStringLiteral("find"), {QStringLiteral("gone"), QStringLiteral("-mindepth"), QStringLiteral("1")});
    ASSERT_TRUE(find.waitForFinished(10000));
    std::set<QString> expected;
    for (const QByteArray& line : find.readAllStandardOutput().split('\n'))
        if (!line.isEmpty()) expected.insert(QString::fromUtf8(line));
    ASSERT_EQ(expected.size(), 5u);
    const CommandResult json = runQuorvane({"compare", "--json", "--all", q(left.root()), q(right.root())});
    std::set<QString> listed;
    for (const QByteArray& line : json.out.split('\n')) {
        const int at = line.indexOf("\"path\":\"gone/");
        if (at >= 0) listed.insert(QString::fromUtf8(line.mid(at + 8, line.indexOf('"', at + 8) - at - 8)));
        if (line.contains("\"path\":\"gone/deep/er/x\"")) {
            EXPECT_TRUE(line.contains("\"state\":7")) << line.toStdString();
            EXPECT_TRUE(line.contains("\"size1\":1")) << line.toStdString();
        }
    }
    EXPECT_EQ(listed, expected);
    const CommandResult csv = runQuorvane({"export", "--all", "--format", "csv", "-o", "-", q(left.root()), q(right.root())});
    for (const QString& path : expected) EXPECT_TRUE(csv.out.contains("\r\n" + path.toUtf8() + ",7,")) << path.toStdString();
    // Without --all the plain compare stays as it was.
    EXPECT_FALSE(runQuorvane({"compare", "--json", q(left.root()), q(right.root())}).out.contains("gone/deep"));
}

}  // namespace
}  // namespace qv::test
