#include "snapshot/KSnapshot.h"
#include "base/InputLimits.h"
#include "snapshot/SnapshotRecorder.h"
#include "snapshot/lzfse/Lzfse.h"
#include "support/FileChecks.h"
#include "support/ScanHarness.h"
#include "support/TempTree.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>

#include <fstream>
#include <limits>
#include <random>

namespace qv::test {
namespace {

constexpr std::int64_t kSecond = 1'000'000'000LL;
constexpr std::int64_t kRecordedAt = 1'700'000'000LL * kSecond;

std::string recordJson(const std::string& folder, bool md5) {
    SnapshotRecorder recorder(platform::systemFileSystem(), {md5});
    std::string json;
    EXPECT_TRUE(recorder.record(folder, json, kRecordedAt));
    return json;
}

void writeSnapshot(const std::string& file, const std::string& json) {
    const auto compressed = lzfse::encode(std::span(reinterpret_cast<const std::uint8_t*>(json.data()), json.size()));
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(compressed.data()),
                                                static_cast<std::streamsize>(compressed.size()));
}

// Two recorded trees hold the same entries with the same values (in any listing order).
void expectSameTree(const KSnapURL& a, const KSnapURL& b) {
    EXPECT_EQ(a.iName, b.iName);
    EXPECT_EQ(a.iFolder, b.iFolder) << a.iName;
    EXPECT_EQ(a.iHidden, b.iHidden) << a.iName;
    EXPECT_EQ(a.iDataSize, b.iDataSize) << a.iName;
    EXPECT_EQ(a.iModDate, b.iModDate) << a.iName;
    EXPECT_EQ(a.iNumOfFiles, b.iNumOfFiles) << a.iName;
    EXPECT_EQ(a.iNumOfFolders, b.iNumOfFolders) << a.iName;
    EXPECT_EQ(a.iColorNum, b.iColorNum) << a.iName;
    EXPECT_EQ(a.iTags != nullptr, b.iTags != nullptr) << a.iName;
    ASSERT_EQ(a.iChildren.size(), b.iChildren.size()) << a.iName;
    for (const KSnapURL* child : a.iChildren) {
        const KSnapURL* other = b.child(child->iName);
        ASSERT_NE(other, nullptr) << child->iName;
        expectSameTree(*child, *other);
    }
}

TEST(KSnapshotTest, RecordingWritesTheDocumentedJson) {
    TempTree tree;
    tree.file("b.txt", 10, 'x', kRecordedAt + 700'000'000);   // 12:00:00.700 reads back as whole seconds
    tree.file("a/c.txt", 20);
    tree.file("sub/leaf", 5);
    tree.file(".DS_Store", 3);
    tree.file("Icon\r", 3);
    tree.file(".hidden", 1);
    tree.folder("empty");
    tree.setTime("a", kBaseTimeNs);
    tree.setTime("sub", kBaseTimeNs);
    tree.setTime("empty", kBaseTimeNs);
    tree.setTime("", kBaseTimeNs);
    tree.setTags("b.txt", "Red,Work");

    std::string json = recordJson(tree.root(), false);
    // Creation and access times depend on the moment the test runs; the rest is fixed.
    json = QString::fromStdString(json)
               .replace(QRegularExpression(QStringLiteral(",\"dt[CA]\":\"[^\"]*\"")), QString())
               .replace(QString::fromStdString(tree.root()).replace('/', QStringLiteral("\\/")), QStringLiteral("\\/ROOT"))
               .toStdString();
    // Listing order is the file system's: compare entries, not the order of the text.
    const std::string golden = readAll(QV_TEST_DATA "/snapshot/small.json");
    if (qEnvironmentVariableIsSet("QV_UPDATE_GOLDEN")) std::ofstream(QV_TEST_DATA "/snapshot/small.json") << json;
    KSnapshot fromRecording, fromGolden;
    ASSERT_TRUE(fromRecording.readJson(json));
    ASSERT_TRUE(fromGolden.readJson(golden)) << "golden file missing or unreadable";
    EXPECT_EQ(json.size(), golden.size());
    expectSameTree(*fromRecording.iSnapshot(), *fromGolden.iSnapshot());

    const KSnapURL& root = *fromRecording.iSnapshot();
    EXPECT_EQ(root.iDataSize, 36u);   // 10 + 20 + 5 + the hidden 1
    EXPECT_EQ(root.iNumOfFiles, 4u);
    EXPECT_EQ(root.iNumOfFolders, 3u);
    EXPECT_FALSE(fromRecording.hasMD5());
    EXPECT_EQ(fromRecording.iSnapDate(), kRecordedAt);
    EXPECT_EQ(root.child(".DS_Store"), nullptr);
    EXPECT_EQ(root.child("Icon\r"), nullptr);
    ASSERT_NE(root.child(".hidden"), nullptr);
    EXPECT_TRUE(root.child(".hidden")->iHidden);
    const KSnapURL* b = root.child("b.txt");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->iModDate, kRecordedAt);
    EXPECT_FALSE(b->hasMD5);
    ASSERT_TRUE(b->iTags);
    EXPECT_EQ(*b->iTags, (std::vector<std::string>{"Red", "Work"}));
    EXPECT_EQ(b->iColorNum, 6);   // the sixth label colour
    const KSnapURL* empty = root.child("empty");
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->iFolder);
    EXPECT_EQ(empty->iDataSize, 0u);
    EXPECT_TRUE(empty->iChildren.empty());
    EXPECT_EQ(root.child("sub")->iDataSize, 5u);
    EXPECT_EQ(root.child("sub")->iNumOfFiles, 1u);
    EXPECT_NE(json.find("\"pth\":\"\\/ROOT\\/sub\\/leaf\""), std::string::npos);   // slashes escaped
    EXPECT_EQ(json.find("\"md5\""), std::string::npos);
}

TEST(KSnapshotTest, DatesAreWrittenAsUtcWithAnExpandedYearBeyondFourDigits) {
    auto at = [](std::int64_t seconds) { return isoDate(platform::timeFromSeconds(seconds)); };
    EXPECT_EQ(at(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(at(-1), "1969-12-31T23:59:59Z");
    EXPECT_EQ(at(951'825'599), "2000-02-29T11:59:59Z");
    EXPECT_EQ(at(1'700'000'000), "2023-11-14T22:13:20Z");
    EXPECT_EQ(at(-62'167'219'200), "0000-01-01T00:00:00Z");
    EXPECT_EQ(at(253'402'300'799), "9999-12-31T23:59:59Z");
    EXPECT_EQ(at(253'402'300'800), "+10000-01-01T00:00:00Z");
    // Across the whole four-digit calendar, each is the C library's own
    // reading of the second, and reads back as the same second.
    std::int64_t s = -62'167'219'200LL;
    for (int i = 0; i < 20000; ++i, s += 15'778'463LL + i) {
        const std::time_t t = static_cast<std::time_t>(s);
        struct tm utc {};
        ASSERT_TRUE(gmtime_r(&t, &utc));
        char expected[32];
        if (utc.tm_year + 1900 <= 9999) {
            std::strftime(expected, sizeof expected, "%Y-%m-%dT%H:%M:%SZ", &utc);
            // strftime's %Y leaves years under 1000 unpadded.
            ASSERT_EQ(at(s).substr(4), std::string(expected).substr(std::strlen(expected) - 16)) << s;
            ASSERT_EQ(std::stoi(at(s).substr(0, 4)), utc.tm_year + 1900) << s;
        }
        ASSERT_EQ(parseIsoDate(at(s)), platform::timeFromSeconds(s)) << at(s);
    }
    for (std::int64_t far : {253'402'300'800LL, 951'825'600LL - 1})
        EXPECT_EQ(parseIsoDate(at(far)), platform::timeFromSeconds(far)) << far;
    // A field out of range is normalised as the calendar does it.
    EXPECT_EQ(parseIsoDate("2023-02-30T00:00:00Z"), parseIsoDate("2023-03-02T00:00:00Z"));
}

TEST(KSnapshotTest, EscapedBytesOfNamesComeBackAsTheSameBytes) {
    // A lone low surrogate stands for one undecodable byte; after a high one
    // it is half of a real character; escaped quotes and backslashes stay text.
    const std::string json = R"({"pth":"/r","fol":true,"chi":[)"
                             R"({"pth":"/r/caf\udce9","fol":false,"siz":1},)"
                             R"({"pth":"/r/\ud83d\udc80 skull","fol":false,"siz":2},)"
                             R"({"pth":"/r/q\"uote\\udc80","fol":false,"siz":3},)"
                             R"({"pth":"/r/nul\u0000in","fol":false,"siz":4,"lnk":"\udcff\/target"}]})";
    KSnapshot snapshot;
    std::string error;
    ASSERT_TRUE(snapshot.readJson(json, &error)) << error;
    EXPECT_NE(snapshot.entryAt("/r/caf\xE9"), nullptr);
    EXPECT_NE(snapshot.entryAt("/r/\xF0\x9F\x92\x80 skull"), nullptr);
    EXPECT_NE(snapshot.entryAt("/r/q\"uote\\udc80"), nullptr);
    const KSnapURL* nul = snapshot.entryAt(std::string_view("/r/nul\0in", 9));
    ASSERT_NE(nul, nullptr);
    EXPECT_EQ(nul->iLinkTarget, "\xFF/target");
}

TEST(KSnapshotTest, NumbersAreReadAsSizesAndOnlyTreesTooDeepAreRefused) {
    // Sizes are whole and not negative, whatever the number's form.
    const std::string json = R"({"pth":"/r","fol":true,"chi":[)"
                             R"({"pth":"/r/neg","siz":-5},{"pth":"/r/frac","siz":2.9},)"
                             R"({"pth":"/r/huge","siz":1e30},{"pth":"/r/max","siz":18446744073709551615}]})";
    KSnapshot snapshot;
    std::string error;
    ASSERT_TRUE(snapshot.readJson(json, &error)) << error;
    EXPECT_EQ(snapshot.entryAt("/r/neg")->iDataSize, 0u);
    EXPECT_EQ(snapshot.entryAt("/r/frac")->iDataSize, 2u);
    EXPECT_EQ(snapshot.entryAt("/r/huge")->iDataSize, std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(snapshot.entryAt("/r/max")->iDataSize, std::numeric_limits<std::uint64_t>::max());

    // Lists nested far past any tree under a key nobody reads: passed over.
    const std::string deepLists =
        R"({"pth":"/r","fol":true,"x":)" + std::string(1000000, '[') + std::string(1000000, ']') + "}";
    KSnapshot lists;
    EXPECT_TRUE(lists.readJson(deepLists, &error)) << error;
    // Entries nested one level deeper than a tree may be: refused.
    std::string deepEntries;
    for (std::size_t level = 0; level <= kMaxTreeDepth; ++level) deepEntries += R"({"pth":"/r","fol":true,"chi":[)";
    KSnapshot deep;
    EXPECT_FALSE(deep.readJson(deepEntries, &error));
    EXPECT_EQ(error, "snapErrTooDeep");
    // Just inside the limit, the tree is read.
    std::string deepest;
    for (std::size_t level = 0; level < kMaxTreeDepth; ++level) deepest += R"({"pth":"/r","fol":true,"chi":[)";
    for (std::size_t level = 0; level < kMaxTreeDepth; ++level) deepest += "]}";
    KSnapshot inside;
    error.clear();
    EXPECT_TRUE(inside.readJson(deepest, &error)) << error;
}

TEST(KSnapshotTest, DamagedTextIsReadOrRefusedWithAReason) {
    TempTree tree;
    tree.fileWithText("a b/c\"d.txt", "1");
    tree.fileWithText("x/y/z", "22");
    const std::string json = recordJson(tree.root(), true);
    // Bytes changed, cut, repeated, and JSON's own characters put anywhere.
    const std::string specials = "{}[]\",:\\u0";
    std::mt19937 random(7);
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string damaged = json;
        for (int k = 0, edits = 1 + int(random() % 3); k < edits; ++k) {
            const std::size_t at = random() % damaged.size();
            switch (random() % 4) {
                case 0: damaged[at] = char(random() % 256); break;
                case 1: damaged.resize(at); break;
                case 2: damaged.insert(at, damaged.substr(at, random() % 40)); break;
                default: damaged.insert(at, 1, specials[random() % specials.size()]);
            }
            if (damaged.empty()) damaged = "{";
        }
        KSnapshot snapshot;
        std::string error;
        if (snapshot.readJson(damaged, &error)) {
            EXPECT_NE(snapshot.iSnapshot(), nullptr);
        } else {
            ++refused;
            EXPECT_FALSE(error.empty());
            EXPECT_EQ(snapshot.iSnapshot(), nullptr);
        }
    }
    EXPECT_GT(refused, 1000);
}

TEST(KSnapshotTest, EscapesCutByTheDecodersPiecesComeBackWhole) {
    // Names of undecodable bytes only: nearly every byte of the text lies in
    // an escape, so the decoder's pieces end inside escapes of every kind.
    std::string json = R"({"pth":"/r","fol":true,"chi":[)";
    std::vector<std::string> names;
    const char* hex = "0123456789abcdef";
    for (int i = 0; i < 20000; ++i) {
        std::string name, escaped;
        for (int k = 0; k < 12; ++k) {
            const int byte = 0x80 + (i * 7 + k * 13) % 128;
            name += static_cast<char>(byte);
            escaped += std::string("\\udc") + hex[byte / 16] + hex[byte % 16];
        }
        name += std::to_string(i);   // a plain tail, and every name its own
        escaped += std::to_string(i) + (i % 3 ? "\\n" : "\\ud83d\\udc80");
        name += i % 3 ? "\n" : "\xF0\x9F\x92\x80";
        names.push_back(name);
        json += std::string(i ? "," : "") + R"({"pth":"/r/)" + escaped + R"(","fol":false,"siz":1})";
    }
    json += "]}";
    TempTree tree;
    writeSnapshot(tree.path("escapes.qvss"), json);
    KSnapshot snapshot;
    std::string error;
    ASSERT_TRUE(snapshot.ReadSnapshot(tree.path("escapes.qvss"), &error)) << error;
    int found = 0;
    for (const std::string& name : names) found += snapshot.entryAt("/r/" + name) != nullptr;
    EXPECT_EQ(found, 20000);
}

TEST(KSnapshotTest, FilesThatAreNotSnapshotsAreRefused) {
    TempTree tree;
    tree.file("x", 4);
    const std::string json = recordJson(tree.root(), true);
    writeSnapshot(tree.path("good.qvss"), json);
    KSnapshot good;
    ASSERT_TRUE(good.ReadSnapshot(tree.path("good.qvss")));
    EXPECT_TRUE(good.hasMD5());
    EXPECT_EQ(good.entryAt(tree.path("x"))->md5Hex(), md5OfFile(tree.path("x")));
    EXPECT_EQ(good.entryAt(tree.path("nope")), nullptr);

    std::ofstream(tree.path("plain.qvss")) << json;                       // JSON, not compressed
    const std::string compressed = readAll(tree.path("good.qvss"));
    std::ofstream(tree.path("cut.qvss"), std::ios::binary) << compressed.substr(0, compressed.size() / 2);
    writeSnapshot(tree.path("array.qvss"), "[1,2,3]");
    writeSnapshot(tree.path("broken.qvss"), json.substr(0, json.size() - 5));
    writeSnapshot(tree.path("nopath.qvss"), "{\"fol\":true}");
    for (const char* name : {"plain.qvss", "cut.qvss", "array.qvss", "broken.qvss", "nopath.qvss", "missing.qvss"}) {
        KSnapshot bad;
        std::string error;
        EXPECT_FALSE(bad.ReadSnapshot(tree.path(name), &error)) << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_EQ(bad.iSnapshot(), nullptr) << name;
    }
}

TEST(KSnapshotTest, ASnapshotStandsInForTheRecordedFolder) {
    TempTree live, store;
    live.file("same", 10, 'a');
    live.file("grown", 10);
    live.file("touched", 10, 'a', kBaseTimeNs);
    live.file("both", 10);
    live.file("rewritten", 10, 'a');
    live.file("gone", 1);
    live.file("dir/inner", 3);
    writeSnapshot(store.path("rec.qvss"), recordJson(live.root(), true));

    // The folder changes after it was recorded.
    live.file("grown", 12);
    live.setTime("touched", kBaseTimeNs + 3600 * kSecond);
    live.file("both", 11, 'x', kBaseTimeNs + 3600 * kSecond);
    live.file("rewritten", 10, 'b');
    ::unlink(live.path("gone").c_str());
    live.file("new", 2);
    live.setTime("dir", kBaseTimeNs);

    auto run = scanFolders(store.path("rec.qvss"), live.root(), {}, {.contents = true});
    ASSERT_NE(run->root->iSnapshot1, nullptr);
    EXPECT_EQ(run->root->iLeftPath(), live.root());   // the recorded path stands for the side
    EXPECT_EQ(run->node("same")->iState, kStateEqual);
    EXPECT_EQ(run->node("grown")->iState, kStateSizesDiffer);
    EXPECT_EQ(run->node("touched")->iState, kStateEqual);      // equal digests, other date
    EXPECT_EQ(run->node("both")->iState, kStateSizesAndDatesDiffer);
    EXPECT_EQ(run->node("rewritten")->iState, kStateDifferent);
    EXPECT_EQ(run->node("gone")->iState, kStateOnlyLeft);
    EXPECT_EQ(run->node("new")->iState, kStateOnlyRight);
    EXPECT_EQ(run->node("dir/inner")->iState, kStateEqual);
    EXPECT_EQ(run->root->iState, kStateDifferent);

    // Without recorded digests, contents cannot be compared: the run goes on by size and date.
    writeSnapshot(store.path("plain.qvss"), recordJson(live.root(), false));
    live.file("same", 10, 'z');
    auto noDigests = scanFolders(store.path("plain.qvss"), live.root(), {}, {.contents = true});
    EXPECT_FALSE(noDigests->root->iCmpFileContents);
    EXPECT_EQ(noDigests->node("same")->iState, kStateEqual);

    // A snapshot on each side.
    writeSnapshot(store.path("again.qvss"), recordJson(live.root(), true));
    auto both = scanFolders(store.path("rec.qvss"), store.path("again.qvss"), {}, {.contents = true});
    EXPECT_EQ(both->node("rewritten")->iState, kStateDifferent);
    EXPECT_EQ(both->node("dir/inner")->iState, kStateEqual);
}

}  // namespace
}  // namespace qv::test
