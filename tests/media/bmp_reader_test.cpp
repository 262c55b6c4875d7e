// The BMP reader against pictures written by ImageMagick and FFmpeg, each compared pixel for pixel
// with ImageMagick's own decode of the same file.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "media/BmpReader.h"
#include "picture_test_tools.h"

namespace kelvane {
namespace {

using testing::Compare;
using testing::Le32;
using testing::PutLe32;
using testing::ReadBytes;
using testing::ReferenceRgb;
using testing::RunTool;
using testing::ScratchFolder;
using testing::WriteBytes;

constexpr int kWidth = 37;  // odd, so that every depth pads its rows
constexpr int kHeight = 23;

struct Writer {
    const char* name;
    const char* command;  // {src} and {out} are replaced
    int bitCount;
    uint32_t compression;
    // ImageMagick and FFmpeg widen 4-bit fields by shifting (15 becomes 240); we repeat the bits,
    // so that a full field is full intensity (15 becomes 255).
    bool nibbles = false;
};

std::string Expand(std::string command, const std::string& src, const std::string& out) {
    for (auto [key, value] : {std::pair<std::string, std::string>{"{src}", src}, {"{out}", out}}) {
        for (size_t at; (at = command.find(key)) != std::string::npos;) {
            command.replace(at, key.size(), value);
        }
    }
    return command;
}

// Turns a bottom-up BMP into the same picture stored top-down.
std::vector<uint8_t> FlipToTopDown(std::vector<uint8_t> bmp) {
    const uint32_t offset = Le32(bmp, 10);
    const int32_t width = int32_t(Le32(bmp, 18));
    const int32_t height = int32_t(Le32(bmp, 22));
    const int bits = bmp[28] | bmp[29] << 8;
    const size_t pitch = PixelImage::PitchFor(width, bits);
    for (int32_t y = 0; y < height / 2; ++y) {
        std::swap_ranges(bmp.begin() + offset + y * pitch, bmp.begin() + offset + (y + 1) * pitch,
                         bmp.begin() + offset + (height - 1 - y) * pitch);
    }
    PutLe32(bmp, 22, uint32_t(-height));
    return bmp;
}

class BmpFixtures : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<ScratchFolder>();
        source_ = folder_->File("source.png");
        ready_ = RunTool("convert -size " + std::to_string(kWidth) + "x" + std::to_string(kHeight) +
                         " -seed 7 plasma:fractal " + source_);
    }
    static void TearDownTestSuite() { folder_.reset(); }

    void SetUp() override {
        if (!ready_) {
            GTEST_SKIP() << "ImageMagick's convert is needed to make the test pictures";
        }
    }

    // Writes a picture with a tool command; empty when the tool failed.
    static std::vector<uint8_t> Make(const std::string& name, const std::string& command) {
        const std::string out = folder_->File(name);
        if (!RunTool(Expand(command, source_, out))) {
            return {};
        }
        return ReadBytes(out);
    }

    static std::unique_ptr<ScratchFolder> folder_;
    static std::string source_;
    static bool ready_;
};
std::unique_ptr<ScratchFolder> BmpFixtures::folder_;
std::string BmpFixtures::source_;
bool BmpFixtures::ready_ = false;

class BmpDepths : public BmpFixtures, public ::testing::WithParamInterface<Writer> {};

TEST_P(BmpDepths, MatchesReferenceDecodeInBothRowOrders) {
    const Writer& w = GetParam();
    const std::string name = std::string(w.name) + ".bmp";
    const std::vector<uint8_t> bmp = Make(name, w.command);
    ASSERT_FALSE(bmp.empty()) << Expand(w.command, source_, name);
    std::vector<uint8_t> reference = ReferenceRgb(folder_->File(name));
    if (w.nibbles) {
        for (uint8_t& c : reference) {
            ASSERT_EQ(c & 0x0F, 0);
            c = uint8_t(c | c >> 4);
        }
    }

    // The tool wrote the layout this case is about.
    PictureBitmap parsed;
    ASSERT_TRUE(ParseBmp(bmp.data(), bmp.size(), parsed));
    EXPECT_EQ(parsed.header.bitCount, w.bitCount);
    EXPECT_EQ(parsed.header.compression, w.compression);

    PixelImage fromMemory;
    ASSERT_TRUE(ReadBmp(bmp.data(), bmp.size(), fromMemory));
    auto d = Compare(fromMemory, reference, kWidth, kHeight);
    ASSERT_TRUE(d.sizeMatches);
    EXPECT_EQ(d.firstX, -1) << "pixel (" << d.firstX << ", " << d.firstY << ") off by "
                            << d.largest;
    EXPECT_TRUE(d.fourthBytesClear);

    PictureBitmap fromFile;
    PixelImage converted;
    ASSERT_TRUE(ReadBmpFile(testing::U16(folder_->File(name)), fromFile));
    ASSERT_TRUE(ConvertTo32(fromFile, converted));
    ASSERT_EQ(converted.ByteSize(), fromMemory.ByteSize());
    EXPECT_TRUE(std::equal(converted.Pixels(), converted.Pixels() + converted.ByteSize(),
                           fromMemory.Pixels()));

    if (parsed.header.size >= 40) {  // the core header's height has no sign
        const std::vector<uint8_t> topDown = FlipToTopDown(bmp);
        PixelImage flipped;
        ASSERT_TRUE(ReadBmp(topDown.data(), topDown.size(), flipped));
        d = Compare(flipped, reference, kWidth, kHeight);
        EXPECT_EQ(d.firstX, -1) << "top-down: pixel (" << d.firstX << ", " << d.firstY << ")";
    }
}

const Writer kWriters[] = {
    {"im_rgb24", "convert {src} -type TrueColor BMP3:{out}", 24, 0},
    {"im_v5_rgb24", "convert {src} -type TrueColor BMP:{out}", 24, 0},
    {"im_core_rgb24", "convert {src} BMP2:{out}", 24, 0},
    {"im_pal8", "convert {src} -colors 200 -type Palette -compress None BMP3:{out}", 8, 0},
    {"im_pal4", "convert {src} -colors 12 -type Palette -compress None BMP3:{out}", 4, 0},
    {"im_pal1", "convert {src} -colors 2 -type Palette -compress None BMP3:{out}", 1, 0},
    {"im_rgb555", "convert {src} -define bmp:subtype=RGB555 BMP:{out}", 16, 3},
    {"im_rgb565", "convert {src} -define bmp:subtype=RGB565 BMP:{out}", 16, 3},
    {"im_argb8888", "convert {src} -alpha set -define bmp:subtype=ARGB8888 BMP:{out}", 32, 3},
    {"ff_bgra", "ffmpeg -y -i {src} -pix_fmt bgra {out}", 32, 0},
    {"ff_bgr24", "ffmpeg -y -i {src} -pix_fmt bgr24 {out}", 24, 0},
    {"ff_rgb555", "ffmpeg -y -i {src} -pix_fmt rgb555le {out}", 16, 0},
    {"ff_rgb565", "ffmpeg -y -i {src} -pix_fmt rgb565le {out}", 16, 3},
    {"ff_rgb444", "ffmpeg -y -i {src} -pix_fmt rgb444le {out}", 16, 3, true},
    {"ff_pal8", "ffmpeg -y -i {src} -pix_fmt pal8 {out}", 8, 0},
    {"ff_gray", "ffmpeg -y -i {src} -pix_fmt gray {out}", 8, 0},
    {"ff_monow", "ffmpeg -y -i {src} -pix_fmt monow {out}", 1, 0},
};

INSTANTIATE_TEST_SUITE_P(Writers, BmpDepths, ::testing::ValuesIn(kWriters),
                         [](const auto& info) { return std::string(info.param.name); });

class BmpTables : public BmpFixtures {};

// An 8-bit picture rewritten with a colour table of only the entries it uses, as biClrUsed allows.
struct ShortTable {
    std::vector<uint8_t> bmp;
    uint32_t entries = 0;
};

ShortTable ShortenTable(const std::vector<uint8_t>& full) {
    const uint32_t offset = Le32(full, 10);
    const uint32_t headerSize = Le32(full, 14);
    const auto pixels = full.begin() + offset;
    const uint32_t entries = uint32_t(*std::max_element(pixels, full.end())) + 1;
    ShortTable t;
    t.entries = entries;
    t.bmp.assign(full.begin(), full.begin() + 14 + headerSize + 4 * entries);
    t.bmp.insert(t.bmp.end(), pixels, full.end());
    PutLe32(t.bmp, 10, 14 + headerSize + 4 * entries);
    PutLe32(t.bmp, 14 + 32, entries);  // biClrUsed
    PutLe32(t.bmp, 2, uint32_t(t.bmp.size()));
    return t;
}

TEST_F(BmpTables, ColoursUsedBoundsTheTableAndIndexesPastItAreBlack) {
    const std::vector<uint8_t> full =
        Make("pal8.bmp", "convert {src} -colors 60 -type Palette -compress None BMP3:{out}");
    ASSERT_FALSE(full.empty());
    const std::vector<uint8_t> reference = ReferenceRgb(folder_->File("pal8.bmp"));
    ShortTable t = ShortenTable(full);
    ASSERT_LT(t.entries, 250u);

    PixelImage image;
    ASSERT_TRUE(ReadBmp(t.bmp.data(), t.bmp.size(), image));
    EXPECT_EQ(Compare(image, reference, kWidth, kHeight).firstX, -1);

    // The first pixel of the bottom row now names an entry the table does not have.
    const size_t first = Le32(t.bmp, 10);
    t.bmp[first] = 0xFF;
    ASSERT_TRUE(ReadBmp(t.bmp.data(), t.bmp.size(), image));
    EXPECT_EQ(image.Row32(kHeight - 1)[0], 0u);
    EXPECT_EQ(image.Row32(kHeight - 1)[1],
              uint32_t(reference[((kHeight - 1) * kWidth + 1) * 3] << 16 |
                       reference[((kHeight - 1) * kWidth + 1) * 3 + 1] << 8 |
                       reference[((kHeight - 1) * kWidth + 1) * 3 + 2]));
}

TEST_F(BmpTables, TableCutShortByThePixelOffsetLeavesTheRestBlack) {
    const std::vector<uint8_t> full =
        Make("pal8cut.bmp", "convert {src} -colors 60 -type Palette -compress None BMP3:{out}");
    ASSERT_FALSE(full.empty());
    ShortTable t = ShortenTable(full);
    PutLe32(t.bmp, 14 + 32, 0);  // claims 256 entries; the pixel rows follow after `entries`
    PixelImage image;
    ASSERT_TRUE(ReadBmp(t.bmp.data(), t.bmp.size(), image));
    const std::vector<uint8_t> reference = ReferenceRgb(folder_->File("pal8cut.bmp"));
    EXPECT_EQ(Compare(image, reference, kWidth, kHeight).firstX, -1);
}

TEST_F(BmpTables, ImageSizeFieldOfZeroReadsRowSizeTimesHeight) {
    std::vector<uint8_t> bmp = Make("zero.bmp", "convert {src} -type TrueColor BMP3:{out}");
    ASSERT_FALSE(bmp.empty());
    PutLe32(bmp, 14 + 20, 0);
    PixelImage image;
    ASSERT_TRUE(ReadBmp(bmp.data(), bmp.size(), image));
    EXPECT_EQ(Compare(image, ReferenceRgb(folder_->File("zero.bmp")), kWidth, kHeight).firstX, -1);
    EXPECT_EQ(image.ByteSize(), size_t(kWidth) * 4 * kHeight);
}

class BmpRefusals : public BmpFixtures {
  protected:
    static bool Reads(const std::vector<uint8_t>& bytes) {
        PixelImage image;
        image.Create(1, 1);
        image.Fill(0x123456);
        const bool read = ReadBmp(bytes.data(), bytes.size(), image);
        if (!read) {  // a refused file leaves the image as it was
            EXPECT_EQ(image.Width(), 1);
            EXPECT_EQ(image.Row32(0)[0], 0x563412u);
        }
        return read;
    }
};

TEST_F(BmpRefusals, RunLengthEncodedPicturesAreLeftToThePlugins) {
    for (const char* colours : {"200", "12"}) {
        const std::vector<uint8_t> rle = Make(std::string("rle") + colours + ".bmp",
                                              std::string("convert {src} -colors ") + colours +
                                                  " -type Palette -compress RLE BMP3:{out}");
        ASSERT_FALSE(rle.empty());
        PictureBitmap parsed;
        EXPECT_FALSE(ParseBmp(rle.data(), rle.size(), parsed));
        EXPECT_FALSE(Reads(rle));
        const uint32_t compression = Le32(rle, 14 + 16);
        EXPECT_TRUE(compression == 1 || compression == 2) << compression;
    }
}

TEST_F(BmpRefusals, EveryTruncationIsRefused) {
    for (const char* command : {"convert {src} -colors 50 -type Palette -compress None BMP3:{out}",
                                "convert {src} -define bmp:subtype=RGB565 BMP:{out}"}) {
        const std::vector<uint8_t> bmp = Make("cut.bmp", command);
        ASSERT_FALSE(bmp.empty());
        ASSERT_TRUE(Reads(bmp));
        for (size_t n = 0; n < bmp.size(); ++n) {
            // Exact-size copies, so that a read past the end is a read past the allocation.
            const std::vector<uint8_t> cut(bmp.begin(), bmp.begin() + n);
            ASSERT_FALSE(Reads(cut)) << "cut at " << n << " of " << bmp.size();
        }
    }
}

TEST_F(BmpRefusals, DamagedHeadersAreRefused) {
    const std::vector<uint8_t> good = Make("good.bmp", "convert {src} -type TrueColor BMP3:{out}");
    ASSERT_TRUE(Reads(good));
    auto with = [&](size_t at, uint32_t value, int bytes = 4) {
        std::vector<uint8_t> b = good;
        for (int i = 0; i < bytes; ++i) {
            b[at + i] = uint8_t(value >> (8 * i));
        }
        return b;
    };
    EXPECT_FALSE(Reads(with(0, 'B' | 'A' << 8, 2)));           // not "BM"
    EXPECT_FALSE(Reads(with(10, uint32_t(good.size()) + 1)));  // pixels past the end
    EXPECT_FALSE(Reads(with(10, 20)));                         // pixels inside the headers
    EXPECT_FALSE(Reads(with(14, 20)));                         // unknown header size
    EXPECT_FALSE(Reads(with(14, 0xFFFFFFFF)));
    EXPECT_FALSE(Reads(with(18, 0)));              // width 0
    EXPECT_FALSE(Reads(with(18, uint32_t(-37))));  // negative width
    EXPECT_FALSE(Reads(with(22, 0)));              // height 0
    EXPECT_FALSE(Reads(with(22, uint32_t(INT32_MIN))));
    EXPECT_FALSE(Reads(with(18, 65537)));  // absurd sizes
    EXPECT_FALSE(Reads(with(22, 0x7FFFFFFF)));
    EXPECT_FALSE(Reads(with(28, 2, 2)));  // bit counts BMP lacks
    EXPECT_FALSE(Reads(with(28, 0, 2)));
    EXPECT_FALSE(Reads(with(28, 7, 2)));
    EXPECT_FALSE(Reads(with(30, 3)));  // bit fields on 24 bits
    EXPECT_FALSE(Reads(with(30, 4)));  // JPEG payload
    EXPECT_FALSE(Reads(with(30, 5)));  // PNG payload
}

// A 1-bit picture of the given size with all its rows present.
std::vector<uint8_t> OneBitBmp(int32_t width, int32_t height) {
    const size_t pitch = PixelImage::PitchFor(width, 1);
    std::vector<uint8_t> b(62 + pitch * size_t(height < 0 ? -height : height));
    b[0] = 'B';
    b[1] = 'M';
    PutLe32(b, 10, 62);
    PutLe32(b, 14, 40);
    PutLe32(b, 18, uint32_t(width));
    PutLe32(b, 22, uint32_t(height));
    b[26] = 1;
    b[28] = 1;
    PutLe32(b, 58, 0xFFFFFF);  // entry 1 white
    return b;
}

TEST_F(BmpRefusals, AbsurdSizesAreRefusedEvenWithTheirRowsPresent) {
    EXPECT_TRUE(Reads(OneBitBmp(65536, 1)));
    EXPECT_TRUE(Reads(OneBitBmp(1, -65536)));
    EXPECT_FALSE(Reads(OneBitBmp(65537, 1)));
    EXPECT_FALSE(Reads(OneBitBmp(1, -65537)));
    EXPECT_FALSE(Reads(OneBitBmp(9000, 8000)));  // 72 million pixels
}

TEST_F(BmpRefusals, FileReaderRefusesWhatIsNotABmp) {
    PictureBitmap bitmap;
    EXPECT_FALSE(ReadBmpFile(testing::U16(folder_->File("missing.bmp")), bitmap));
    EXPECT_FALSE(ReadBmpFile(testing::U16(source_), bitmap));  // a PNG
    WriteBytes(folder_->File("empty.bmp"), {});
    EXPECT_FALSE(ReadBmpFile(testing::U16(folder_->File("empty.bmp")), bitmap));
    std::vector<uint8_t> good = Make("short.bmp", "convert {src} -type TrueColor BMP3:{out}");
    good.pop_back();
    WriteBytes(folder_->File("short.bmp"), good);
    EXPECT_FALSE(ReadBmpFile(testing::U16(folder_->File("short.bmp")), bitmap));
    EXPECT_EQ(bitmap.pixels, nullptr);
}

}  // namespace
}  // namespace kelvane
