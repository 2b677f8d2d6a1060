// Folder totals are the apparent sizes and counts of what the comparison
// covers, each entry counted once, at every level: what `du --apparent-size`
// and `find` say of the same folders.

#include "support/RunQuorvane.h"
#include "support/TempTree.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

namespace qv::test {
namespace {

struct Totals {
    std::int64_t bytes = 0, files = 0, folders = 0;
};

// What du and find count below a folder (links as the length of their destination).
Totals walk(const std::string& folder, bool hidden = true) {
    Totals t;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return t;
    while (const dirent* e = ::readdir(dir)) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..") || (!hidden && e->d_name[0] == '.')) continue;
        const std::string path = folder + "/" + e->d_name;
        struct stat st {};
        ::lstat(path.c_str(), &st);
        if (S_ISDIR(st.st_mode)) {
            const Totals below = walk(path, hidden);
            t.bytes += below.bytes;
            t.files += below.files;
            t.folders += below.folders + 1;
        } else {
            t.bytes += st.st_size;
            ++t.files;
        }
    }
    ::closedir(dir);
    return t;
}

// The totals of one side of a row of compare --json.
Totals side(const CommandResult& r, const QString& path, int side) {
    const QString n = QString::number(side);
    for (const QByteArray& line : r.out.split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.isEmpty() || o.value("path").toString() != path) continue;
        return {o.value("size" + n).toInteger(), o.value("files" + n).toInteger(), o.value("folders" + n).toInteger()};
    }
    ADD_FAILURE() << "no row " << path.toStdString();
    return {};
}

void expectTotals(const Totals& got, const Totals& want, const char* what) {
    EXPECT_EQ(got.bytes, want.bytes) << what;
    EXPECT_EQ(got.files, want.files) << what;
    EXPECT_EQ(got.folders, want.folders) << what;
}

TEST(FolderTotalsTest, AFolderLeftOutAtTheTopCountsOnce) {
    TempTree left, right;
    left.file("visible.txt", 7);
    right.file("visible.txt", 7);
    left.file(".cache/a", 100);
    left.file(".cache/deep/b", 1000);
    // Left out of the comparison but, with calculateSameCompare off, still in the totals.
    const CommandResult r = runQuorvane({"compare", q(left.root()), q(right.root()), "--json", "--set",
                                         "opCmpHidden=false", "--set", "calculateSameCompare=false"});
    ASSERT_GE(r.exitCode, 0) << r.err.toStdString();
    expectTotals(side(r, "", 1), walk(left.root()), "left, hidden folder");
    expectTotals(side(r, "", 2), walk(right.root()), "right");

    // The same for a folder that a rule leaves out.
    TempTree config;
    const std::string rules = config.path("rules.json");
    config.fileWithText("rules.json", R"({"version":1,"folderRules":{"on":true,"rules":[{"matchType":0,"pattern":"bui","caseSensitive":false}]}})");
    left.file("build/out.o", 5000);
    const CommandResult ruled = runQuorvane({"compare", q(left.root()), q(right.root()), "--json", "--rules", q(rules),
                                             "--set", "calculateSameCompare=false"});
    ASSERT_GE(ruled.exitCode, 0) << ruled.err.toStdString();
    expectTotals(side(ruled, "", 1), walk(left.root()), "left, folder left out by a rule");
}

TEST(FolderTotalsTest, AFolderFacingAFileCountsItsContentsAtEveryLevel) {
    TempTree left, right;
    left.file("top/x/a", 5);
    left.file("top/x/sub/b", 7);
    right.file("top/x", 3);          // the left folder faces a file
    left.file("top/y", 11);
    right.file("top/y/c", 13);       // and a file faces a right folder
    right.file("top/y/sub/d", 17);
    left.file("same", 2);
    right.file("same", 2);

    const CommandResult r = runQuorvane({"compare", q(left.root()), q(right.root()), "--json"});
    ASSERT_EQ(r.exitCode, 1) << r.err.toStdString();
    expectTotals(side(r, "", 1), walk(left.root()), "left, root");
    expectTotals(side(r, "", 2), walk(right.root()), "right, root");
    expectTotals(side(r, "top", 1), walk(left.path("top")), "left, top");
    expectTotals(side(r, "top", 2), walk(right.path("top")), "right, top");
    expectTotals(side(r, "top/x", 1), walk(left.path("top/x")), "left, the folder facing a file");
    expectTotals(side(r, "top/y", 2), walk(right.path("top/y")), "right, the folder facing a file");
}

}  // namespace
}  // namespace qv::test
