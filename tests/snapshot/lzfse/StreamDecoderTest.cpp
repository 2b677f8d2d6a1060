#include "snapshot/lzfse/Lzfse.h"
#include "TestData.h"

#include <gtest/gtest.h>

#include <random>

namespace qv::lzfse::test {
namespace {

// Everything a stream decoder hands out, and whether it ended cleanly.
bool decodeInPieces(const Bytes& stream, Bytes& out, std::size_t* pieces = nullptr) {
    StreamDecoder decoder(stream);
    out.clear();
    std::span<const std::uint8_t> chunk;
    std::size_t n = 0;
    while (decoder.next(chunk)) {
        out.insert(out.end(), chunk.begin(), chunk.end());
        ++n;
    }
    if (pieces) *pieces = n;
    return decoder.error() == nullptr;
}

TEST(StreamDecoderTest, PiecesAddUpToTheWholeOutputForEveryVector) {
    for (const ManifestRow& row : readManifest()) {
        const Bytes stream = readVector(row.name);
        Bytes whole, pieces;
        const bool wholeOk = decode(stream, whole);
        const bool piecesOk = decodeInPieces(stream, pieces);
        EXPECT_EQ(piecesOk, wholeOk) << row.name;
        if (wholeOk && piecesOk) {
            EXPECT_EQ(pieces, whole) << row.name;
        }
    }
}

TEST(StreamDecoderTest, LongStreamsKeepOnlyAWindowAndMatchesStillReachBack) {
    // Repetitive text far longer than the window: later blocks copy from earlier output.
    std::mt19937 rng(3);
    std::string words[] = {"alpha ", "beta ", "gamma ", "delta ", "epsilon\n"};
    Bytes input;
    while (input.size() < 6 * 1024 * 1024) {
        const std::string& w = words[rng() % 5];
        input.insert(input.end(), w.begin(), w.end());
    }
    const Bytes stream = encode(input);
    Bytes out;
    std::size_t pieces = 0;
    ASSERT_TRUE(decodeInPieces(stream, out, &pieces));
    EXPECT_EQ(out, input);
    EXPECT_GT(pieces, 4u);

    // A cut stream ends with an error, whatever was handed out before it.
    Bytes cut(stream.begin(), stream.begin() + static_cast<long>(stream.size() / 2));
    EXPECT_FALSE(decodeInPieces(cut, out));
}

}  // namespace
}  // namespace qv::lzfse::test
