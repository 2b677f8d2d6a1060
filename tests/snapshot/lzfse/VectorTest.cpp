// Decoder checks against the shipped vectors: exact output for every valid
// stream, an error (and nothing else) for every malformed one.

#include "TestData.h"

#include "snapshot/lzfse/Lzfse.h"

#include <gtest/gtest.h>

#include <set>

namespace qv::lzfse::test {
namespace {

TEST(LzfseVectors, ValidAndV1StreamsDecodeExactly) {
    int checked = 0;
    for (const ManifestRow& row : readManifest()) {
        if (row.kind != "valid" && row.kind != "v1") continue;
        SCOPED_TRACE(row.name);
        const Bytes stream = readVector(row.name);
        ASSERT_EQ(stream.size(), row.streamSize);
        const Bytes expected = readVector(row.input);
        // Decoding replaces whatever the vector held before.
        Bytes out = {1, 2, 3};
        std::string error = "stale";
        ASSERT_TRUE(decode(stream, out, &error)) << error;
        EXPECT_TRUE(error.empty());
        EXPECT_TRUE(out == expected) << "decoded " << out.size() << " bytes, expected "
                                     << expected.size();
        ++checked;
    }
    EXPECT_GE(checked, 33);
}

TEST(LzfseVectors, MalformedStreamsAreRejected) {
    int checked = 0;
    for (const ManifestRow& row : readManifest()) {
        if (row.kind != "bad") continue;
        SCOPED_TRACE(row.name);
        const Bytes stream = readVector(row.name);
        Bytes out(100, 0xAA);
        std::string error;
        EXPECT_FALSE(decode(stream, out, &error));
        EXPECT_TRUE(out.empty()) << "partial output of " << out.size() << " bytes";
        EXPECT_FALSE(error.empty());
        // A null error pointer is allowed.
        EXPECT_FALSE(decode(stream, out));
        ++checked;
    }
    EXPECT_GE(checked, 60);
}

TEST(LzfseVectors, LenientStreams) {
    // What follows the first end-of-stream block is ignored, so these must
    // give their .bin; for the others an error is also acceptable.
    const std::set<std::string> mustDecode = {"trailing_garbage", "trailing_zeros",
                                              "concatenated_streams"};
    int checked = 0, decodedRequired = 0;
    for (const ManifestRow& row : readManifest()) {
        if (row.kind != "lenient") continue;
        SCOPED_TRACE(row.name);
        const Bytes stream = readVector(row.name);
        const Bytes expected = readVector(row.input);
        Bytes out;
        std::string error;
        if (decode(stream, out, &error)) {
            EXPECT_TRUE(out == expected);
        } else {
            EXPECT_TRUE(out.empty());
            EXPECT_FALSE(error.empty());
            EXPECT_EQ(mustDecode.count(row.stem()), 0u) << error;
        }
        decodedRequired += static_cast<int>(mustDecode.count(row.stem()));
        ++checked;
    }
    EXPECT_EQ(decodedRequired, 3);
    EXPECT_GE(checked, 6);
}

TEST(LzfseVectors, EveryTruncationIsRejected) {
    // One stream per block kind; cutting anywhere before the end-of-stream
    // block must fail, never yield a shortened result.
    for (const char* name : {"valid/text_4096.lzfse", "valid/text_1000.lzfse",
                             "v1/text_4096.lzfse", "valid/mixed_block_kinds.lzfse",
                             "valid/random_1000.lzfse"}) {
        SCOPED_TRACE(name);
        const Bytes stream = readVector(name);
        for (std::size_t cut = 0; cut < stream.size(); ++cut) {
            Bytes out;
            std::string error;
            const bool ok = decode(std::span(stream.data(), cut), out, &error);
            ASSERT_FALSE(ok) << "accepted a stream cut at " << cut;
            ASSERT_TRUE(out.empty());
        }
    }
}

TEST(LzfseVectors, OutputLimitIsEnforced) {
    // Multi-block LZFSE, LZVN and raw streams: the exact size passes, one byte
    // less is refused without output.
    for (const char* stem : {"valid/english_1m", "valid/text_1000", "valid/random_1000",
                             "valid/repeat_a_256k", "valid/mixed_block_kinds"}) {
        SCOPED_TRACE(stem);
        const Bytes stream = readVector(std::string(stem) + ".lzfse");
        const Bytes expected = readVector(std::string(stem) + ".bin");
        Bytes out;
        std::string error;
        ASSERT_TRUE(decode(stream, out, &error, expected.size())) << error;
        EXPECT_TRUE(out == expected);
        EXPECT_FALSE(decode(stream, out, &error, expected.size() - 1));
        EXPECT_TRUE(out.empty());
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(decode(stream, out, &error, 0));
    }
    // Streams that decode to nothing fit any limit.
    Bytes out;
    EXPECT_TRUE(decode(readVector("valid/empty.lzfse"), out, nullptr, 0));
    EXPECT_TRUE(decode(readVector("valid/eos_only.lzfse"), out, nullptr, 0));
    EXPECT_TRUE(out.empty());
}

} // namespace
} // namespace qv::lzfse::test
