#include "model/TypedTime.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

constexpr RefTime kSecond = kRefTimePerSecond;
constexpr RefTime k30fps = 333333;

TypedTime Parse(std::u16string_view text) {
    return ParseTypedTime(text);
}

void ExpectTime(std::u16string_view text, int pattern, RefTime time) {
    const TypedTime t = Parse(text);
    EXPECT_EQ(t.kind, TypedTime::Kind::Time) << std::string(text.begin(), text.end());
    EXPECT_EQ(t.pattern, pattern) << std::string(text.begin(), text.end());
    EXPECT_EQ(t.time, time) << std::string(text.begin(), text.end());
}

TEST(ParseTypedTime, FourPatternsInOrder) {
    ExpectTime(u"1:30.25", 1, 90 * kSecond + 2'500'000);
    ExpectTime(u"1:30", 2, 90 * kSecond);
    ExpectTime(u"90.5", 3, 90 * kSecond + 5'000'000);
    const TypedTime count = Parse(u"100");
    EXPECT_EQ(count.kind, TypedTime::Kind::Count);
    EXPECT_EQ(count.pattern, 4);
    EXPECT_EQ(count.count, 100u);
}

TEST(ParseTypedTime, TheFractionCountsSevenDecimalPlaces) {
    ExpectTime(u"0:05.5", 1, 5'000'000 + 5 * kSecond);
    ExpectTime(u"0.05", 3, 500'000);
    ExpectTime(u"0.5", 3, 5'000'000);
    ExpectTime(u"0.0000001", 3, 1);
    ExpectTime(u"2.1234567", 3, 2 * kSecond + 1'234'567);
    // Only seven characters are read; the rest is ignored like any trailing text.
    ExpectTime(u"2.12345678", 3, 2 * kSecond + 1'234'567);
}

TEST(ParseTypedTime, LikeTheCScannerItSkipsSpaceBeforeNumbersAndIgnoresTheRest) {
    ExpectTime(u" 1: 30", 2, 90 * kSecond);
    ExpectTime(u"1:30 frames", 2, 90 * kSecond);
    ExpectTime(u"1:30.", 2, 90 * kSecond);  // no fraction after the dot: pattern 1 fails
    ExpectTime(u"+2.5", 3, 2 * kSecond + 5'000'000);
    EXPECT_EQ(Parse(u"1 :30").pattern, 4);  // a literal ':' must follow the digits directly
    EXPECT_EQ(Parse(u"12abc").count, 12u);
}

TEST(ParseTypedTime, UnreadableText) {
    for (std::u16string_view text : {u"", u"abc", u":30", u"-5", u"-1:00", u"4294967296", u"."}) {
        const TypedTime t = Parse(text);
        EXPECT_EQ(t.kind, TypedTime::Kind::Unreadable) << std::string(text.begin(), text.end());
        EXPECT_EQ(t.pattern, 0);
    }
    EXPECT_EQ(Parse(u"4294967295").count, 4294967295u);
    // Pattern 1 matches, but its fraction is no number: the field keeps its value.
    const TypedTime t = Parse(u"1:30.x5");
    EXPECT_EQ(t.pattern, 1);
    EXPECT_EQ(t.kind, TypedTime::Kind::Unreadable);
}

TEST(TypedTimeConversions, FramesOfTheProject) {
    uint32_t frames = 7;
    ASSERT_TRUE(TypedTimeToFrames(Parse(u"1:00"), k30fps, frames));
    EXPECT_EQ(frames, 1800u);  // 600,000,000 / 333333
    ASSERT_TRUE(TypedTimeToFrames(Parse(u"10:00"), k30fps, frames));
    EXPECT_EQ(frames, 18000u);
    ASSERT_TRUE(TypedTimeToFrames(Parse(u"100"), k30fps, frames));
    EXPECT_EQ(frames, 100u);
    ASSERT_TRUE(TypedTimeToFrames(Parse(u"0.0333"), k30fps, frames));
    EXPECT_EQ(frames, 0u);  // truncated toward zero

    frames = 7;
    EXPECT_FALSE(TypedTimeToFrames(Parse(u"x"), k30fps, frames));
    EXPECT_FALSE(TypedTimeToFrames(Parse(u"1:00"), 0, frames));
    // More frames than 32 bits hold would wrap into some other frame.
    EXPECT_FALSE(TypedTimeToFrames(Parse(u"4294967295:00"), k30fps, frames));
    EXPECT_EQ(frames, 7u);
}

TEST(TypedTimeConversions, PlaybackPosition) {
    RefTime position = 5;
    ASSERT_TRUE(TypedTimeToPlaybackPosition(Parse(u"1:30.25"), false, 0, position));
    EXPECT_EQ(position, 902'500'000);
    ASSERT_TRUE(TypedTimeToPlaybackPosition(Parse(u"12"), true, 400'000, position));
    EXPECT_EQ(position, 4'800'000);
    position = 5;
    EXPECT_FALSE(TypedTimeToPlaybackPosition(Parse(u"12"), false, 400'000, position));
    EXPECT_FALSE(TypedTimeToPlaybackPosition(Parse(u"?"), true, 400'000, position));
    EXPECT_EQ(position, 5);
}

TEST(TypedTimeConversions, Speed) {
    RefTime step = 9;
    ASSERT_TRUE(ParseSpeed(u"1.0", k30fps, step));
    EXPECT_EQ(step, 333333);
    ASSERT_TRUE(ParseSpeed(u" -0.5", k30fps, step));
    EXPECT_EQ(step, -166666);  // truncated toward zero
    ASSERT_TRUE(ParseSpeed(u"+2", k30fps, step));
    EXPECT_EQ(step, 666666);
    ASSERT_TRUE(ParseSpeed(u"0", k30fps, step));
    EXPECT_EQ(step, 0);
    step = 9;
    for (std::u16string_view text : {u"", u"fast", u"65537", u"-65536.5", u"inf", u"nan", u"+-1"}) {
        EXPECT_FALSE(ParseSpeed(text, k30fps, step)) << std::string(text.begin(), text.end());
    }
    EXPECT_EQ(step, 9);
}

TEST(TypedTimeConversions, ReferenceRateOfAMovie) {
    RefTime duration = 9;
    ASSERT_TRUE(ParseReferenceRate(u"", duration));
    EXPECT_EQ(duration, 0);
    ASSERT_TRUE(ParseReferenceRate(u"24", duration));
    EXPECT_EQ(duration, 416667);
    ASSERT_TRUE(ParseReferenceRate(u"29.97", duration));
    EXPECT_EQ(duration, 333667);
    ASSERT_TRUE(ParseReferenceRate(u"0:00.0400000", duration));
    EXPECT_EQ(duration, 400000);  // a time is the duration itself
    duration = 9;
    EXPECT_FALSE(ParseReferenceRate(u"0:00.x", duration));
    EXPECT_FALSE(ParseReferenceRate(u"0", duration));
    EXPECT_FALSE(ParseReferenceRate(u"-24", duration));
    EXPECT_FALSE(ParseReferenceRate(u"fps", duration));
    EXPECT_EQ(duration, 9);
}

}  // namespace
}  // namespace kelvane
