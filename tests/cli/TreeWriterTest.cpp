#include "cli/TreeWriter.h"
#include "platform/JsonString.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

std::string json(std::string_view bytes) {
    std::string out;
    platform::appendJsonString(out, bytes);
    return out;
}

std::string seconds(long long ns) {
    std::string out;
    appendSeconds(out, ns);
    return out;
}

TEST(TreeWriterTest, JsonStringsEscapeControlsAndKeepUndecodableBytesRecoverable) {
    EXPECT_EQ(json("plain"), "\"plain\"");
    EXPECT_EQ(json("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(json("line\nbreak\r\x01"), "\"line\\u000abreak\\u000d\\u0001\"");
    EXPECT_EQ(json("caf\xC3\xA9"), "\"caf\xC3\xA9\"");
    EXPECT_EQ(json("bad\xFFname"), "\"bad\\udcffname\"");
    EXPECT_EQ(json("\xE2\x82"), "\"\\udce2\\udc82\"");   // a sequence cut short
    EXPECT_EQ(json("\xC0\xAF"), "\"\\udcc0\\udcaf\"");   // an overlong form
}

TEST(TreeWriterTest, TimesKeepTheirNanoseconds) {
    EXPECT_EQ(seconds(1'600'000'000'123'456'789LL), "1600000000.123456789");
    EXPECT_EQ(seconds(5), "0.000000005");
    EXPECT_EQ(seconds(-1'500'000'000LL), "-1.500000000");
}

}  // namespace
}  // namespace qv
