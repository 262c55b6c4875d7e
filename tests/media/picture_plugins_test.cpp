// The order in which picture plug-ins are asked and what stops a load, with the small plug-ins of
// picture_test_plugins/.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "media/PictureLoader.h"
#include "picture_test_tools.h"

namespace kelvane {
namespace {

using testing::ScratchFolder;
using testing::U16;
using testing::WriteBytes;

DynamicModule Plugin(const std::string& name) {
    DynamicModule m;
    EXPECT_TRUE(m.Load(U16(std::string(KELVANE_TEST_PICTURE_PLUGINS) + "/" + name + ".spi")))
        << name;
    return m;
}

int ProbeCalls(const DynamicModule& m) {
    return m.Lookup<int (*)()>("TestProbeCalls")();
}
int DecodeCalls(const DynamicModule& m) {
    return m.Lookup<int (*)()>("TestDecodeCalls")();
}

class PicturePlugins : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"test_good1", "test_good2", "test_fail", "test_refuse",
                                 "test_noprobe", "test_palette", "test_short"}) {
            DynamicModule m = Plugin(name);
            m.Lookup<void (*)()>("TestReset")();
            loaded_.push_back(std::move(m));  // keeps the counters alive across the test
        }
        // A file that the test plug-ins take: "KTST" and 100 bytes of 0xEE.
        std::vector<uint8_t> bytes(104, 0xEE);
        std::copy_n("KTST", 4, bytes.begin());
        WriteBytes(folder_.File("picture.kt"), bytes);
        path_ = U16(folder_.File("picture.kt"));
    }

    // The list the loader walks, in the order given.
    static std::vector<DynamicModule> List(std::initializer_list<const char*> names) {
        std::vector<DynamicModule> list;
        for (const char* name : names) {
            list.push_back(name == nullptr ? DynamicModule() : Plugin(name));
        }
        return list;
    }

    // Red of the top-left pixel: which test plug-in made the picture.
    static uint32_t MadeBy(const PixelImage& image) { return image.Row32(0)[0] >> 16; }

    ScratchFolder folder_;
    std::u16string path_;
    std::vector<DynamicModule> loaded_;
};

TEST_F(PicturePlugins, FirstPluginThatTakesTheFileDecodesIt) {
    const auto list = List({"test_refuse", "test_good1", "test_good2"});
    PixelImage image;
    ASSERT_TRUE(LoadPictureFile(path_, list, image));
    ASSERT_EQ(image.Width(), 3);
    ASSERT_EQ(image.Height(), 2);
    EXPECT_EQ(MadeBy(image), 1u);
    // Pixel (x, y) is (id, 40x, 100y): the rows came out the right way up, fourth byte clear.
    EXPECT_EQ(image.Row32(1)[2], 0x015064u);
    EXPECT_EQ(image.Row32(0)[1], 0x012800u);
    EXPECT_EQ(DecodeCalls(list[2]), 0);
    EXPECT_EQ(ProbeCalls(list[2]), 0);
    EXPECT_EQ(DecodeCalls(list[0]), 0);
}

TEST_F(PicturePlugins, UnloadedEntriesAndModulesWithoutIsSupportedArePassedOver) {
    const auto list = List({nullptr, "test_noprobe", "test_good2"});
    PixelImage image;
    ASSERT_TRUE(LoadPictureFile(path_, list, image));
    EXPECT_EQ(MadeBy(image), 2u);
    EXPECT_EQ(DecodeCalls(list[1]), 0);

    // Nothing but a module without IsSupported: no plug-in takes the file.
    EXPECT_FALSE(LoadPictureFile(path_, List({"test_noprobe"}), image));
    EXPECT_EQ(DecodeCalls(list[1]), 0);
    EXPECT_EQ(MadeBy(image), 2u);  // the previous picture stays
}

TEST_F(PicturePlugins, FailureOfThePluginThatTookTheFileEndsTheLoad) {
    const auto list = List({"test_fail", "test_good1"});
    PixelImage image;
    EXPECT_FALSE(LoadPictureFile(path_, list, image));
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(DecodeCalls(list[0]), 1);
    EXPECT_EQ(DecodeCalls(list[1]), 0);
}

TEST_F(PicturePlugins, NoPluginsOrNoTakerMeansNoPicture) {
    PixelImage image;
    EXPECT_FALSE(LoadPictureFile(path_, {}, image));
    EXPECT_FALSE(LoadPictureFile(path_, List({"test_refuse", nullptr}), image));
    WriteBytes(folder_.File("other.kt"), std::vector<uint8_t>(5000, 'x'));
    const auto list = List({"test_good1", "test_good2"});
    EXPECT_FALSE(LoadPictureFile(U16(folder_.File("other.kt")), list, image));
    EXPECT_EQ(ProbeCalls(list[0]), 1);  // only the header probe; the file was never read whole
    EXPECT_FALSE(LoadPictureFile(U16(folder_.File("missing.kt")), list, image));
}

TEST_F(PicturePlugins, ShortFileIsProbedWithItsBytesFollowedByZeros) {
    const auto list = List({"test_good1"});
    PictureBitmap bitmap;
    ASSERT_TRUE(LoadWithPlugins(path_, list, bitmap));
    const uint8_t* seen = list[0].Lookup<const uint8_t* (*)()>("TestLastProbe")();
    EXPECT_EQ(std::string(seen, seen + 4), "KTST");
    EXPECT_TRUE(std::all_of(seen + 4, seen + 104, [](uint8_t b) { return b == 0xEE; }));
    EXPECT_TRUE(std::all_of(seen + 104, seen + 2048, [](uint8_t b) { return b == 0; }));
    // Probe, then the check before the decode; the decode is given the real length, from memory.
    EXPECT_EQ(ProbeCalls(list[0]), 2);
    EXPECT_EQ(list[0].Lookup<size_t (*)()>("TestLastLength")(), 104u);
    EXPECT_EQ(list[0].Lookup<unsigned (*)()>("TestLastFlags")(), 1u);
}

TEST_F(PicturePlugins, IndexedTopDownPictureUsesTheWholeColourTable) {
    PixelImage image;
    ASSERT_TRUE(LoadPictureFile(path_, List({"test_palette"}), image));
    ASSERT_EQ(image.Width(), 3);
    ASSERT_EQ(image.Height(), 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const uint32_t entry = 200 + 3 * y + x;
            EXPECT_EQ(image.Row32(y)[x], entry << 16 | (255 - entry) << 8 | 7) << x << "," << y;
        }
    }
}

TEST_F(PicturePlugins, PixelBlockSmallerThanItsHeaderIsRefused) {
    PixelImage image;
    EXPECT_FALSE(LoadPictureFile(path_, List({"test_short", "test_good1"}), image));
    EXPECT_TRUE(image.Empty());
}

TEST_F(PicturePlugins, BmpReaderComesFirst) {
    // A BMP that begins like a test picture would be taken by the plug-in if it were asked.
    std::vector<uint8_t> bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 58, 0, 0, 0,  //
                                40,  0,   0, 0, 1, 0, 0, 0, 1, 0, 0,  0, 1, 0, 24, 0};
    bmp.resize(58 + 4);
    bmp[58] = 0x30;  // blue
    bmp[59] = 0x20;  // green
    bmp[60] = 0x10;  // red
    WriteBytes(folder_.File("one.bmp"), bmp);
    const auto list = List({"test_good1"});
    PixelImage image;
    ASSERT_TRUE(LoadPictureFile(U16(folder_.File("one.bmp")), list, image));
    EXPECT_EQ(image.Row32(0)[0], 0x102030u);
    EXPECT_EQ(ProbeCalls(list[0]), 0);
}

}  // namespace
}  // namespace kelvane
