#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "media/MovieReader.h"
#include "media/TimeoutQuery.h"
#include "media/pipeline/FrameCache.h"
#include "movie_test_support.h"

namespace kelvane {
namespace {

using testing::DecodeIndex;

const testing::MovieSpec kClip{"cache_clip.mp4",
                               "-c:v libx264 -preset veryfast -pix_fmt yuv420p -g 24 "
                               "-keyint_min 24 -sc_threshold 0 -bf 3 -crf 18",
                               256,
                               64,
                               60,
                               25};

// One key frame for the whole clip, as cameras and screen recorders write long stretches.
const testing::MovieSpec kLongGop{"cache_long_gop.mp4",
                                  "-c:v libx264 -preset veryfast -pix_fmt yuv420p -g 250 "
                                  "-keyint_min 250 -sc_threshold 0 -bf 3 -crf 18",
                                  256,
                                  64,
                                  200,
                                  25};

class MovieCache : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = testing::MakeMovie(kClip);
        if (path_.empty())
            GTEST_SKIP() << "no H.264 encoder";
        SetTimeoutQuery(&prompt_);
    }

    // Steps backwards one frame at a time from the last frame with a cache of `megabytes`; every
    // frame must be right and the process's cached pictures within the budget after every step.
    // Returns the pictures decoded for the steps.
    uint64_t StepBackwards(int megabytes, MovieReader& reader, MovieReader* other = nullptr) {
        Settings().movieCacheSize = megabytes;
        const size_t budget = size_t(megabytes) << 20;
        EXPECT_TRUE(reader.Open(testing::U16(path_), 0));
        if (other) {
            EXPECT_TRUE(other->Open(testing::U16(path_), 0));
        }
        PixelImage image, otherImage;
        const int last = int(reader.FrameCount()) - 1;
        EXPECT_TRUE(reader.GetFrame(last, image));
        const uint64_t before = reader.Graph()->DecodedFrames();
        for (int k = last; k >= 0; --k) {
            EXPECT_TRUE(reader.GetFrame(k, image));
            EXPECT_EQ(DecodeIndex(image), k);
            if (other) {
                EXPECT_TRUE(other->GetFrame(k, otherImage));
                EXPECT_EQ(DecodeIndex(otherImage), k);
            }
            EXPECT_LE(FrameCache::ProcessBytes(), budget) << "after frame " << k;
        }
        return reader.Graph()->DecodedFrames() - before;
    }

    testing::SettingsGuard settings_;
    testing::ScriptedPrompt prompt_{false};  // No once the script runs out
    std::string path_;
};

TEST_F(MovieCache, BackwardStepsAreServedFromTheCacheWithinItsBudget) {
    MovieReader without, small;
    const uint64_t uncached = StepBackwards(0, without);
    EXPECT_EQ(FrameCache::ProcessBytes(), 0u);
    // One megabyte holds a dozen or so of these pictures: the budget binds and still helps.
    const uint64_t cached = StepBackwards(1, small);
    EXPECT_GT(small.Graph()->Cache().Count(), 0u);
    EXPECT_LT(cached * 2, uncached) << "with " << cached << ", without " << uncached;
    small.Close();
    EXPECT_EQ(FrameCache::ProcessBytes(), 0u);  // closing releases the pictures
}

TEST_F(MovieCache, TwoMoviesShareOneBudget) {
    MovieReader first, second;
    StepBackwards(1, first, &second);
    EXPECT_GT(first.Graph()->Cache().Count() + second.Graph()->Cache().Count(), 0u);
}

// Stepping back from near its end
// decodes every reference picture from the key frame again on each miss; the window kept must
// neither cost a short run more than it uses nor make a long run pay that price again and again,
// and no picture after a target is decoded only to be dropped.
TEST_F(MovieCache, BackwardRunsFromFarAfterAKeyFrameDecodeFewPicturesPerStep) {
    const std::string path = testing::MakeMovie(kLongGop);
    ASSERT_FALSE(path.empty());
    MovieReader reader;
    ASSERT_TRUE(reader.Open(testing::U16(path), 0));
    PixelImage image;
    ASSERT_TRUE(reader.GetFrame(199, image));
    const uint64_t before = reader.Graph()->DecodedFrames();
    int next = 198;
    auto stepDownTo = [&](int last) {
        for (; next >= last; --next) {
            if (!reader.GetFrame(next, image) || DecodeIndex(image) != next)
                return false;
        }
        return true;
    };
    ASSERT_TRUE(stepDownTo(100));
    const uint64_t shortRun = reader.Graph()->DecodedFrames() - before;
    EXPECT_LT(shortRun, 2u * 99u);
    ASSERT_TRUE(stepDownTo(0));
    const uint64_t wholeRun = reader.Graph()->DecodedFrames() - before;
    EXPECT_LT(wholeRun * 2, 3u * 199u) << "short run " << shortRun;
}

// A jump forwards within the stretch after one key frame decodes on from where the decoder stands
// rather than from the key frame again, and the first request after opening starts from the
// picture decoded to measure the stream.
TEST_F(MovieCache, ForwardJumpsDecodeOnFromWhereTheDecoderStands) {
    const std::string path = testing::MakeMovie(kLongGop);
    ASSERT_FALSE(path.empty());
    MovieReader reader;
    ASSERT_TRUE(reader.Open(testing::U16(path), 0));
    PixelImage image;
    ASSERT_TRUE(reader.GetFrame(100, image));
    ASSERT_EQ(DecodeIndex(image), 100);
    const uint64_t toFirst = reader.Graph()->DecodedFrames();
    ASSERT_TRUE(reader.GetFrame(150, image));
    ASSERT_EQ(DecodeIndex(image), 150);
    const uint64_t onwards = reader.Graph()->DecodedFrames() - toFirst;
    // From the key frame again, every reference picture up to frame 150 would be decoded anew.
    EXPECT_LT(onwards, toFirst);
}

// B-pictures that no other picture refers to (no pyramid), three between every two P-pictures, one
// key frame: a reader opened for the last frame decodes the P-pictures on the way and leaves the
// B-pictures before it undecoded, and still shows the picture that decoding every one gives.
TEST_F(MovieCache, AFarFrameLeavesUnreferencedPicturesBeforeItUndecoded) {
    const testing::MovieSpec unreferencedB{
        "cache_unreferenced_b.mp4",
        "-c:v libx264 -preset veryfast -pix_fmt yuv420p -g 250 -keyint_min 250 -sc_threshold 0 "
        "-bf 3 -x264-params b-pyramid=none:b-adapt=0 -crf 18",
        256,
        64,
        200,
        25};
    const std::string path = testing::MakeMovie(unreferencedB);
    ASSERT_FALSE(path.empty());
    PixelImage everyPicture, skipping;
    {
        MovieReader reader;
        ASSERT_TRUE(reader.Open(testing::U16(path), 0));
        for (int k = 0; k < 200; ++k)
            ASSERT_TRUE(reader.GetFrame(k, everyPicture));
        EXPECT_GE(reader.Graph()->DecodedFrames(), 200u);
    }
    MovieReader reader;
    ASSERT_TRUE(reader.Open(testing::U16(path), 0));
    ASSERT_TRUE(reader.GetFrame(199, skipping));
    ASSERT_EQ(DecodeIndex(skipping), 199);
    // 50 P-pictures and the key frame, the target, and a few decoded ahead of it.
    EXPECT_LT(reader.Graph()->DecodedFrames(), 70u);
    EXPECT_TRUE(std::equal(skipping.Pixels(), skipping.Pixels() + skipping.ByteSize(),
                           everyPicture.Pixels()));
}

}  // namespace
}  // namespace kelvane
