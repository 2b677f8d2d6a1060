#include "filecompare/KHexDiff.h"

#include "TextDiffTestSupport.h"
#include "support/FileChecks.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace qv;

namespace {

// Both sides of every line, each followed by a line of "^" under its marked characters.
struct DumpSink : HexLineSink {
    bool all = true;
    std::string dump;
    std::vector<ChangeRecord> records;
    bool wantsEqualLines() const override { return all; }
    void hexLine(std::uint64_t, const HexLine& l, const HexLine& r, const ChangeRecord* rec) override {
        for (const HexLine* side : {&l, &r}) {
            dump += (side == &l ? "L " : "R ") + side->text + "\n";
            if (side->marks.empty()) continue;
            std::string under(side->text.size(), ' ');
            for (const MarkRun& m : side->marks) under.replace(std::size_t(m.start), std::size_t(m.length), std::size_t(m.length), '^');
            while (!under.empty() && under.back() == ' ') under.pop_back();
            dump += "  " + under + "\n";
        }
        if (rec) records.push_back(*rec);
    }
};

std::string golden(const char* name) {
    return qv::test::readAll((std::filesystem::path(QV_TEST_DATA) / "filecompare" / name).string());
}

QByteArray bytes(int n, int seed = 0) {
    QByteArray b;
    for (int i = 0; i < n; ++i) b.append(char((i * 7 + seed + 40) % 256));
    return b;
}

}  // namespace

TEST(KHexDiffTest, DumpLayoutAndMarksMatchTheGoldenFile) {
    QTemporaryDir dir;
    QByteArray left = bytes(40), right = bytes(16);
    left[5] = 'Z';
    KHexDiff hex;
    DumpSink sink;
    bool equal = true;
    QString error;
    ASSERT_EQ(hex.ParseHexDiffFile1(fctest::writeFile(dir, "l", left), fctest::writeFile(dir, "r", right), equal, sink,
                                    error),
              KHexDiff::Outcome::Done);
    EXPECT_FALSE(equal);
    EXPECT_EQ(std::string(KHexDiff::kHeaderString) + sink.dump, golden("hex_40_vs_16.txt"));
    ASSERT_EQ(sink.records.size(), 3u);
    EXPECT_EQ((std::vector<int>{sink.records[0].s, sink.records[1].s, sink.records[2].s}), (std::vector<int>{12, 12, 4}));
    EXPECT_EQ((std::vector<int>{sink.records[0].col, sink.records[1].col, sink.records[2].col}), (std::vector<int>{1, 1, 2}));
    EXPECT_EQ(sink.records[2].l, 2u);
    EXPECT_EQ(sink.records[2].nz, 3);
    EXPECT_EQ(hex.iNumOfLines(), 3u);
}

TEST(KHexDiffTest, EqualFilesAndSkippedStretchesAcrossPages) {
    QTemporaryDir dir;
    {
        KHexDiff hex;
        DumpSink sink;
        bool equal = false;
        QString error;
        const QString p = fctest::writeFile(dir, "a", bytes(32));
        ASSERT_EQ(hex.ParseHexDiffFile1(p, fctest::writeFile(dir, "b", bytes(32)), equal, sink, error),
                  KHexDiff::Outcome::Done);
        EXPECT_TRUE(equal);
        EXPECT_TRUE(sink.records.empty());
        EXPECT_EQ(hex.iNumOfLines(), 2u);
    }
    {   // differences on both sides of a page boundary and a longer right tail, equal lines not asked for
        const int size = int(KHexDiff::kPageBytes) * 2 + 100;
        QByteArray l = bytes(size), r = bytes(size + 20);
        l[7] = 'x';
        l[int(KHexDiff::kPageBytes) - 1] = 'y';
        l[int(KHexDiff::kPageBytes) + 16] = 'z';
        KHexDiff hex;
        DumpSink sink;
        sink.all = false;
        bool equal = true;
        QString error;
        ASSERT_EQ(hex.ParseHexDiffFile1(fctest::writeFile(dir, "bl", l), fctest::writeFile(dir, "br", r), equal, sink,
                                        error),
                  KHexDiff::Outcome::Done);
        EXPECT_FALSE(equal);
        std::vector<std::uint64_t> lines;
        for (const auto& rec : sink.records) lines.push_back(rec.l);
        const std::uint64_t page = KHexDiff::kPageBytes / 16, last = std::uint64_t(size) / 16;
        EXPECT_EQ(lines, (std::vector<std::uint64_t>{0, page - 1, page + 1, last, last + 1}));
        EXPECT_EQ(sink.records.back().s, 8);
        EXPECT_EQ(sink.records[3].s, 12);   // 4 bytes against 16: both sides
        EXPECT_NE(sink.dump.find("L 0x0000100010  "), std::string::npos);
        EXPECT_EQ(hex.iNumOfLines(), last + 2);
    }
    {
        KHexDiff hex;
        DumpSink sink;
        bool equal = false;
        QString error;
        EXPECT_EQ(hex.ParseHexDiffFile1(dir.filePath("none"), dir.filePath("a"), equal, sink, error),
                  KHexDiff::Outcome::Failed);
        EXPECT_FALSE(error.isEmpty());
    }
}
