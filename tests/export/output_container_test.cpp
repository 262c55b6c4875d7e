#include <gtest/gtest.h>

#include "export/ContainerEncoder.h"
#include "export/OutputContainer.h"

namespace kelvane {
namespace {

TEST(OutputContainerTest, TheExtensionTellsTheContainerAndItsCodecs) {
    ASSERT_NE(ContainerOfPath("/a/b.MKV"), nullptr);
    EXPECT_EQ(ContainerOfPath("/a/b.MKV")->muxer, "matroska");
    EXPECT_EQ(ContainerOfPath("/a.mp4/b"), nullptr);
    EXPECT_EQ(ContainerOfPath("/a/.mp4"), nullptr);
    EXPECT_TRUE(ContainerOfPath("x.avi")->IsAvi());

    // The default comes first; AVI keeps its own list with uncompressed output first.
    const char* defaults[][2] = {{"x.avi", "uncompressed"},
                                 {"x.mp4", "h264"},
                                 {"x.mov", "prores"},
                                 {"x.mkv", "ffv1"},
                                 {"x.webm", "vp9"}};
    for (const auto& [path, codec] : defaults) {
        const std::vector<CompressorInfo> offered = CompressorsFor(*ContainerOfPath(path));
        ASSERT_FALSE(offered.empty()) << path;
        EXPECT_EQ(offered.front().name, codec) << path;
        EXPECT_EQ(OutputChoiceError(path, ""), "") << path;
        EXPECT_EQ(OutputChoiceError(path, codec), "") << path;
    }
    EXPECT_NE(OutputChoiceError("x.webm", "h264").find("h264"), std::string::npos);
    EXPECT_NE(OutputChoiceError("x.mp4", "uncompressed"), "");
    EXPECT_NE(OutputChoiceError("x.avi", "prores"), "");
    EXPECT_NE(OutputChoiceError("x.mkv", "nonesuch").find("nonesuch"), std::string::npos);
    EXPECT_NE(OutputChoiceError("x.ogv", "").find(".ogv"), std::string::npos);
    EXPECT_NE(OutputChoiceError("noextension", "").find("avi, mp4, mov, mkv, webm"),
              std::string::npos);
}

// The points that --help documents: the default is each encoder's clean setting, 100 its finest.
TEST(OutputContainerTest, QualityMapsToTheEncodersOwnControl) {
    const CompressorInfo* x264 = FindAnyCompressor("h264");
    const CompressorInfo* prores = FindAnyCompressor("prores");
    ASSERT_NE(x264, nullptr);
    ASSERT_NE(prores, nullptr);
    EXPECT_EQ(EncoderQualityValue(*x264, -1), 18);
    EXPECT_EQ(EncoderQualityValue(*x264, kDefaultQuality), 18);
    EXPECT_EQ(EncoderQualityValue(*x264, 100), 0);
    EXPECT_EQ(EncoderQualityValue(*x264, 0), 51);
    EXPECT_EQ(EncoderQualityValue(*prores, -1), 3);  // HQ
    EXPECT_EQ(EncoderQualityValue(*prores, 24), 0);  // Proxy
    EXPECT_EQ(EncoderQualityValue(*FindAnyCompressor("ffv1"), 50), -1);
    EXPECT_EQ(PlanEncoder(*x264, 1280, 720).space, AVCOL_SPC_BT709);
    EXPECT_EQ(PlanEncoder(*x264, 1024, 576).space, AVCOL_SPC_SMPTE170M);
}

}  // namespace
}  // namespace kelvane
