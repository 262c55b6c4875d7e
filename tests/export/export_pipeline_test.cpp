#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <vector>

#include "AviProbe.h"
#include "export/CompressorChooser.h"
#include "export/ExportJob.h"
#include "export/ExportPipeline.h"

namespace kelvane {
namespace {

using testing::DecodeAvi;
using testing::DecodedVideo;
using testing::ScratchFolder;

BitmapInfoHeader Header(int32_t width, int32_t height) {
    PixelImage image;
    image.Create(width, height, 32);
    return image.Header();
}

// Each frame is handed over while the one before may still be written: the caller reuses a
// buffer as soon as the next WriteFrame has returned, and the file must still hold every frame
// as it was handed in, in order, with the last one written by Close.
TEST(ExportPipeline, BuffersAreFreeAfterTheNextHandOverAndEveryFrameReachesTheFile) {
    ScratchFolder dir;
    for (const char* codec : {"uncompressed", "ffv1"}) {
        ExportPipeline pipeline;
        NamedCompressorChooser chooser(codec);
        ASSERT_TRUE(pipeline.ChooseCompressor(chooser));
        pipeline.Initialise();
        const std::string path = dir.File(std::string(codec) + ".avi");
        ASSERT_TRUE(pipeline.Open(Header(16, 8), path, 30, 1));
        std::vector<uint32_t> buffers[2] = {std::vector<uint32_t>(16 * 8),
                                            std::vector<uint32_t>(16 * 8)};
        for (uint32_t n = 0; n < 40; ++n) {
            std::vector<uint32_t>& b = buffers[n & 1];
            std::fill(b.begin(), b.end(), 0x00102030u + n);
            b[0] = n;  // rows are bottom-up: the mark lies in the bottom-left pixel
            ASSERT_TRUE(
                pipeline.WriteFrame(b.data(), b.size() * 4, buffers[(n & 1) ^ 1].data(), n));
        }
        // Refused at once, as the plain writer refuses them: a wrong size, an index gone by.
        EXPECT_FALSE(pipeline.WriteFrame(buffers[0].data(), 12, nullptr, 40));
        EXPECT_FALSE(pipeline.WriteFrame(buffers[0].data(), buffers[0].size() * 4, nullptr, 3));
        pipeline.Close();
        EXPECT_EQ(pipeline.FramesInFile(), 40u);
        DecodedVideo video;
        std::string error;
        ASSERT_TRUE(DecodeAvi(path, video, error)) << error;
        ASSERT_EQ(video.frames.size(), 40u);
        for (uint32_t n = 0; n < 40; ++n) {
            // Decoded frames are top-down: the bottom row is the last.
            EXPECT_EQ(video.frames[n][16 * 7] & 0xFFFFFF, n) << codec << " frame " << n;
            EXPECT_EQ(video.frames[n][1] & 0xFFFFFF, 0x00102030u + n) << codec << " frame " << n;
        }
    }
}

// A write that fails is found by a later call; nothing is written after it, and the job then
// counts exactly the frames that the file holds.
TEST(ExportPipeline, AFailedWriteStopsTheWritingAndTheCountFollowsTheFile) {
    ScratchFolder dir;
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 300'000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

    class Marker : public FrameComposer {
        void ResetForExport() override {}
        bool Compose(uint32_t frame, PixelImage& out) override {
            out.Row32(0)[0] = frame;
            return true;
        }
    } composer;
    ExportJob job;
    ExportSettings s;
    s.width = 100;
    s.height = 100;
    s.length = 20;
    ASSERT_TRUE(job.Setup(dir.File("full.avi"), s, composer));
    uint32_t steps = 0;
    while (steps < 20 && job.ExportStep(composer)) {
        ++steps;
    }
    job.writer.Close();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    // 7 frames of 40,008 bytes and the headers fit; the step that finds the failure is the one
    // after the frame that failed.
    EXPECT_LE(steps, 8u);
    EXPECT_GT(job.FramesWritten(), 0u);
    EXPECT_LE(job.FramesWritten(), 7u);
    EXPECT_EQ(job.FramesWritten(), job.writer.FramesInFile());
    EXPECT_LE(job.FramesWritten(), steps);
}

// The timeline of an export holds every stage of every frame, each span in order.
TEST(ExportPipeline, TimelineHoldsEveryStageOfEveryFrame) {
    ScratchFolder dir;
    class Plain : public FrameComposer {
        void ResetForExport() override {}
        bool Compose(uint32_t, PixelImage&) override { return true; }
    } composer;
    ExportTimeline timeline(64);
    ExportJob job;
    job.timeline = &timeline;
    ExportSettings s;
    s.width = 8;
    s.height = 8;
    s.length = 5;
    ASSERT_TRUE(job.Setup(dir.File("t.avi"), s, composer));
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(job.ExportStep(composer));
    }
    job.writer.Close();
    const std::vector<ExportSpan> spans = timeline.Spans();
    ASSERT_EQ(spans.size(), 20u);
    int perStage[4] = {0, 0, 0, 0};
    for (const ExportSpan& span : spans) {
        EXPECT_LE(span.beginNs, span.endNs);
        EXPECT_LT(span.frame, 5u);
        ++perStage[int(span.stage)];
    }
    EXPECT_EQ(perStage[0], 5);
    EXPECT_EQ(perStage[3], 5);
    EXPECT_NE(timeline.Format().find("whole run"), std::string::npos);
}

}  // namespace
}  // namespace kelvane
