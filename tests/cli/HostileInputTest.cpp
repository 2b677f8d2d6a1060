// The command given what a user (or an attacker) may hand it: FIFOs and
// devices where files are read, a folder named like a snapshot, snapshots
// nested far deeper than any folder, trees deeper than a path can name.
// Nothing may hang, crash or answer wrong.

#include "snapshot/lzfse/Lzfse.h"
#include "support/RunQuorvane.h"
#include "support/TempTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

namespace qv::test {
namespace {

// Long enough for a slow machine, far shorter than a hang.
constexpr int kPrompt = 20000;

// The row of the compare --json output at `path` ("" for the root).
QJsonObject row(const CommandResult& r, const QString& path) {
    for (const QByteArray& line : r.out.split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (!o.isEmpty() && o.value("path").toString() == path) return o;
    }
    return {};
}

// The rows of `snapshot show` naming a folder "a". Rows only: the heading names
// the recorded folder, and a temporary folder's random name may hold "a/" too.
int rowsNamedA(const CommandResult& shown) {
    int rows = 0;
    for (const QByteArray& line : shown.out.split('\n'))
        if (line.trimmed().startsWith("a/")) ++rows;
    return rows;
}

// A snapshot of `depth` nested folders named "a", the last holding one file
// "f" of 3 bytes, recorded at `root`. Names stand for paths below the root.
void writeDeepSnapshot(const std::string& file, int depth, const std::string& root) {
    std::string json = "{\"pth\":\"" + root + "\",\"fol\":true,\"siz\":3,\"date\":\"2024-01-01T00:00:00Z\",\"chi\":[";
    for (int i = 0; i < depth; ++i) json += "{\"pth\":\"a\",\"fol\":true,\"siz\":3,\"nfi\":1,\"chi\":[";
    json += "{\"pth\":\"f\",\"fol\":false,\"siz\":3,\"dtM\":\"2024-01-01T00:00:00Z\"}";
    for (int i = 0; i < depth; ++i) json += "]}";
    json += "]}";
    const auto encoded = lzfse::encode(std::span(reinterpret_cast<const std::uint8_t*>(json.data()), json.size()));
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(encoded.data()),
                                                static_cast<std::streamsize>(encoded.size()));
}

TEST(HostileInputTest, FifosAndDevicesAreComparedByKindWithoutHanging) {
    TempTree left, right;
    ASSERT_EQ(::mkfifo(left.path("p").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(right.path("p").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(left.path("q").c_str(), 0600), 0);
    right.file("q");   // a FIFO facing an empty file
    left.link("zero", "/dev/zero");
    right.link("zero", "/dev/zero");
    left.file("same", 5);
    right.file("same", 5);

    const CommandResult r = runQuorvane({"compare", q(left.root()), q(right.root()), "--json", "--set",
                                         "optCmpContents=true", "--set", "opResolveAliases=true"},
                                        {}, kPrompt);
    ASSERT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_EQ(row(r, "p").value("state").toInt(), 1);
    EXPECT_EQ(row(r, "q").value("state").toInt(), 5);
    EXPECT_EQ(row(r, "zero").value("state").toInt(), 1);
    EXPECT_EQ(row(r, "same").value("state").toInt(), 1);
}

TEST(HostileInputTest, InputsThatAreNotRegularFilesAreRefusedAtOnce) {
    TempTree t;
    t.folder("G");
    t.folder("H");
    t.folder("d.qvss");
    ASSERT_EQ(::mkfifo(t.path("p.qvss").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(t.path("rules.json").c_str(), 0600), 0);
    const QString g = q(t.path("G"));

    for (const QString& snapshot : {q(t.path("d.qvss")), q(t.path("p.qvss"))}) {
        SCOPED_TRACE(snapshot.toStdString());
        const CommandResult compared = runQuorvane({"compare", snapshot, g}, {}, kPrompt);
        EXPECT_EQ(compared.exitCode, 2) << compared.err.toStdString();
        EXPECT_TRUE(compared.err.contains("snapshot cannot be read")) << compared.err.toStdString();
        EXPECT_TRUE(compared.err.contains("not a regular file")) << compared.err.toStdString();
        const CommandResult shown = runQuorvane({"snapshot", "show", snapshot}, {}, kPrompt);
        EXPECT_EQ(shown.exitCode, 2) << shown.err.toStdString();
        EXPECT_EQ(runQuorvane({"snapshot", "extract-json", snapshot}, {}, kPrompt).exitCode, 2);
    }
    const CommandResult zero = runQuorvane({"snapshot", "show", "/dev/zero"}, {}, kPrompt);
    EXPECT_EQ(zero.exitCode, 2) << zero.err.toStdString();

    for (const char* option : {"--rules", "--exclude-from"}) {
        for (const QString& rules : {QStringLiteral("/dev/zero"), q(t.path("rules.json")), g}) {
            const CommandResult r = runQuorvane({"compare", option, rules, g, q(t.path("H"))}, {}, kPrompt);
            EXPECT_EQ(r.exitCode, 2) << option << " " << rules.toStdString();
            EXPECT_TRUE(r.err.contains("not a regular file")) << r.err.toStdString();
        }
    }
}

TEST(HostileInputTest, ASnapshotNestedDeeperThanAnyFolderIsRefused) {
    TempTree t;
    t.folder("G");
    writeDeepSnapshot(t.path("deep.qvss"), 20000, "/recorded");
    struct stat st {};
    ASSERT_EQ(::stat(t.path("deep.qvss").c_str(), &st), 0);
    EXPECT_LT(st.st_size, 4096);   // a small file

    const CommandResult shown = runQuorvane({"snapshot", "show", q(t.path("deep.qvss"))}, {}, kPrompt);
    EXPECT_EQ(shown.exitCode, 2) << shown.err.toStdString();
    EXPECT_TRUE(shown.err.contains("nested deeper")) << shown.err.toStdString();
    const CommandResult compared = runQuorvane({"compare", q(t.path("deep.qvss")), q(t.path("G"))}, {}, kPrompt);
    EXPECT_EQ(compared.exitCode, 2) << compared.err.toStdString();
}

TEST(HostileInputTest, TreesAsDeepAsAFolderCanBeAreWalkedEverywhere) {
    TempTree t;
    t.folder("G");
    writeDeepSnapshot(t.path("one.qvss"), 2000, "/recorded");
    writeDeepSnapshot(t.path("two.qvss"), 2000, "/recorded");
    const QString one = q(t.path("one.qvss")), two = q(t.path("two.qvss"));

    const CommandResult shown = runQuorvane({"snapshot", "show", one, "--sort", "size"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err.toStdString();
    EXPECT_EQ(rowsNamedA(shown), 2000);

    // One side against an empty folder: the size pass walks the whole snapshot.
    const CommandResult alone = runQuorvane({"compare", one, q(t.path("G")), "--json"});
    ASSERT_EQ(alone.exitCode, 1) << alone.err.toStdString();
    EXPECT_EQ(row(alone, "").value("files1").toInt(), 1);
    EXPECT_EQ(row(alone, "").value("folders1").toInt(), 2000);

    // Two snapshots: the scan, the sort, the counts and the report go down every level.
    const CommandResult both = runQuorvane({"compare", one, two, "--json"});
    ASSERT_EQ(both.exitCode, 0) << both.err.toStdString();
    EXPECT_EQ(both.out.count('\n'), 2002);
    const CommandResult exported = runQuorvane({"export", one, two, "--out", q(t.path("deep.csv")), "--all"});
    EXPECT_EQ(exported.exitCode, 0) << exported.err.toStdString();
}

// Deeper than the deepest tree the program walks (2048 levels), and so far
// deeper than a path of 4096 bytes can name.
constexpr int kDeeperThanWalked = 2048 + 12;

TEST(HostileInputTest, AFolderPairTooDeepToCompareCountsAsADifference) {
    TempTree t;
    for (const char* side : {"L", "R"}) t.chain(side, kDeeperThanWalked, [](int) { return std::string("a"); });

    const CommandResult r = runQuorvane({"compare", q(t.path("L")), q(t.path("R")), "--json"});
    ASSERT_EQ(r.exitCode, 1) << r.err.toStdString();
    const QJsonObject root = row(r, "");
    EXPECT_EQ(root.value("state").toInt(), 5);
    EXPECT_EQ(root.value("diffs1").toInt(), 1);
    // Every pair down to the limit is compared; the one at the limit cannot be.
    int cannot = 0, rows = 0;
    for (const QByteArray& line : r.out.split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.isEmpty()) continue;
        ++rows;
        if (o.value("state").toInt() == 10) ++cannot;
    }
    EXPECT_EQ(cannot, 1);
    EXPECT_EQ(rows, 2048 + 1);
}

TEST(HostileInputTest, AOneSidedTreeDeeperThanWalkedIsSizedAndRecordedWithinTheLimit) {
    TempTree t;
    t.folder("R");
    t.chain("L", kDeeperThanWalked, [](int) { return std::string("a"); });

    const CommandResult r = runQuorvane({"compare", q(t.path("L")), q(t.path("R")), "--json"});
    ASSERT_EQ(r.exitCode, 1) << r.err.toStdString();
    const int folders = row(r, "").value("folders1").toInt();
    EXPECT_GT(folders, 2000);
    EXPECT_LT(folders, kDeeperThanWalked);

    // A snapshot keeps what it can read back: the folders past the limit are left out, and said so.
    const CommandResult recorded = runQuorvane({"snapshot", "record", q(t.path("L")), q(t.path("deep.qvss"))});
    ASSERT_EQ(recorded.exitCode, 0) << recorded.err.toStdString();
    EXPECT_TRUE(recorded.err.contains("too long")) << recorded.err.toStdString();
    const CommandResult shown = runQuorvane({"snapshot", "show", q(t.path("deep.qvss"))});
    ASSERT_EQ(shown.exitCode, 0) << shown.err.toStdString();
    EXPECT_EQ(rowsNamedA(shown), 2047);
}

}  // namespace
}  // namespace qv::test
