#include "support/RunQuorvane.h"
#include "support/TempTree.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

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
    QFile f(merged);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("one\ntwo\nthree\n"));
    // An input is never overwritten without --force.
    EXPECT_EQ(runQuorvane({"diff", q(t.path("a.txt")), q(t.path("b.txt")), "--merge", "all=right", "--out", q(t.path("a.txt"))}).exitCode, 2);
    QFile a(q(t.path("a.txt")));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), QByteArray("one\ntwo\nthree\n"));
}

}  // namespace
}  // namespace qv::test
