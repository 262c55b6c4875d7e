#include "platform/CpuFeatures.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(CpuFeatures, VectorTierFollowsTheProcessor) {
#if defined(__x86_64__)
    EXPECT_TRUE(HasVectorTier());  // SSE2 is part of every x86-64 processor
#elif !defined(__i386__)
    EXPECT_FALSE(HasVectorTier());
#endif
}

}  // namespace
}  // namespace kelvane
