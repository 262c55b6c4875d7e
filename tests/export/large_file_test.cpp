#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "AviProbe.h"
#include "export/AviWriter.h"
#include "export/CompressorChooser.h"

namespace kelvane {
namespace {

using testing::CountPackets;
using testing::PaintTestFrame;
using testing::ReadRiffChunks;
using testing::ReadStreamHeader;
using testing::ScratchFolder;
using testing::StreamHeader;

// 300 uncompressed full-HD frames make a file of about 2.5 GB, past both the 1 GB point where the
// container goes on in OpenDML form and the 2 GB point of signed 32-bit offsets. Run by hand (it
// needs the disk space): export_tests --gtest_also_run_disabled_tests --gtest_filter='*Large*'
TEST(AviWriterLarge, DISABLED_ThreeHundredFullHdFramesStayReadable) {
    ScratchFolder dir;
    const std::string path = dir.File("large.avi");
    const uint32_t count = 300;
    PixelImage frames[2];
    ASSERT_TRUE(frames[0].Create(1920, 1080));
    ASSERT_TRUE(frames[1].Create(1920, 1080));
    PaintTestFrame(frames[0], 0);
    PaintTestFrame(frames[1], 1);

    AviWriter writer;
    NamedCompressorChooser raw(std::string{kUncompressedName});
    ASSERT_TRUE(writer.ChooseCompressor(raw));
    writer.Initialise();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(writer.Open(frames[0].Header(), path, 300000, 10000));
    for (uint32_t i = 0; i < count; ++i) {
        const PixelImage& f = frames[i & 1];
        ASSERT_TRUE(writer.WriteFrame(f.Pixels(), f.ByteSize(), frames[(i & 1) ^ 1].Pixels(), i));
    }
    writer.Close();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("wrote %u frames of 1920x1080 uncompressed (%.2f GB) in %.2f s\n", count,
                double(std::filesystem::file_size(path)) / 1e9, seconds);

    int riffs = 0;
    int frameChunks = 0;
    for (const auto& c : ReadRiffChunks(path)) {
        riffs += c.id == "RIFF" ? 1 : 0;
        frameChunks += (c.id == "00dc" || c.id == "00db") && c.size == 1920 * 4 * 1080 ? 1 : 0;
    }
    EXPECT_GE(riffs, 3);  // "AVI " and at least two "AVIX" extensions
    EXPECT_EQ(frameChunks, int(count));
    StreamHeader strh;
    ASSERT_TRUE(ReadStreamHeader(path, strh));
    EXPECT_EQ(strh.length, count);
    EXPECT_EQ(CountPackets(path), int64_t(count));
}

}  // namespace
}  // namespace kelvane
