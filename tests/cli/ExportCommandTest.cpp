#include "support/RunQuorvane.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

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

}  // namespace
}  // namespace qv::test
