#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "AviProbe.h"
#include "export/AviWriter.h"
#include "export/CompressorChooser.h"

namespace kelvane {
namespace {

using testing::DecodeAvi;
using testing::DecodedVideo;
using testing::PaintTestFrame;
using testing::ReadChunkData;
using testing::ReadRiffChunks;
using testing::ReadStreamHeader;
using testing::ScratchFolder;
using testing::StreamHeader;
using testing::TopDownPixels;

class CancellingChooser : public CompressorChooser {
  public:
    bool Choose(const std::vector<CompressorInfo>&, std::string&) override { return false; }
};

class StrayChooser : public CompressorChooser {
  public:
    bool Choose(const std::vector<CompressorInfo>&, std::string& chosen) override {
        chosen = "no-such-codec";
        return true;
    }
};

uint32_t Le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

// Writes `count` test frames through a writer that uses the named compressor.
bool WriteClip(const std::string& codec, const std::string& path, int32_t w, int32_t h,
               uint32_t count, uint32_t rate, uint32_t scale) {
    AviWriter writer;
    NamedCompressorChooser chooser(codec);
    if (!writer.ChooseCompressor(chooser)) {
        return false;
    }
    writer.Initialise();
    PixelImage frames[2];
    frames[0].Create(w, h);
    frames[1].Create(w, h);
    if (!writer.Open(frames[0].Header(), path, rate, scale)) {
        writer.Close();
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        PixelImage& f = frames[i & 1];
        PaintTestFrame(f, i);
        if (!writer.WriteFrame(f.Pixels(), f.ByteSize(), frames[(i & 1) ^ 1].Pixels(), i)) {
            writer.Close();
            return false;
        }
    }
    writer.Close();
    return true;
}

TEST(AviWriterStates, CallsOutOfOrderFailAndCloseIsAlwaysSafe) {
    ScratchFolder dir;
    const std::string path = dir.File("states.avi");
    PixelImage frame;
    ASSERT_TRUE(frame.Create(8, 4));

    AviWriter writer;
    writer.Close();  // never initialised
    writer.Close();
    EXPECT_FALSE(writer.WriteFrame(frame.Pixels(), frame.ByteSize(), nullptr, 0));
    // Open needs the export setup's initialisation first, and leaves no file behind.
    EXPECT_FALSE(writer.Open(frame.Header(), path, 30, 1));
    EXPECT_FALSE(std::filesystem::exists(path));

    // A compressor chosen before the setup survives the setup's Close, which comes before the
    // initialisation; the Close at the end of the export drops it.
    NamedCompressorChooser ffv1("ffv1");
    ASSERT_TRUE(writer.ChooseCompressor(ffv1));
    ASSERT_NE(writer.Compressor(), nullptr);
    writer.Close();
    EXPECT_NE(writer.Compressor(), nullptr);
    writer.Initialise();
    ASSERT_TRUE(writer.Open(frame.Header(), path, 30, 1));
    EXPECT_TRUE(writer.StreamOpen());
    EXPECT_FALSE(writer.Open(frame.Header(), path, 30, 1));  // one file at a time
    EXPECT_FALSE(writer.ChooseCompressor(ffv1));             // not while a stream is open
    EXPECT_TRUE(writer.WriteFrame(frame.Pixels(), frame.ByteSize(), nullptr, 0));
    // Frames come in ascending order, each of the input's whole size.
    EXPECT_FALSE(writer.WriteFrame(frame.Pixels(), frame.ByteSize(), nullptr, 0));
    EXPECT_FALSE(writer.WriteFrame(frame.Pixels(), frame.ByteSize() - 4, nullptr, 1));
    EXPECT_FALSE(writer.WriteFrame(nullptr, frame.ByteSize(), nullptr, 1));
    EXPECT_TRUE(writer.WriteFrame(frame.Pixels(), frame.ByteSize(), frame.Pixels(), 1));
    writer.Close();
    EXPECT_FALSE(writer.StreamOpen());
    EXPECT_FALSE(writer.Initialised());
    EXPECT_EQ(writer.Compressor(), nullptr);
    writer.Close();
    EXPECT_FALSE(writer.WriteFrame(frame.Pixels(), frame.ByteSize(), nullptr, 2));

    DecodedVideo video;
    std::string error;
    ASSERT_TRUE(DecodeAvi(path, video, error)) << error;
    EXPECT_EQ(video.codec, "ffv1");
    EXPECT_EQ(video.frames.size(), 2u);
}

TEST(AviWriterStates, ChooserCancelAndUnknownNamesFail) {
    AviWriter writer;
    NamedCompressorChooser mjpeg("mjpeg");
    ASSERT_TRUE(writer.ChooseCompressor(mjpeg));
    CancellingChooser cancel;
    EXPECT_FALSE(writer.ChooseCompressor(cancel));
    EXPECT_EQ(writer.Compressor(), nullptr);  // the previous choice is gone
    StrayChooser stray;
    EXPECT_FALSE(writer.ChooseCompressor(stray));
    NamedCompressorChooser none(std::string{kUncompressedName});
    EXPECT_TRUE(writer.ChooseCompressor(none));
    EXPECT_EQ(writer.Compressor(), nullptr);
}

TEST(AviWriterStates, OpenRejectsBadFormatsAndPathsWithoutLeavingFiles) {
    ScratchFolder dir;
    PixelImage frame;
    ASSERT_TRUE(frame.Create(8, 4));
    AviWriter writer;
    writer.Initialise();
    BitmapInfoHeader bad = frame.Header();
    bad.bitCount = 24;
    EXPECT_FALSE(writer.Open(bad, dir.File("a.avi"), 30, 1));
    writer.Close();
    writer.Initialise();
    EXPECT_FALSE(writer.Open(frame.Header(), dir.File("a.avi"), 0, 1));  // no frame rate
    writer.Close();
    writer.Initialise();
    EXPECT_FALSE(writer.Open(frame.Header(), dir.File("missing/a.avi"), 30, 1));
    writer.Close();
    EXPECT_TRUE(std::filesystem::is_empty(dir.Native()));
}

TEST(AviWriterUncompressed, FramesAreWholeBottomUpKeyFramesWithABitmapHeader) {
    ScratchFolder dir;
    const std::string path = dir.File("raw.avi");
    const int32_t w = 5;
    const int32_t h = 3;
    ASSERT_TRUE(WriteClip(std::string{kUncompressedName}, path, w, h, 3, 30, 1));

    const auto chunks = ReadRiffChunks(path);
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(chunks[0].id, "RIFF");
    EXPECT_EQ(chunks[1].id, "AVI ");

    StreamHeader strh;
    ASSERT_TRUE(ReadStreamHeader(path, strh));
    EXPECT_EQ(strh.type, "vids");
    EXPECT_EQ(strh.handler, 0u);
    EXPECT_EQ(strh.length, 3u);

    std::vector<uint8_t> strf;
    std::vector<std::vector<uint8_t>> samples;
    std::vector<uint8_t> idx1;
    for (const auto& c : chunks) {
        if (c.id == "strf") {
            strf = ReadChunkData(path, c);
        } else if (c.id == "00dc" || c.id == "00db") {
            samples.push_back(ReadChunkData(path, c));
        } else if (c.id == "idx1") {
            idx1 = ReadChunkData(path, c);
        }
    }
    ASSERT_EQ(strf.size(), 40u);
    EXPECT_EQ(Le32(&strf[0]), 40u);                   // header size
    EXPECT_EQ(int32_t(Le32(&strf[4])), w);            // width
    EXPECT_EQ(int32_t(Le32(&strf[8])), h);            // positive height: bottom-up rows
    EXPECT_EQ(strf[12] | strf[13] << 8, 1);           // planes
    EXPECT_EQ(strf[14] | strf[15] << 8, 32);          // bits per pixel
    EXPECT_EQ(Le32(&strf[16]), 0u);                   // BI_RGB
    EXPECT_EQ(Le32(&strf[20]), uint32_t(w * 4 * h));  // image size

    ASSERT_EQ(samples.size(), 3u);
    PixelImage expected;
    ASSERT_TRUE(expected.Create(w, h));
    for (uint32_t i = 0; i < 3; ++i) {
        PaintTestFrame(expected, i);
        ASSERT_EQ(samples[i].size(), size_t(w * 4 * h));
        // The bitmap as handed in, its fourth bytes opaque.
        std::vector<uint8_t> opaque(expected.Pixels(), expected.Pixels() + expected.ByteSize());
        for (size_t b = 3; b < opaque.size(); b += 4) {
            opaque[b] = 0xFF;
        }
        EXPECT_EQ(samples[i], opaque) << "frame " << i << " is not the bitmap as handed in";
    }
    ASSERT_EQ(idx1.size(), 3u * 16);
    for (size_t e = 0; e < 3; ++e) {
        EXPECT_EQ(Le32(&idx1[e * 16 + 4]) & 0x10, 0x10u) << "entry " << e << " not a key frame";
        EXPECT_EQ(Le32(&idx1[e * 16 + 12]), uint32_t(w * 4 * h));
    }

    // A decoder reads the rows the right way up.
    DecodedVideo video;
    std::string error;
    ASSERT_TRUE(DecodeAvi(path, video, error)) << error;
    ASSERT_EQ(video.frames.size(), 3u);
    PaintTestFrame(expected, 2);
    EXPECT_EQ(video.frames[2], TopDownPixels(expected));
}

// FFmpeg reads 32-bit uncompressed AVI as BGRA: its picture of a frame must be opaque, and the
// frame handed in keeps its fourth bytes as they were. A frame wider than the copy's vector steps
// with an odd width checks the end of the rows.
TEST(AviWriterUncompressed, FfmpegSeesOpaquePicturesAndTheFramesStayAsHandedIn) {
    ScratchFolder dir;
    const std::string path = dir.File("opaque.avi");
    const int32_t w = 37;
    const int32_t h = 5;
    AviWriter writer;
    NamedCompressorChooser chooser{std::string{kUncompressedName}};
    ASSERT_TRUE(writer.ChooseCompressor(chooser));
    writer.Initialise();
    PixelImage frame;
    ASSERT_TRUE(frame.Create(w, h));
    PaintTestFrame(frame, 1);
    const std::vector<uint8_t> before(frame.Pixels(), frame.Pixels() + frame.ByteSize());
    ASSERT_TRUE(writer.Open(frame.Header(), path, 30, 1));
    ASSERT_TRUE(writer.WriteFrame(frame.Pixels(), frame.ByteSize(), frame.Pixels(), 0));
    writer.Close();
    EXPECT_EQ(std::memcmp(frame.Pixels(), before.data(), before.size()), 0);

    // The alpha plane of ffmpeg's PNG of the frame, as bytes.
    const std::string png = dir.File("frame.png");
    const std::string command = "ffmpeg -nostdin -v error -y -i '" + path + "' -frames:v 1 '" +
                                png + "' && ffmpeg -nostdin -v error -i '" + png +
                                "' -vf alphaextract -f rawvideo -pix_fmt gray -";
    std::string alpha;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            alpha.append(buffer, n);
        }
        ASSERT_EQ(pclose(pipe), 0) << command;
    }
    ASSERT_EQ(alpha.size(), size_t(w * h));
    EXPECT_EQ(alpha, std::string(size_t(w * h), '\xFF'));
}

TEST(AviWriterRate, StreamRateIsTheGivenFraction) {
    ScratchFolder dir;
    struct Case {
        uint32_t rate, scale;
    } cases[] = {{299700, 10000}, {300000, 10000}, {5000, 10000}, {24, 0}};
    for (const Case& c : cases) {
        const std::string path = dir.File("rate.avi");
        ASSERT_TRUE(WriteClip(std::string{kUncompressedName}, path, 4, 2, 1, c.rate, c.scale));
        StreamHeader strh;
        ASSERT_TRUE(ReadStreamHeader(path, strh));
        const uint64_t scale = c.scale == 0 ? 1 : c.scale;  // 0 counts as 1
        // The container may keep the fraction reduced: 299700 / 10000 as 2997 / 100.
        EXPECT_EQ(uint64_t(strh.rate) * scale, uint64_t(c.rate) * strh.scale)
            << strh.rate << "/" << strh.scale << " for " << c.rate << "/" << c.scale;
        EXPECT_GT(strh.scale, 0u);
    }
}

class AviWriterCodec : public ::testing::TestWithParam<std::string> {};

TEST_P(AviWriterCodec, RoundTripsThroughADecoder) {
    const CompressorInfo* info = FindCompressor(GetParam());
    if (info == nullptr) {
        GTEST_SKIP() << GetParam() << " is not in this FFmpeg build";
    }
    ScratchFolder dir;
    struct Size {
        int32_t w, h;
    } sizes[] = {{64, 48}, {7, 5}};
    for (const Size& size : sizes) {
        SCOPED_TRACE(std::to_string(size.w) + "x" + std::to_string(size.h));
        const std::string path = dir.File(GetParam() + std::to_string(size.w) + ".avi");
        const uint32_t count = 6;
        if (!WriteClip(GetParam(), path, size.w, size.h, count, 299700, 10000)) {
            // x264 takes 4:2:0 frames of even size only; it refuses before a file is created.
            EXPECT_EQ(GetParam(), "h264");
            EXPECT_TRUE(size.w % 2 != 0 || size.h % 2 != 0);
            EXPECT_FALSE(std::filesystem::exists(path));
            continue;
        }

        DecodedVideo video;
        std::string error;
        ASSERT_TRUE(DecodeAvi(path, video, error)) << error;
        EXPECT_EQ(video.width, size.w);
        EXPECT_EQ(video.height, size.h);
        ASSERT_EQ(video.frames.size(), count);
        StreamHeader strh;
        ASSERT_TRUE(ReadStreamHeader(path, strh));
        EXPECT_EQ(strh.length, count);
        EXPECT_EQ(uint64_t(strh.rate) * 10000, uint64_t(299700) * strh.scale);

        PixelImage expected;
        ASSERT_TRUE(expected.Create(size.w, size.h));
        for (uint32_t i = 0; i < count; ++i) {
            PaintTestFrame(expected, i);
            const std::vector<uint32_t> want = TopDownPixels(expected);
            const std::vector<uint32_t>& got = video.frames[i];
            if (info->lossless) {
                EXPECT_EQ(got, want) << "frame " << i;
                continue;
            }
            if (size.w < 16) {
                continue;  // too few pixels to judge a lossy codec by
            }
            // Lossy: close on average. A frame upside down or with red and blue swapped is far
            // off.
            uint64_t errorSum = 0;
            for (size_t p = 0; p < want.size(); ++p) {
                for (int shift = 0; shift < 24; shift += 8) {
                    errorSum +=
                        std::abs(int((got[p] >> shift) & 0xFF) - int((want[p] >> shift) & 0xFF));
                }
            }
            EXPECT_LT(double(errorSum) / double(want.size() * 3), 6.0) << "frame " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Offered, AviWriterCodec,
                         ::testing::Values("uncompressed", "mjpeg", "ffv1", "huffyuv", "ffvhuff",
                                           "utvideo", "mpeg4", "h264"));

TEST(AviWriterCodec, EveryOfferedCompressorHasANameAndDescription) {
    const auto& offered = AvailableCompressors();
    ASSERT_FALSE(offered.empty());
    EXPECT_EQ(offered[0].name, kUncompressedName);
    for (const CompressorInfo& c : offered) {
        EXPECT_FALSE(c.name.empty());
        EXPECT_FALSE(c.description.empty());
        EXPECT_EQ(c.name.find_first_of(" \t"), std::string::npos);
        EXPECT_EQ(FindCompressor(c.name), &c);
    }
    const std::string list = CompressorListText();
    EXPECT_EQ(list.substr(0, list.find('\n')), "uncompressed\t全フレーム (非圧縮)");
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), std::ptrdiff_t(offered.size()));
}

// A chooser that also gives a quality, as the window's compressor dialog does.
class QualityChooser : public NamedCompressorChooser {
  public:
    QualityChooser(std::string name, int quality)
        : NamedCompressorChooser(std::move(name)), quality_(quality) {}
    int Quality() const override { return quality_; }

  private:
    int quality_;
};

TEST(AviWriterCodec, QualitySetsTheLossyEncodersQuantiser) {
    ScratchFolder dir;
    auto sizeAt = [&](int quality) -> std::uintmax_t {
        const std::string path = dir.File("q" + std::to_string(quality) + ".avi");
        AviWriter writer;
        QualityChooser chooser("mjpeg", quality);
        EXPECT_TRUE(writer.ChooseCompressor(chooser));
        writer.Initialise();
        PixelImage frame;
        frame.Create(64, 48);
        PaintTestFrame(frame, 3);
        EXPECT_TRUE(writer.Open(frame.Header(), path, 30, 1));
        EXPECT_TRUE(writer.WriteFrame(frame.Pixels(), frame.ByteSize(), frame.Pixels(), 0));
        writer.Close();
        return std::filesystem::file_size(path);
    };
    // No quality keeps the finest quantiser, which quality 100 also gives.
    EXPECT_EQ(sizeAt(-1), sizeAt(100));
    EXPECT_LT(sizeAt(0), sizeAt(50));
    EXPECT_LT(sizeAt(50), sizeAt(100));
}

}  // namespace
}  // namespace kelvane
