// Lines cut while a text is still arriving must be the lines of the whole
// text: wherever the pieces end, however long a line runs, and when the text
// moves to a larger buffer halfway.

#include "filecompare/LineCutter.h"
#include "filecompare/TextHash.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

struct Expected {
    QString text;
    bool hasBreak;
};

// The plain way: split at every break, no line after a final break.
std::vector<Expected> linesOf(const QString& text) {
    std::vector<Expected> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype nl = text.indexOf(u'\n', start);
        if (nl < 0) {
            lines.push_back({text.mid(start), false});
            break;
        }
        lines.push_back({text.mid(start, nl - start), true});
        start = nl + 1;
    }
    return lines;
}

QString randomText(QRandomGenerator& random) {
    static const QString kPieces[] = {QStringLiteral("\n"), QStringLiteral("\n\n"), QStringLiteral("word"),
                                      QStringLiteral(" "), QStringLiteral("żółw"), QString(5000, u'x')};
    QString text;
    const int parts = random.bounded(0, 60);
    for (int i = 0; i < parts; ++i) text += kPieces[random.bounded(0, int(std::size(kPieces)))];
    return text;
}

// Feeds `text` in pieces of random length; at one random point the text so
// far moves to another buffer, as a file that grew while read would.
void cutInPieces(const QString& text, QRandomGenerator& random, LineCutter& cutter, QString& buffer) {
    buffer = QString(text.size(), Qt::Uninitialized);
    const qsizetype moveAt = random.bounded(0, int(text.size()) + 1);
    qsizetype done = 0;
    bool moved = false;
    while (done < text.size()) {
        const qsizetype n = std::min<qsizetype>(text.size() - done, random.bounded(0, 3000));
        std::copy(text.constData() + done, text.constData() + done + n, buffer.data() + done);
        done += n;
        if (!moved && done >= moveAt) {
            QString larger(text.size() + 16, Qt::Uninitialized);
            std::copy(buffer.constData(), buffer.constData() + done, larger.data());
            larger.truncate(text.size());
            buffer = larger;
            moved = true;
        }
        cutter.take(QStringView(buffer.constData(), done));
    }
    cutter.finish(buffer);
}

TEST(LineCutterTest, LinesCutPieceByPieceAreTheWholeTextsLines) {
    QRandomGenerator random(29);
    for (int round = 0; round < 300; ++round) {
        const QString text = randomText(random);
        std::vector<DisplayLine> handedOn;
        LineCutter cutter(4, [&](std::span<const DisplayLine> lines) {
            for (const DisplayLine& line : lines) handedOn.push_back({line.text, {}, line.filler, line.hasBreak});
        });
        QString buffer;
        cutInPieces(text, random, cutter, buffer);

        const std::vector<Expected> expected = linesOf(text);
        const auto& lines = cutter.lines();
        ASSERT_EQ(lines.size(), expected.size()) << "round " << round;
        ASSERT_EQ(cutter.hashes().size(), expected.size()) << "round " << round;
        ASSERT_EQ(handedOn.size(), expected.size()) << "round " << round;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].text, expected[i].text) << "round " << round << " line " << i;
            EXPECT_EQ(lines[i].hasBreak, expected[i].hasBreak) << "round " << round << " line " << i;
            EXPECT_EQ(cutter.hashes()[i], textHash(expected[i].text)) << "round " << round << " line " << i;
            // The lines refer to the text where it ended up, not to a copy or the old place.
            EXPECT_GE(lines[i].text.data(), buffer.constData());
            EXPECT_LE(lines[i].text.data() + lines[i].text.size(), buffer.constData() + buffer.size());
            // Each line was handed on once, in order, as it was cut (before any move).
            EXPECT_EQ(handedOn[i].text.size(), expected[i].text.size()) << "round " << round << " line " << i;
            EXPECT_EQ(handedOn[i].hasBreak, expected[i].hasBreak) << "round " << round << " line " << i;
        }
    }
}

}  // namespace
}  // namespace qv::test
