#include "model/TimeFormat.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(TimeFormat, FramesAsTheTimelineShowsThem) {
    EXPECT_EQ(FormatFrameTime(0, 30.0), u"00:00.000");
    EXPECT_EQ(FormatFrameTime(1, 30.0), u"00:00.033");
    EXPECT_EQ(FormatFrameTime(1800, 30.0), u"01:00.000");
    EXPECT_EQ(FormatFrameTime(2715, 30.0), u"01:30.500");
    EXPECT_EQ(FormatFrameTime(1, 0.001), u"16:40.000");
    EXPECT_EQ(FormatFrameTime(0x100000, 0.001),
              u"17476266:40.000");  // minutes grow past two digits
}

TEST(TimeFormat, SourceTimes) {
    EXPECT_EQ(FormatRefTime(0), u"00:00.000");
    EXPECT_EQ(FormatRefTime(902'500'000), u"01:30.250");
    EXPECT_EQ(FormatRefTime(902'509'999), u"01:30.250");
    EXPECT_EQ(FormatRefTimePrecise(902'500'001), u"01:30.2500001");
    EXPECT_EQ(FormatRefTimePrecise(36'000'000'000), u"60:00.0000000");
}

TEST(TimeFormat, Speed) {
    EXPECT_EQ(FormatSpeed(333333, 333333), u"1.0000");
    EXPECT_EQ(FormatSpeed(416666, 416667), u"1.0000");
    EXPECT_EQ(FormatSpeed(-166666, 333333), u"-0.5000");
    EXPECT_EQ(FormatSpeed(0, 333333), u"0.0000");
}

}  // namespace
}  // namespace kelvane
