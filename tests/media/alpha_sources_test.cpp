// Sources with alpha, one test per kind: a picture with a soft edge through the FFmpeg plug-in and
// a BMP with an alpha mask, movies whose alpha changes every frame, a smooth title and a nested
// project without its background. Without their flags they draw as they always did.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "composition_test_support.h"
#include "media/FrameRenderer.h"
#include "media/MediaSource.h"
#include "media/PictureLoader.h"
#include "media/PicturePlugins.h"
#include "media/ProjectLoader.h"
#include "media/QtGuiRuntime.h"
#include "model/ProjectFile.h"
#include "movie_test_support.h"
#include "picture_test_tools.h"
#include "support/ScriptedPrompt.h"

namespace kelvane {
namespace {

using testing::AddEvent;
using testing::At;
using testing::NewProject;
using testing::PlacedEvent;
using testing::ScratchFolder;
using testing::U16;

constexpr uint32_t kBlueBgr = 0x00C00000;  // background 0x000000C0
constexpr uint32_t kBlue = 0x000000C0;

// A 32 x 32 white disc, opaque within radius 10 and fading to nothing at radius 14.
QImage SoftDisc() {
    QImage image(32, 32, QImage::Format_ARGB32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const double r = std::hypot(x - 15.5, y - 15.5);
            const int a = int(std::lround(std::clamp((14.0 - r) / 4.0, 0.0, 1.0) * 255));
            image.setPixel(x, y, qRgba(255, 255, 255, a));
        }
    }
    return image;
}

class AlphaSources : public ::testing::Test {
  protected:
    void SetUp() override {
        project_ = NewProject(32, 32, kBlueBgr);
        ASSERT_TRUE(frame_.Create(32, 32, 32));
    }
    void TearDown() override { SetPicturePlugins({}); }

    bool Render() { return RenderFrame(*project_, 0, frame_, true); }
    uint32_t Pixel(int x, int y) const { return At(frame_, x, y); }
    void Show(int32_t id, int w, int h) {
        project_->tracks[0].Reset(0);
        AddEvent(*project_, 0, PlacedEvent(id, 0, w, h));
    }

    ScratchFolder folder_;
    std::unique_ptr<Project> project_;
    PixelImage frame_;
};

TEST_F(AlphaSources, PngWithSoftEdgeBlendsOverTheBackgroundInsteadOfABlackBox) {
    DynamicModule plugin;
    ASSERT_TRUE(plugin.Load(U16(KELVANE_PICTURE_FFMPEG_PLUGIN)));
    SetPicturePlugins({&plugin, 1});
    ASSERT_TRUE(EnsureGuiApplication());
    const std::string path = folder_.File("disc.png");
    ASSERT_TRUE(SoftDisc().save(QString::fromStdString(path), "PNG"));

    FileEntry& entry = project_->files[0];
    ASSERT_TRUE(MediaSource::LoadPicture(entry, U16(path)));
    EXPECT_TRUE(entry.loaded->HasAlpha());
    EXPECT_EQ(entry.DefaultPixelFlags(), kPixelUseAlpha);
    Show(0, 32, 32);

    // Without the flag: the picture as it always was, its corners composited over black.
    ASSERT_TRUE(Render());
    EXPECT_EQ(Pixel(0, 0), 0u);
    EXPECT_EQ(Pixel(15, 15), 0x00FFFFFFu);

    entry.pixelFlags = kPixelUseAlpha;
    ASSERT_TRUE(Render());
    EXPECT_EQ(Pixel(0, 0), kBlue);  // no box
    EXPECT_EQ(Pixel(15, 15), 0x00FFFFFFu);
    // The ring lies between disc and background, never darker than the background.
    int ring = 0;
    for (int x = 16; x < 32; ++x) {
        const uint32_t p = Pixel(x, 15);
        const uint32_t red = (p >> 16) & 255, blue = p & 255;
        EXPECT_EQ(red, (p >> 8) & 255) << x;
        EXPECT_GE(blue, 0xC0u) << x;
        ring += red > 0 && red < 255;
    }
    EXPECT_GE(ring, 3);
}

TEST_F(AlphaSources, BmpWithAlphaMaskKeepsItsAlphaOnlyWhenAsked) {
    // A 2 x 1 BMP with a version 5 header whose masks include alpha: red at alpha 255 and 0.
    std::vector<uint8_t> file(14 + 124 + 8, 0);
    auto put32 = [&](size_t at, uint32_t v) { testing::PutLe32(file, at, v); };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, uint32_t(file.size()));
    put32(10, 14 + 124);
    put32(14, 124);
    put32(18, 2);
    put32(22, 1);
    file[26] = 1;
    file[28] = 32;
    put32(30, 3);  // bit fields
    put32(54, 0x00FF0000);
    put32(58, 0x0000FF00);
    put32(62, 0x000000FF);
    put32(66, 0xFF000000);
    put32(138, 0xFFFF0000);
    put32(142, 0x00FF0000);
    const std::string path = folder_.File("masked.bmp");
    testing::WriteBytes(path, file);

    PixelImage plain, alpha;
    ASSERT_TRUE(LoadPictureFile(U16(path), {}, plain, false));
    ASSERT_TRUE(LoadPictureFile(U16(path), {}, alpha, true));
    EXPECT_EQ(plain.Alpha(), PixelAlpha::None);
    EXPECT_EQ(plain.Row32(0)[0], 0x00FF0000u);
    EXPECT_EQ(plain.Row32(0)[1], 0x00FF0000u);
    EXPECT_EQ(alpha.Alpha(), PixelAlpha::Straight);
    EXPECT_EQ(alpha.Row32(0)[0], 0xFFFF0000u);
    EXPECT_EQ(alpha.Row32(0)[1], 0x00FF0000u);

    // An alpha channel of zeros only is an unused one.
    put32(138, 0x00FF0000);
    testing::WriteBytes(path, file);
    ASSERT_TRUE(LoadPictureFile(U16(path), {}, alpha, true));
    EXPECT_EQ(alpha.Alpha(), PixelAlpha::None);
}

// Movies whose right half has alpha 16 * frame + 8; the left half is opaque.
class AlphaMovies : public ::testing::TestWithParam<const char*> {};

std::string MakeAlphaMovie(const std::string& name, const std::string& codecArgs) {
    const std::string path = testing::TempPath(name);
    const std::string command =
        "ffmpeg -nostdin -loglevel error -y -f rawvideo -pix_fmt rgba -s 64x16 -r 25 -i - " +
        codecArgs + " '" + path + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "w");
    if (pipe == nullptr) {
        return {};
    }
    std::vector<uint8_t> rgba(64 * 16 * 4);
    for (int frame = 0; frame < 16; ++frame) {
        for (int i = 0; i < 64 * 16; ++i) {
            const bool right = i % 64 >= 32;
            rgba[4 * i] = 200;
            rgba[4 * i + 1] = 100;
            rgba[4 * i + 2] = 50;
            rgba[4 * i + 3] = right ? uint8_t(16 * frame + 8) : 255;
        }
        if (fwrite(rgba.data(), 1, rgba.size(), pipe) != rgba.size()) {
            break;
        }
    }
    return pclose(pipe) == 0 ? path : std::string();
}

TEST_P(AlphaMovies, AlphaArrivesWithEachFrame) {
    const std::string name = std::string("alpha_") + GetParam();
    const std::string args = name.ends_with(".mov")
                                 ? "-c:v prores_ks -profile:v 4444 -pix_fmt yuva444p10le"
                                 : "-c:v libvpx-vp9 -pix_fmt yuva420p -lossless 1 -auto-alt-ref 0";
    const std::string path = MakeAlphaMovie(name, args);
    if (path.empty()) {
        GTEST_SKIP() << "ffmpeg cannot write " << name;
    }
    FileEntry entry;
    ASSERT_TRUE(MediaSource::LoadMovie(entry, U16(path)));
    ASSERT_TRUE(entry.loaded->HasAlpha()) << name;
    const PixelImage& image = MediaSource::Of(entry)->image;

    // Without the flag the frames are what they always were: no alpha.
    ASSERT_TRUE(MediaSource::GetFrame(entry, 3));
    EXPECT_EQ(image.Alpha(), PixelAlpha::None);
    EXPECT_EQ(image.Row32(8)[40] >> 24, 0u);

    entry.pixelFlags = kPixelUseAlpha;
    for (int frame : {3, 4, 0, 15, 7}) {
        ASSERT_TRUE(MediaSource::GetFrame(entry, frame)) << name << " frame " << frame;
        EXPECT_EQ(image.Alpha(), PixelAlpha::Straight);
        const int expected = 16 * frame + 8;
        const int right = int(image.Row32(8)[40] >> 24);
        EXPECT_NEAR(right, expected, 2) << name << " frame " << frame;
        EXPECT_EQ(image.Row32(8)[8] >> 24, 255u) << name << " frame " << frame;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, AlphaMovies, ::testing::Values("prores4444.mov", "vp9.webm"), [](const auto& info) {
        return std::string(info.param).substr(0, info.param[0] == 'p' ? 10 : 3);
    });

TEST_F(AlphaSources, SmoothTitleHasEdgesBetweenTextAndPictureAndNoKeyColour) {
    // A red picture under a white text.
    const std::string picture = folder_.File("red.bmp");
    testing::WriteSolidBmp(picture, 32, 32, 0x00FF0000);
    ASSERT_TRUE(MediaSource::LoadPicture(project_->files[0], U16(picture)));
    LogFont font{};
    font.height = -24;
    FileEntry& text = project_->files[1];
    ASSERT_TRUE(MediaSource::MakeText(text, u"O", 0x00FFFFFF, font));
    EXPECT_EQ(text.DefaultPixelFlags(), kPixelSmoothText);
    text.pixelFlags = kPixelSmoothText;
    const PixelImage* drawn = MediaSource::ImageToDraw(text);
    ASSERT_NE(drawn, nullptr);
    EXPECT_EQ(drawn->Alpha(), PixelAlpha::Straight);
    project_->tracks[0].Reset(0);
    AddEvent(*project_, 0, PlacedEvent(0, 0, 32, 32));
    AddEvent(*project_, 1, PlacedEvent(1, 0, drawn->Width(), drawn->Height(), 2, 2));
    ASSERT_TRUE(Render());

    const uint32_t key = SwapRedBlue(text.colour);
    int between = 0, white = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const uint32_t p = Pixel(x, y);
            ASSERT_NE(p, key) << x << "," << y;
            // Red stays full; green and blue rise together from 0 to 255 over the edge.
            EXPECT_EQ(p >> 16, 0xFFu) << x << "," << y;
            EXPECT_EQ((p >> 8) & 255, p & 255) << x << "," << y;
            between += (p & 255) > 0 && (p & 255) < 255;
            white += p == 0x00FFFFFFu;
        }
    }
    EXPECT_GT(white, 0);
    EXPECT_GT(between, 4);
}

TEST_F(AlphaSources, NestedProjectWithTransparentBackgroundLaysOverAMovie) {
    // The nested project: a green bar over its own yellow background.
    std::unique_ptr<Project> nested = NewProject(32, 32, 0x0000FFFF);
    const std::string bar = folder_.File("green.bmp");
    testing::WriteSolidBmp(bar, 32, 8, 0x0000FF00);
    ASSERT_TRUE(MediaSource::LoadPicture(nested->files[0], U16(bar)));
    AddEvent(*nested, 0, PlacedEvent(0, 0, 32, 8, 0, 24));
    const std::string nestedPath = folder_.File("lower.xqm");
    ASSERT_TRUE(ProjectFile::Write(U16(nestedPath), *nested));

    const std::string movie = testing::MakeMovie({"alpha_under.avi", "-c:v ffv1", 32, 32, 4});
    if (movie.empty()) {
        GTEST_SKIP() << "ffmpeg cannot write the movie";
    }
    ASSERT_TRUE(MediaSource::LoadMovie(project_->files[0], U16(movie)));
    testing::ScriptedPrompt prompt(false);
    ProjectLoader loader(prompt);
    ASSERT_TRUE(MediaSource::LoadProject(project_->files[1], U16(nestedPath), loader));
    AddEvent(*project_, 0, PlacedEvent(0, 0, 32, 32));
    AddEvent(*project_, 1, PlacedEvent(1, 0, 32, 32));

    ASSERT_TRUE(Render());
    EXPECT_EQ(Pixel(16, 2), 0x00FFFF00u);  // the nested background covers the movie's red band
    project_->files[1].pixelFlags = kPixelTransparentBackground;
    ASSERT_TRUE(Render());
    EXPECT_EQ(Pixel(16, 2), 0x00FF0000u);   // the movie shows through
    EXPECT_EQ(Pixel(16, 28), 0x0000FF00u);  // the bar lies over it
}

}  // namespace
}  // namespace kelvane
