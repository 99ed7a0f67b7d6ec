// ZR_ASSERT where NDEBUG is defined: compiled away, the condition never evaluated.
#ifndef NDEBUG
#define NDEBUG
#endif

#include <gtest/gtest.h>

#include "Diagnostics/LogTestSupport.h"

namespace
{
TEST(ZRAssertCompiledOut, NeitherEvaluatesNorAsks)
{
    LogTest::CMessageBoxAnswer boxes(6);
    int evaluated = 0;
    ZR_ASSERT(++evaluated == 100);
    EXPECT_EQ(evaluated, 0);
    EXPECT_TRUE(boxes.shown.empty());
}
} // namespace
