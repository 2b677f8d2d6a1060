#include "cli/CliOutput.h"

#include <gtest/gtest.h>

#include <ios>
#include <new>
#include <stdexcept>

namespace qv {
namespace {

TEST(CliOutputTest, AnExceptionLeftByACommandIsPrintedAndEndsWithStatusTwo) {
    EXPECT_EQ(runCatchingExceptions([] { return 1; }), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(runCatchingExceptions([]() -> int { throw std::ios_base::failure("basic_filebuf::underflow"); }), 2);
    EXPECT_EQ(runCatchingExceptions([]() -> int { throw std::bad_alloc(); }), 2);
    EXPECT_EQ(runCatchingExceptions([]() -> int { throw 42; }), 2);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("quorvane: "), std::string::npos) << err;
    EXPECT_NE(err.find("basic_filebuf::underflow"), std::string::npos) << err;
    EXPECT_NE(err.find("bad_alloc"), std::string::npos) << err;
}

}  // namespace
}  // namespace qv
