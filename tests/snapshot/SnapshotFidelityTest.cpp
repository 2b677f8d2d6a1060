// A snapshot compared with the folder it recorded is equal, always: links,
// tags of folders, names that are not UTF-8 and dates far from now included.

#include "support/RunQuorvane.h"
#include "support/TempTree.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::test {
namespace {

// Rows of compare --json that are not equal, as "path state" lines.
std::string unequalRows(const CommandResult& r) {
    std::string out;
    for (const QByteArray& line : r.out.split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (!o.isEmpty() && o.value("state").toInt() != 1)
            out += o.value("path").toString().toStdString() + " " + std::to_string(o.value("state").toInt()) + "\n";
    }
    return out;
}

void setSeconds(const std::string& path, std::int64_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

class SnapshotFidelityTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.fileWithText("a.txt", "alpha");
        folder.fileWithText("sub/b", "beta");
        folder.fileWithText(".hidden", "h");
        folder.link("relative", "a.txt");
        folder.link("absolute", folder.path("sub"));
        folder.link("dangling", "nowhere/at/all");
        folder.link("sub/up", "..");
        folder.setTags("sub", "Red,work");
        folder.setTags("a.txt", "Blue");
        folder.fileWithText("caf\xE9", "latin-1 name");
        folder.fileWithText("dir\xFF/x\x80y", "bytes");
        folder.setTags("dir\xFF", "odd");
        folder.folder("empty");
    }

    CommandResult record(const std::string& name) {
        const CommandResult r =
            runQuorvane({"snapshot", "record", q(folder.root()), q(store.path(name)), "--md5"}, q(store.path("config")));
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return r;
    }
    CommandResult compare(const QString& left, const QString& right, const QStringList& options = {}) {
        return runQuorvane(QStringList{"compare", left, right, "--json"} + options, q(store.path("config")));
    }

    TempTree folder, store;
};

TEST_F(SnapshotFidelityTest, ASnapshotEqualsTheFolderItRecorded) {
    record("tree.qvss");
    const QString snap = q(store.path("tree.qvss"));
    const QString live = q(folder.root());
    const QStringList optionSets[] = {
        {},
        {"--set", "opCmpTags=true"},
        {"--set", "opResolveAliases=true"},
        {"--set", "optCmpContents=true"},
        {"--set", "optCmpContents=true", "--set", "opResolveAliases=true", "--set", "opCmpTags=true"},
    };
    for (const QStringList& options : optionSets) {
        SCOPED_TRACE(options.join(' ').toStdString());
        for (const auto& [left, right] : {std::pair{snap, live}, std::pair{live, snap}}) {
            const CommandResult r = compare(left, right, options);
            EXPECT_EQ(r.exitCode, 0) << unequalRows(r) << r.err.toStdString();
            EXPECT_EQ(unequalRows(r), "");
        }
    }
    // And with itself, read twice.
    record("again.qvss");
    const CommandResult twice = compare(snap, q(store.path("again.qvss")), {"--set", "opCmpTags=true"});
    EXPECT_EQ(twice.exitCode, 0) << unequalRows(twice);
}

TEST_F(SnapshotFidelityTest, NamesThatAreNotUtf8KeepTheirBytes) {
    record("tree.qvss");
    const CommandResult json = runQuorvane({"snapshot", "extract-json", q(store.path("tree.qvss"))});
    ASSERT_EQ(json.exitCode, 0);
    EXPECT_TRUE(json.out.contains("caf\\udce9")) << json.out.toStdString();
    EXPECT_TRUE(json.out.contains("x\\udc80y")) << json.out.toStdString();
    EXPECT_FALSE(json.out.contains("\\ufffd"));
    const CommandResult shown = runQuorvane({"snapshot", "show", q(store.path("tree.qvss"))});
    EXPECT_TRUE(shown.out.contains("caf\xE9")) << shown.out.toStdString();
    EXPECT_TRUE(shown.out.contains("x\x80y")) << shown.out.toStdString();

    // A changed file with such a name is found as changed, not as one-sided.
    folder.fileWithText("dir\xFF/x\x80y", "BYTES");
    const CommandResult r = compare(q(store.path("tree.qvss")), q(folder.root()), {"--set", "optCmpContents=true"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.count("\"state\":7"), 0) << r.out.toStdString();
    EXPECT_EQ(r.out.count("\"state\":8"), 0) << r.out.toStdString();
    bool sawChanged = false;
    for (const QByteArray& line : r.out.split('\n')) {
        if (!line.contains("\"path\":\"dir\\udcff/x\\udc80y\"")) continue;
        sawChanged = true;
        EXPECT_EQ(QJsonDocument::fromJson(line).object().value("state").toInt(), 5) << line.toStdString();
    }
    EXPECT_TRUE(sawChanged) << r.out.toStdString();
}

TEST_F(SnapshotFidelityTest, DatesFarFromNowStayExact) {
    // 2302-01-01 12:00:00 UTC: past the year 2262, where nanoseconds since
    // 1970 no longer fit in 64 bits, and within what ext4 and tmpfs keep.
    constexpr std::int64_t kFuture = 10'476'907'200;
    folder.fileWithText("future", "f");
    setSeconds(folder.path("future"), kFuture);
    struct stat st {};
    ASSERT_EQ(::lstat(folder.path("future").c_str(), &st), 0);
    if (st.st_mtim.tv_sec != kFuture) GTEST_SKIP() << "the file system here cannot keep a date in 2302";

    record("dated.qvss");
    const CommandResult json = runQuorvane({"snapshot", "extract-json", q(store.path("dated.qvss"))});
    EXPECT_TRUE(json.out.contains("\"dtM\":\"2302-01-01T12:00:00Z\"")) << json.out.toStdString();
    const CommandResult shown = runQuorvane({"snapshot", "show", q(store.path("dated.qvss")), "--sort", "modified"});
    EXPECT_TRUE(shown.out.contains("2302")) << shown.out.toStdString();

    const CommandResult vsSnapshot = compare(q(store.path("dated.qvss")), q(folder.root()));
    EXPECT_EQ(vsSnapshot.exitCode, 0) << unequalRows(vsSnapshot);
    bool sawFuture = false;
    for (const QByteArray& line : vsSnapshot.out.split('\n')) {
        if (QJsonDocument::fromJson(line).object().value("path").toString() != "future") continue;
        sawFuture = true;
        EXPECT_TRUE(line.contains("\"mtime1\":10476907200.000000000")) << line.toStdString();
        EXPECT_TRUE(line.contains("\"mtime2\":10476907200.000000000")) << line.toStdString();
    }
    EXPECT_TRUE(sawFuture);
    // A file a second older is older, not equal.
    TempTree other;
    other.fileWithText("future", "f");
    setSeconds(other.path("future"), kFuture - 5);
    const CommandResult live = compare(q(folder.root()), q(other.root()), {"--show", "different"});
    EXPECT_TRUE(live.out.contains("\"path\":\"future\"")) << live.out.toStdString();
}

}  // namespace
}  // namespace qv::test
