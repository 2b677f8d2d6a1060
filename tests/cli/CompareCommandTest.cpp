// The compare command as scripts see it: the installed binary, its exit
// status, its JSON lines and its error messages.

#include "support/RunQuorvane.h"
#include "support/TempTree.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeDatabase>
#include <QProcess>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace qv::test {
namespace {

using Result = CommandResult;

std::map<QString, QJsonObject> nodesByPath(const QByteArray& out) {
    std::map<QString, QJsonObject> nodes;
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty()) continue;
        QJsonParseError error{};
        const QJsonObject o = QJsonDocument::fromJson(line, &error).object();
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        nodes[o.value(QStringLiteral("path")).toString()] = o;
    }
    return nodes;
}

TEST(CompareCommandTest, ExitStatusTellsEqualDifferentAndError) {
    TempTree left, right;
    left.file("a", 3);
    right.file("a", 3);
    EXPECT_EQ(runQuorvane({"compare", q(left.root()), q(right.root())}).exitCode, 0);
    right.file("b", 1);
    const Result different = runQuorvane({"compare", q(left.root()), q(right.root())});
    EXPECT_EQ(different.exitCode, 1);
    EXPECT_TRUE(different.out.contains("only right")) << different.out.toStdString();

    for (const QStringList& bad : {QStringList{"compare", q(left.root())},
                                   QStringList{"compare", q(left.root()), q(left.path("nope"))},
                                   QStringList{"compare", q(left.root()), q(right.root()), "--set", "noSuchKey=1"},
                                   QStringList{"compare", q(left.root()), q(right.root()), "--set", "optCmpContents=perhaps"},
                                   QStringList{"compare", q(left.root()), q(right.root()), "--frobnicate"},
                                   QStringList{"launch"}}) {
        const Result r = runQuorvane(bad);
        EXPECT_EQ(r.exitCode, 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("quorvane: ")) << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

TEST(CompareCommandTest, TwoFilesAreComparedAsFiles) {
    TempTree t;
    t.fileWithText("a.txt", "one\ntwo\n");
    t.fileWithText("b.txt", "one\nTWO\n");
    t.fileWithText("c.txt", "one\ntwo\n");
    EXPECT_EQ(runQuorvane({"compare", q(t.path("a.txt")), q(t.path("c.txt"))}).exitCode, 0);
    const Result differ = runQuorvane({"compare", q(t.path("a.txt")), q(t.path("b.txt"))});
    EXPECT_EQ(differ.exitCode, 1);
    EXPECT_TRUE(differ.out.contains("TWO")) << differ.out.toStdString();
    EXPECT_EQ(runQuorvane({"export", q(t.path("a.txt")), q(t.path("b.txt"))}).exitCode, 2);
}

TEST(CompareCommandTest, JsonListsEveryNodeParentsFirstWithTheContractFields) {
    TempTree left, right;
    left.file("dir/x.txt", 5, 'x', kBaseTimeNs + 123);
    right.file("dir/x.txt", 6);
    left.file("Same", 2);
    right.file("SAME", 2);
    right.link("ln", "/nowhere");
    const Result r = runQuorvane({"compare", "--json", q(left.root()), q(right.root()), "--set", "optIgnoreDates=yes"});
    ASSERT_EQ(r.exitCode, 1) << r.err.toStdString();
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(QJsonDocument::fromJson(lines.first()).object().value(QStringLiteral("path")).toString(), QString());
    auto nodes = nodesByPath(r.out);
    ASSERT_EQ(nodes.size(), 5u);
    const QJsonObject x = nodes[QStringLiteral("dir/x.txt")];
    EXPECT_EQ(x.value(QStringLiteral("state")).toInt(), 2);   // dates ignored: sizes alone differ
    EXPECT_EQ(x.value(QStringLiteral("size1")).toInt(), 5);
    EXPECT_EQ(x.value(QStringLiteral("size2")).toInt(), 6);
    EXPECT_FALSE(x.value(QStringLiteral("dir1")).toBool());
    EXPECT_DOUBLE_EQ(x.value(QStringLiteral("mtime2")).toDouble(), 1600000000.0);
    const QJsonObject same = nodes[QStringLiteral("Same")];
    EXPECT_EQ(same.value(QStringLiteral("name2")).toString(), QStringLiteral("SAME"));
    EXPECT_EQ(same.value(QStringLiteral("state")).toInt(), 1);
    const QJsonObject ln = nodes[QStringLiteral("ln")];
    EXPECT_TRUE(ln.value(QStringLiteral("name1")).isNull());
    EXPECT_TRUE(ln.value(QStringLiteral("mtime1")).isNull());
    EXPECT_TRUE(ln.value(QStringLiteral("link2")).toBool());
    EXPECT_EQ(ln.value(QStringLiteral("state")).toInt(), 8);
    EXPECT_TRUE(nodes[QStringLiteral("dir")].value(QStringLiteral("dir1")).toBool());
    // Parents come before their children.
    EXPECT_LT(r.out.indexOf("\"path\":\"dir\""), r.out.indexOf("\"path\":\"dir/x.txt\""));
}

TEST(CompareCommandTest, SortFilterSizesAndNavigationForScripts) {
    TempTree left, right;
    left.file("a.txt", 3);
    right.file("a.txt", 3);
    left.file("b.txt", 30);
    right.file("b.txt", 40);
    left.file("onlyL/inside/x", 7);
    left.file("onlyL/y", 5);
    right.file("onlyR.bin", 100);
    const QString l = q(left.root()), r = q(right.root());

    const Result json = runQuorvane({"compare", "--json", "--hide", "equal", l, r});
    ASSERT_EQ(json.exitCode, 1) << json.err.toStdString();
    auto nodes = nodesByPath(json.out);
    EXPECT_EQ(nodes.count(QStringLiteral("a.txt")), 0u);
    const QJsonObject root = nodes[QString()];
    EXPECT_EQ(root.value(QStringLiteral("orphans1")).toInt(), 1);
    EXPECT_EQ(root.value(QStringLiteral("orphans2")).toInt(), 1);
    EXPECT_EQ(root.value(QStringLiteral("diffs1")).toInt(), 1);
    EXPECT_EQ(root.value(QStringLiteral("files1")).toInt(), 4);
    EXPECT_EQ(root.value(QStringLiteral("size1")).toInt(), 45);   // the one-sided folder is sized after the scan
    EXPECT_EQ(nodes[QStringLiteral("onlyL")].value(QStringLiteral("folders1")).toInt(), 1);
    EXPECT_FALSE(nodes[QStringLiteral("b.txt")].contains(QStringLiteral("files1")));   // counters are for folders

    // Sorted by the right size, largest first.
    const Result sorted = runQuorvane({"compare", "--json", "--sort", "size2:desc", l, r});
    const int onlyR = sorted.out.indexOf("\"path\":\"onlyR.bin\""), b = sorted.out.indexOf("\"path\":\"b.txt\"");
    const int a = sorted.out.indexOf("\"path\":\"a.txt\"");
    EXPECT_TRUE(onlyR >= 0 && onlyR < b && b < a) << sorted.out.toStdString();

    // The status line and the two message lines end a plain run.
    const Result text = runQuorvane({"compare", l, r});
    const QList<QByteArray> lines = text.out.trimmed().split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(lines[lines.size() - 2].startsWith("Left: 45 bytes, 4 files, 2 folders")) << text.out.toStdString();
    EXPECT_TRUE(lines.last().startsWith("Right: 143 bytes, 3 files, 0 folders")) << text.out.toStdString();

    const Result first = runQuorvane({"compare", "--sort", "name", "--next-diff", "", l, r});
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_EQ(first.out, "b.txt\n");
    EXPECT_EQ(runQuorvane({"compare", "--sort", "name", "--next-diff", "b.txt", l, r}).out, "onlyL\n");
    EXPECT_EQ(runQuorvane({"compare", "--sort", "name", "--prev-diff", "", l, r}).out, "onlyR.bin\n");
    EXPECT_EQ(runQuorvane({"compare", "--sort", "name", "--next-diff", "onlyR.bin", l, r}).exitCode, 1);
    EXPECT_EQ(runQuorvane({"compare", "--next-diff", "nowhere", l, r}).exitCode, 2);
    EXPECT_EQ(runQuorvane({"compare", "--sort", "colour", l, r}).exitCode, 2);
    EXPECT_EQ(runQuorvane({"compare", "--hide", "boring", l, r}).exitCode, 2);
}

QString md5sum(const std::string& path) {
    QProcess p;
    p.start(QStringLiteral("md5sum"), {QString::fromStdString(path)});
    EXPECT_TRUE(p.waitForFinished(10000));
    return QString::fromUtf8(p.readAllStandardOutput()).section(' ', 0, 0);
}

TEST(CompareCommandTest, OptionalColumnsAreReadForEverySortAndAddedToTheRows) {
    TempTree left, right;
    left.fileWithText("b.txt", "bee");
    left.setTags("b.txt", "Red,Work");
    right.fileWithText("b.txt", "bee!");
    left.fileWithText("a.txt", "a");
    left.setTags("a.txt", "Blue");
    right.fileWithText("a.txt", "a");
    left.fileWithText("c.pdf", "%PDF");
    right.fileWithText("c.pdf", "%PDF");

    const Result r = runQuorvane({"compare", "--json", q(left.root()), q(right.root()), "--columns", "md51,16,tags1,kind1"});
    ASSERT_EQ(r.exitCode, 1) << r.err.toStdString();
    auto nodes = nodesByPath(r.out);
    const QJsonObject b = nodes[QStringLiteral("b.txt")];
    EXPECT_EQ(b["md51"].toString(), md5sum(left.path("b.txt")));
    EXPECT_EQ(b["md52"].toString(), md5sum(right.path("b.txt")));
    EXPECT_EQ(b["tags1"].toString(), QStringLiteral("Red, Work"));
    EXPECT_FALSE(b.contains(QStringLiteral("tags2")));
    EXPECT_EQ(nodes[QStringLiteral("c.pdf")]["kind1"].toString(), QMimeDatabase().mimeTypeForName("application/pdf").comment());
    EXPECT_FALSE(b.contains(QStringLiteral("ignored")));

    // Sorting by a column reads it without being asked to show it.
    const Result sorted = runQuorvane({"compare", q(left.root()), q(right.root()), "--sort", "tags1:desc"});
    const int posB = sorted.out.indexOf("b.txt"), posA = sorted.out.indexOf("a.txt"), posC = sorted.out.indexOf("c.pdf");
    EXPECT_TRUE(posB < posA && posA < posC) << sorted.out.toStdString();   // "Red, Work", "Blue", ""
    const Result text = runQuorvane({"compare", q(left.root()), q(right.root()), "--columns", "tags1"});
    EXPECT_TRUE(text.out.contains("tags1=Red, Work")) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("tags1=-")) << text.out.toStdString();

    const Result bad = runQuorvane({"compare", q(left.root()), q(right.root()), "--columns", "colour"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains("colour")) << bad.err.toStdString();
}

// --exclude and --exclude-from leave out what rsync leaves out with the same patterns.
TEST(CompareCommandTest, ExcludesMatchRsyncOnTheSameTree) {
    TempTree t;
    for (const char* f : {"L/keep.txt", "L/notes.tmp", "L/build/out.o", "L/src/build/gen.c", "L/src/main.c",
                          "L/src/cache", "L/cache/x", "L/Makefile", "L/doc/a.tmp", "L/doc/readme"})
        t.file(f, 1);
    t.folder("R");
    t.fileWithText("ignore", "# generated\n*.tmp\n\n/build/\ncache/\n");
    auto listed = [&](const QStringList& options) {
        const Result r = runQuorvane(QStringList{"compare", "--json", "--all", q(t.path("L")), q(t.path("R"))} + options);
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        std::set<QString> paths;
        for (const auto& [path, o] : nodesByPath(r.out))
            if (!path.isEmpty()) paths.insert(path);
        return paths;
    };
    auto rsync = [&](const QStringList& options) {
        QProcess p;
        p.start(QStringLiteral("rsync"), QStringList{"-an", "--out-format=%n"} + options +
                                             QStringList{q(t.path("L")) + '/', q(t.path("R")) + '/'});
        EXPECT_TRUE(p.waitForFinished(30000));
        std::set<QString> paths;
        for (QString line : QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
            if (line.endsWith('/')) line.chop(1);
            if (line != u".") paths.insert(line);
        }
        return paths;
    };
    const QStringList cases[] = {
        {"--exclude", "*.tmp"},
        {"--exclude", "/build"},
        {"--exclude", "build/", "--exclude", "cache"},
        {"--exclude", "cache/"},
        {"--exclude", "src/build"},
        {"--exclude-from", q(t.path("ignore"))},
    };
    for (const QStringList& options : cases) {
        const std::set<QString> ours = listed(options), theirs = rsync(options);
        auto text = [](const std::set<QString>& paths) {
            return QStringList(paths.begin(), paths.end()).join(QStringLiteral(", ")).toStdString();
        };
        EXPECT_EQ(text(ours), text(theirs)) << options.join(' ').toStdString();
        EXPECT_LT(ours.size(), 14u) << options.join(' ').toStdString();   // something was left out
    }
}

}  // namespace
}  // namespace qv::test
