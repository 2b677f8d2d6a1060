#include "engine/NameOrder.h"
#include "platform/Utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace qv {
namespace {

TEST(NameOrderTest, PairingIgnoresCaseAndNormalisationOnly) {
    EXPECT_TRUE(namesPair("Readme.txt", "README.TXT"));
    EXPECT_TRUE(namesPair("caf\xC3\xA9", "cafe\xCC\x81"));          // composed and decomposed
    EXPECT_TRUE(namesPair("\xC3\x84pfel", "a\xCC\x88PFEL"));         // case and form at once
    EXPECT_FALSE(namesPair("a", "b"));
    EXPECT_FALSE(namesPair("a", "a "));
    EXPECT_FALSE(namesPair("e", "\xC3\xA9"));
    // Invalid UTF-8 pairs only with the identical bytes.
    EXPECT_TRUE(namesPair("x\xFF", "x\xFF"));
    EXPECT_FALSE(namesPair("x\xFF", "X\xFF"));
    EXPECT_FALSE(namesPair("x\xFF", "x\xFE"));
}

TEST(NameOrderTest, OrderIsTotalAndConsistentAcrossTheFastAndSlowPaths) {
    std::vector<std::string> names = {"b", "B", "a", "A", "\xC3\xA9", "e\xCC\x81", "E", "z\xFF", "z\xFE",
                                      "Zebra", "zeta", "10", "9", "", "\xCE\xA9mega", "\xCF\x89mega"};
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        std::shuffle(names.begin(), names.end(), rng);
        std::vector<std::string> sorted = names;
        std::sort(sorted.begin(), sorted.end(),
                  [](const std::string& x, const std::string& y) { return compareNamesStrict(x, y) < 0; });
        for (size_t i = 0; i + 1 < sorted.size(); ++i) {
            EXPECT_LT(compareNamesStrict(sorted[i], sorted[i + 1]), 0) << sorted[i] << " / " << sorted[i + 1];
            // The pairing order never contradicts the strict order.
            EXPECT_LE(compareNames(sorted[i], sorted[i + 1]), 0);
            EXPECT_EQ(compareNames(sorted[i], sorted[i + 1]), -compareNames(sorted[i + 1], sorted[i]));
        }
    }
    // Names that are not UTF-8 sort after every valid name.
    EXPECT_GT(compareNames("a\xFF", "\xF0\x9F\x98\x80"), 0);
}

TEST(NameOrderTest, ExtensionsFollowTheDesktopRules) {
    EXPECT_EQ(nameWithoutExtension("a.tar.gz"), "a.tar");
    EXPECT_EQ(extensionOf("a.tar.gz"), "gz");
    EXPECT_EQ(nameWithoutExtension(".profile"), ".profile");
    EXPECT_EQ(extensionOf(".profile"), "");
    EXPECT_EQ(nameWithoutExtension("trailing."), "trailing.");
    EXPECT_EQ(nameWithoutExtension("plain"), "plain");
}

TEST(NameOrderTest, Utf8ValidationRejectsOverlongAndSurrogateForms) {
    EXPECT_TRUE(platform::isValidUtf8("plain"));
    EXPECT_TRUE(platform::isValidUtf8("\xF0\x9F\x98\x80"));
    EXPECT_FALSE(platform::isValidUtf8("\xC0\xAF"));          // overlong "/"
    EXPECT_FALSE(platform::isValidUtf8("\xED\xA0\x80"));      // a surrogate
    EXPECT_FALSE(platform::isValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
    EXPECT_FALSE(platform::isValidUtf8("\xE2\x82"));          // cut short
}

}  // namespace
}  // namespace qv
