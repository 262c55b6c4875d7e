// The shipped FFmpeg picture plug-in on pictures written by ImageMagick and FFmpeg, compared with
// ImageMagick's decode of the same files.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "media/PictureLoader.h"
#include "picture_test_tools.h"

#define KELVANE_PICTURE_NO_DECLARATIONS
#include "kelvane/picture_plugin.h"

namespace kelvane {
namespace {

using testing::Compare;
using testing::ReadBytes;
using testing::ReferenceRgb;
using testing::RunTool;
using testing::ScratchFolder;
using testing::U16;

constexpr int kWidth = 45;
constexpr int kHeight = 31;

class FfmpegPlugin : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<ScratchFolder>();
        ready_ =
            RunTool("convert -size 45x31 -seed 11 plasma:fractal -depth 8 " + File("source.png")) &&
            RunTool("convert -size 45x31 -seed 11 plasma:fractal -depth 16 " + File("deep.png"));
    }
    static void TearDownTestSuite() { folder_.reset(); }

    void SetUp() override {
        if (!ready_) {
            GTEST_SKIP() << "ImageMagick's convert is needed to make the test pictures";
        }
        ASSERT_TRUE(module_.Load(U16(KELVANE_PICTURE_FFMPEG_PLUGIN)));
        plugins_.push_back(std::move(module_));
    }

    static std::string File(const std::string& name) { return folder_->File(name); }
    static std::string Source() { return File("source.png"); }

    // Loads a picture through the plug-in list and compares it with a reference decode.
    void ExpectDecodes(const std::string& file, const std::vector<uint8_t>& reference,
                       int tolerance, double meanTolerance = 0.5) {
        PixelImage image;
        ASSERT_TRUE(LoadPictureFile(U16(file), plugins_, image)) << file;
        const testing::Difference d = Compare(image, reference, kWidth, kHeight, tolerance);
        ASSERT_TRUE(d.sizeMatches) << file << ": " << image.Width() << "x" << image.Height();
        EXPECT_EQ(d.firstX, -1) << file << ": pixel (" << d.firstX << ", " << d.firstY
                                << ") off by " << d.largest;
        EXPECT_LE(d.mean, meanTolerance) << file;
        EXPECT_TRUE(d.fourthBytesClear) << file;
    }

    bool Takes(const std::string& file) {
        std::vector<uint8_t> bytes = ReadBytes(file);
        bytes.resize(std::max<size_t>(bytes.size(), 2048));
        return plugins_[0].Lookup<KelvanePictureIsSupported>("IsSupported")(nullptr,
                                                                            bytes.data()) != 0;
    }

    static std::unique_ptr<ScratchFolder> folder_;
    static bool ready_;
    DynamicModule module_;
    std::vector<DynamicModule> plugins_;
};
std::unique_ptr<ScratchFolder> FfmpegPlugin::folder_;
bool FfmpegPlugin::ready_ = false;

TEST_F(FfmpegPlugin, LosslessFormatsMatchExactly) {
    const std::vector<uint8_t> reference = ReferenceRgb(Source());
    ExpectDecodes(Source(), reference, 0);
    for (const char* name : {"pic.tiff", "pic.ppm"}) {
        ASSERT_TRUE(RunTool("convert " + Source() + " " + File(name)));
        ExpectDecodes(File(name), reference, 0);
    }
    // TGA from FFmpeg's encoder, plain and run-length: ImageMagick's TGA files state a bottom-left
    // origin but hold the top row first.
    ASSERT_TRUE(RunTool("ffmpeg -y -i " + Source() + " -c:v targa -rle 0 " + File("pic.tga")));
    ExpectDecodes(File("pic.tga"), reference, 0);
    ASSERT_TRUE(RunTool("ffmpeg -y -i " + Source() + " -c:v targa -rle 1 " + File("rle.tga")));
    ExpectDecodes(File("rle.tga"), reference, 0);
    // Lossless WebP from FFmpeg's libwebp encoder: the source's pixels exactly.
    ASSERT_TRUE(RunTool("ffmpeg -y -i " + Source() + " -c:v libwebp -lossless 1 -pix_fmt bgra " +
                        File("pic.webp")));
    ExpectDecodes(File("pic.webp"), reference, 0);
}

TEST_F(FfmpegPlugin, SixteenBitChannelsRoundOnceToEightBits) {
    const std::vector<uint8_t> reference = testing::ReferenceRgbRounded(File("deep.png"));
    ExpectDecodes(File("deep.png"), reference, 0);
    ASSERT_TRUE(RunTool("convert " + File("deep.png") + " -depth 16 " + File("deep.tiff")));
    ExpectDecodes(File("deep.tiff"), reference, 0);
}

TEST_F(FfmpegPlugin, PalettedGifAndRunLengthBmpMatchTheirReference) {
    ASSERT_TRUE(RunTool("convert " + Source() + " -colors 64 " + File("pic.gif")));
    ExpectDecodes(File("pic.gif"), ReferenceRgb(File("pic.gif")), 0);
    // The built-in reader refuses run-length BMPs; the plug-in takes them.
    ASSERT_TRUE(
        RunTool("convert " + Source() + " -colors 100 -compress RLE BMP3:" + File("rle.bmp")));
    ExpectDecodes(File("rle.bmp"), ReferenceRgb(File("rle.bmp")), 0);
}

TEST_F(FfmpegPlugin, AlphaIsCompositedOverBlack) {
    // Opaque at the top, fading to clear at the bottom.
    ASSERT_TRUE(RunTool("convert " + Source() +
                        " \\( -size 45x31 gradient:white-black \\) -alpha off -compose CopyOpacity "
                        "-composite PNG32:" +
                        File("alpha.png")));
    ASSERT_TRUE(
        RunTool("convert " + File("alpha.png") +
                " -background black -alpha remove -alpha off -depth 8 rgb:" + File("alpha.rgb")));
    const std::vector<uint8_t> reference = ReadBytes(File("alpha.rgb"));
    ExpectDecodes(File("alpha.png"), reference, 1);  // rounding of the two blends may differ
    PixelImage image;
    ASSERT_TRUE(LoadPictureFile(U16(File("alpha.png")), plugins_, image));
    for (int x = 0; x < kWidth; ++x) {
        EXPECT_EQ(image.Row32(kHeight - 1)[x], 0u) << x;  // fully transparent: black
    }
}

TEST_F(FfmpegPlugin, JpegIsCloseToAnotherDecoder) {
    // Two JPEG decoders agree only approximately: their inverse transforms differ a little, and
    // they widen subsampled colour with different filters. A softened picture keeps the edges,
    // where the filters differ most, moderate.
    ASSERT_TRUE(RunTool("convert " + Source() + " -blur 0x1.5 " + File("soft.png")));
    ASSERT_TRUE(RunTool("convert " + File("soft.png") + " -quality 95 -sampling-factor 1x1 " +
                        File("full.jpg")));
    ExpectDecodes(File("full.jpg"), ReferenceRgb(File("full.jpg")), 3, 0.2);
    ASSERT_TRUE(RunTool("convert " + File("soft.png") + " -quality 90 -sampling-factor 2x2 " +
                        File("sub.jpg")));
    ExpectDecodes(File("sub.jpg"), ReferenceRgb(File("sub.jpg")), 24, 4.0);
}

TEST_F(FfmpegPlugin, JpegWhoseMetadataFillsTheProbedHeaderIsTaken) {
    // Camera pictures carry tens of kilobytes of metadata before the picture data.
    ASSERT_TRUE(RunTool("convert " + Source() + " -blur 0x1.5 -quality 95 -sampling-factor 1x1 " +
                        "-set comment \"$(head -c 6000 /dev/zero | tr '\\0' x)\" " +
                        File("meta.jpg")));
    ASSERT_GT(ReadBytes(File("meta.jpg")).size(), 6000u);
    EXPECT_TRUE(Takes(File("meta.jpg")));
    ExpectDecodes(File("meta.jpg"), ReferenceRgb(File("meta.jpg")), 3, 0.2);
}

TEST_F(FfmpegPlugin, AnimatedGifGivesItsFirstFrame) {
    ASSERT_TRUE(RunTool("convert -delay 10 " + Source() + " -flip " + Source() + " -colors 64 " +
                        File("anim.gif")));
    ExpectDecodes(File("anim.gif"), ReferenceRgb(File("anim.gif")), 0);
}

TEST_F(FfmpegPlugin, HandsBackAnUncompressedBottomUpBitmapFromMalloc) {
    std::vector<uint8_t> png = ReadBytes(Source());
    void* info = nullptr;
    void* pixels = nullptr;
    const auto getPicture = plugins_[0].Lookup<KelvanePictureGetPicture>("GetPicture");
    ASSERT_EQ(getPicture(png.data(), png.size(), KELVANE_PICTURE_INPUT_MEMORY, &info, &pixels,
                         nullptr, 0),
              KELVANE_PICTURE_OK);
    const auto* h = static_cast<const KelvanePictureInfoHeader*>(info);
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, kWidth);
    EXPECT_EQ(h->biHeight, kHeight);
    EXPECT_EQ(h->biBitCount, 32);
    EXPECT_EQ(h->biCompression, uint32_t(KELVANE_PICTURE_RGB));
    EXPECT_GE(malloc_usable_size(info), 44u);
    EXPECT_GE(malloc_usable_size(pixels), size_t(kWidth) * 4 * kHeight);
    std::free(info);
    std::free(pixels);

    // What the plug-in cannot do it says, and it hands nothing back.
    info = pixels = nullptr;
    EXPECT_NE(getPicture(png.data(), 30, KELVANE_PICTURE_INPUT_MEMORY, &info, &pixels, nullptr, 0),
              KELVANE_PICTURE_OK);
    EXPECT_EQ(
        getPicture(Source().c_str(), 0, KELVANE_PICTURE_INPUT_FILE, &info, &pixels, nullptr, 0),
        KELVANE_PICTURE_NOT_IMPLEMENTED);
    const std::string text(3000, 'x');
    EXPECT_EQ(getPicture(text.data(), text.size(), KELVANE_PICTURE_INPUT_MEMORY, &info, &pixels,
                         nullptr, 0),
              KELVANE_PICTURE_UNKNOWN_FORMAT);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(pixels, nullptr);
}

TEST_F(FfmpegPlugin, LeavesMoviesAndOtherFilesAlone) {
    // A movie must reach the movie reader, which is asked after the picture readers.
    ASSERT_TRUE(
        RunTool("ffmpeg -y -f lavfi -i testsrc=s=32x24:d=0.2 -c:v mjpeg " + File("movie.avi")));
    ASSERT_TRUE(
        RunTool("ffmpeg -y -f lavfi -i testsrc=s=32x24:d=0.2 -c:v mpeg4 " + File("movie.mp4")));
    ASSERT_TRUE(RunTool("ffmpeg -y -f lavfi -i testsrc=s=32x24:d=0.2 -c:v mjpeg -f mjpeg " +
                        File("movie.mjpeg")));
    EXPECT_FALSE(Takes(File("movie.avi")));
    EXPECT_FALSE(Takes(File("movie.mp4")));
    EXPECT_FALSE(Takes(File("movie.mjpeg")));  // a stream of JPEG pictures is a movie
    testing::WriteBytes(File("notes.txt"), std::vector<uint8_t>(100, 'a'));
    EXPECT_FALSE(Takes(File("notes.txt")));
    PixelImage image;
    EXPECT_FALSE(LoadPictureFile(U16(File("movie.avi")), plugins_, image));
    EXPECT_FALSE(LoadPictureFile(U16(File("notes.txt")), plugins_, image));
    EXPECT_TRUE(Takes(Source()));
}

TEST_F(FfmpegPlugin, PicturesClaimingAbsurdSizesAreRefused) {
    // Real pictures whose headers are changed to claim 12000 x 12000 pixels: a few hundred bytes
    // must not make the decoder allocate and fill gigabytes.
    ASSERT_TRUE(RunTool("ffmpeg -y -i " + Source() + " -c:v libwebp " + File("big.webp")));
    std::vector<uint8_t> webp = ReadBytes(File("big.webp"));
    ASSERT_GT(webp.size(), 30u);
    ASSERT_EQ(std::string(webp.begin() + 12, webp.begin() + 16), "VP8 ");
    ASSERT_EQ(webp[23], 0x9D);  // the key frame's start code; width and height follow
    for (size_t at : {size_t(26), size_t(28)}) {
        webp[at] = 12000 & 0xFF;
        webp[at + 1] = 12000 >> 8;
    }
    testing::WriteBytes(File("big.webp"), webp);

    ASSERT_TRUE(RunTool("ffmpeg -y -i " + Source() + " -c:v targa " + File("big.tga")));
    std::vector<uint8_t> tga = ReadBytes(File("big.tga"));
    ASSERT_GT(tga.size(), 18u);
    for (size_t at : {size_t(12), size_t(14)}) {
        tga[at] = 12000 & 0xFF;
        tga[at + 1] = 12000 >> 8;
    }
    testing::WriteBytes(File("big.tga"), tga);

    for (const char* name : {"big.webp", "big.tga"}) {
        EXPECT_TRUE(Takes(File(name))) << name;
        PixelImage image;
        EXPECT_FALSE(LoadPictureFile(U16(File(name)), plugins_, image)) << name;
    }
}

TEST_F(FfmpegPlugin, DamagedPicturesDoNotCrash) {
    ASSERT_TRUE(RunTool("convert " + Source() + " -quality 90 " + File("cut.jpg")));
    for (const std::string& name : {Source(), File("cut.jpg")}) {
        const std::vector<uint8_t> whole = ReadBytes(name);
        for (size_t n : {size_t(8), size_t(40), whole.size() / 3, whole.size() - 1}) {
            testing::WriteBytes(File("cut"),
                                std::vector<uint8_t>(whole.begin(), whole.begin() + n));
            PixelImage image;
            // A cut-off file may still yield its first rows; it must not crash or overrun.
            if (LoadPictureFile(U16(File("cut")), plugins_, image)) {
                EXPECT_EQ(image.Width(), kWidth) << name << " cut at " << n;
            }
        }
    }
}

}  // namespace
}  // namespace kelvane
