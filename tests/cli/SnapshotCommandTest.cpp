#include "support/RunQuorvane.h"
#include "support/TempTree.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <fstream>

namespace qv::test {
namespace {

TEST(SnapshotCommandTest, RecordShowExtractAndCompareAgainstTheLiveFolder) {
    TempTree folder, store;
    folder.file("small", 1);
    folder.file("big", 300);
    folder.file("sub/mid", 20);
    const QString snap = q(store.path("rec.qvss"));

    const CommandResult recorded = runQuorvane({"snapshot", "record", q(folder.root()), snap, "--md5"});
    ASSERT_EQ(recorded.exitCode, 0) << recorded.err.toStdString();
    EXPECT_EQ(runQuorvane({"snapshot", "record", q(folder.root()), snap}).exitCode, 2);   // never replaced silently

    const CommandResult shown = runQuorvane({"snapshot", "show", snap, "--sort", "size", "--desc"});
    ASSERT_EQ(shown.exitCode, 0);
    EXPECT_LT(shown.out.indexOf("big"), shown.out.indexOf("small"));

    const CommandResult json = runQuorvane({"snapshot", "extract-json", snap});
    ASSERT_EQ(json.exitCode, 0);
    const QJsonObject root = QJsonDocument::fromJson(json.out).object();
    EXPECT_EQ(root.value(QStringLiteral("nfi")).toInt(), 3);
    EXPECT_EQ(root.value(QStringLiteral("siz")).toInt(), 321);
    EXPECT_TRUE(root.value(QStringLiteral("hasMD5")).toBool());

    EXPECT_EQ(runQuorvane({"compare", snap, q(folder.root()), "--set", "optCmpContents=true"}).exitCode, 0);
    folder.file("small", 1, 'z');
    EXPECT_EQ(runQuorvane({"compare", snap, q(folder.root()), "--set", "optCmpContents=true"}).exitCode, 1);
    EXPECT_EQ(runQuorvane({"compare", q(folder.root()), snap}).exitCode, 0);   // the right side too

    // A damaged snapshot is named and refused.
    std::ofstream(store.path("bad.qvss")) << "{\"pth\":\"/x\"}";
    const CommandResult bad = runQuorvane({"compare", q(store.path("bad.qvss")), q(folder.root())});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.startsWith("quorvane: ")) << bad.err.toStdString();
    EXPECT_EQ(runQuorvane({"snapshot", "show", q(store.path("bad.qvss"))}).exitCode, 2);
}

}  // namespace
}  // namespace qv::test
