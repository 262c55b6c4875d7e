#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "CliTestFixture.h"
#include "render/PixelImage.h"

namespace kelvane::testing {
namespace {

constexpr uint32_t kBackgroundBgr = 0x00336699;  // pixel 0x00996633
constexpr uint32_t kBackground = SwapRedBlue(kBackgroundBgr);

struct Placed {
    const TestPicture* picture;
    int32_t x;
    int32_t y;
};

// What the frame must hold: the background with each picture copied at its place, later ones on
// top.
void ExpectFrame(const SavedBmp& bmp, int32_t w, int32_t h, const std::vector<Placed>& placed) {
    ASSERT_TRUE(bmp.valid) << bmp.problem;
    ASSERT_EQ(bmp.width, w);
    ASSERT_EQ(bmp.height, h);
    int mismatches = 0;
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            uint32_t want = kBackground;
            for (const Placed& p : placed) {
                const int32_t sx = x - p.x;
                const int32_t sy = y - p.y;
                if (sx >= 0 && sy >= 0 && sx < p.picture->width && sy < p.picture->height) {
                    want = p.picture->At(sx, sy);
                }
            }
            if (bmp.At(x, y) != want && ++mismatches <= 5) {
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") " << std::hex << bmp.At(x, y)
                              << " instead of " << want;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

class FrameModeTest : public CliTest {
  protected:
    // Picture A on track 0 at (5, 4), moving to (12, 9) at frame 5; picture B on track 3 at
    // (20, 10).
    void WriteTwoPictureProject(const std::u16string& pathOfA = u"\\a.bmp") {
        WriteBmp24(Path("a.bmp"), a_);
        WriteBmp24(Path("b.bmp"), b_);
        auto project = MakeProject(kW, kH, 10, kBackgroundBgr);
        AddPicture(*project, 0, pathOfA);
        AddPicture(*project, 7, u"\\b.bmp");
        AddEvents(*project, 0,
                  {PlacedEvent(*project, 0, 0, a_.width, a_.height, 5, 4),
                   PlacedEvent(*project, 0, 5, a_.width, a_.height, 12, 9)});
        AddEvents(*project, 3, {PlacedEvent(*project, 7, 0, b_.width, b_.height, 20, 10)});
        WriteProject(*project, Path("p.xqm"));
    }

    ToolRun RenderFrame(const std::vector<std::string>& extra) {
        std::vector<std::string> args{File("p.xqm"), "-o", File("out.bmp")};
        args.insert(args.end(), extra.begin(), extra.end());
        return Tool().Run(args);
    }

    static constexpr int32_t kW = 40;
    static constexpr int32_t kH = 30;
    TestPicture a_ = PatternPicture(9, 7, 1);
    TestPicture b_ = PatternPicture(6, 5, 2);
};

TEST_F(FrameModeTest, WholeCompositionAtAFrame) {
    WriteTwoPictureProject();
    ToolRun run = RenderFrame({"--frame", "2"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    ExpectFrame(ReadSavedBmp(Path("out.bmp")), kW, kH, {{&a_, 5, 4}, {&b_, 20, 10}});

    // The event in force changes at its start; a frame beyond the length still renders.
    run = RenderFrame({"--frame=5"});
    ASSERT_EQ(run.status, 0) << run.err;
    ExpectFrame(ReadSavedBmp(Path("out.bmp")), kW, kH, {{&a_, 12, 9}, {&b_, 20, 10}});
    run = RenderFrame({"--frame", "4000000000"});
    ASSERT_EQ(run.status, 0) << run.err;
    ExpectFrame(ReadSavedBmp(Path("out.bmp")), kW, kH, {{&a_, 12, 9}, {&b_, 20, 10}});
}

TEST_F(FrameModeTest, OneTrackAlone) {
    WriteTwoPictureProject();
    ToolRun run = RenderFrame({"--frame", "6", "--track", "3"});
    ASSERT_EQ(run.status, 0) << run.err;
    ExpectFrame(ReadSavedBmp(Path("out.bmp")), kW, kH, {{&b_, 20, 10}});
    run = RenderFrame({"--track", "0", "--frame", "6"});
    ASSERT_EQ(run.status, 0) << run.err;
    ExpectFrame(ReadSavedBmp(Path("out.bmp")), kW, kH, {{&a_, 12, 9}});
    // A track without events shows the background.
    run = RenderFrame({"--frame", "0", "--track", "255"});
    ASSERT_EQ(run.status, 0) << run.err;
    ExpectFrame(ReadSavedBmp(Path("out.bmp")), kW, kH, {});
}

TEST_F(FrameModeTest, MissingPictureStopsTheLoadUnlessKeepGoing) {
    WriteTwoPictureProject(u"\\gone.bmp");
    ToolRun run = RenderFrame({"--frame", "0"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("gone.bmp\"の読み込みに失敗しました。続行しますか？"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("いいえ"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("エラー: 読み込みに失敗しました。"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(Path("out.bmp")));

    // Going on drops the entry: its events draw nothing, the rest of the project renders.
    run = RenderFrame({"--frame", "0", "--keep-going"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("はい"), std::string::npos) << run.err;
    ExpectFrame(ReadSavedBmp(Path("out.bmp")), kW, kH, {{&b_, 20, 10}});
}

// The project's media folder was renamed: --relink names the new one, the picture is found
// there and drawn, and the count is told.
TEST_F(FrameModeTest, RelinkFindsTheMediaOfARenamedFolder) {
    std::filesystem::create_directories(Path("media"));
    WriteTwoPictureProject(u"\\media\\a.bmp");
    std::filesystem::rename(Path("a.bmp"), Path("media/a.bmp"));
    std::filesystem::rename(Path("media"), Path("renamed"));
    ToolRun run = RenderFrame({"--frame", "0", "--relink", File("media") + "=" + File("renamed")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("1 個の素材を新しいフォルダから読み込みました。"), std::string::npos)
        << run.err;
    ExpectFrame(ReadSavedBmp(Path("out.bmp")), kW, kH, {{&a_, 5, 4}, {&b_, 20, 10}});

    // A relink that does not hold the file leaves the question as it was.
    run = RenderFrame({"--frame", "0", "--relink", File("media") + "=" + File("elsewhere")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("a.bmp\"の読み込みに失敗しました。"), std::string::npos) << run.err;
    // A malformed one is a usage error.
    run = RenderFrame({"--frame", "0", "--relink", "nothing-to-say"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--relink"), std::string::npos) << run.err;
}

TEST_F(FrameModeTest, SettingsComeFromTheProgramsIniAndSetOverridesThemForTheRun) {
    WriteBmp24(Path("a.bmp"), a_);
    auto project = MakeProject(kW, kH, 1, kBackgroundBgr);
    AddPicture(*project, 0, u"\\a.bmp");
    // Draw method 0 and project default 0: the INI's "PixelQuality" decides; 0 resolves to no
    // method at all, and the kernels draw nothing.
    AddEvents(*project, 0, {PlacedEvent(*project, 0, 0, a_.width, a_.height, 5, 4, 0)});
    WriteProject(*project, Path("p.xqm"));
    const std::string ini = "; kept as it is\n[Settings]\nPixelQuality=0\nDrawFrameThread=2\n";
    std::ofstream(Tool().IniPath()) << ini;

    ToolRun run = RenderFrame({"--frame", "0"});
    ASSERT_EQ(run.status, 0) << run.err;
    ExpectFrame(ReadSavedBmp(Path("out.bmp")), kW, kH, {});

    for (const char* set : {"PixelQuality=2", "pixelquality=+2"}) {
        run = RenderFrame({"--frame", "0", "--set", "DrawFrameThread=3", "--set", set});
        ASSERT_EQ(run.status, 0) << run.err;
        ExpectFrame(ReadSavedBmp(Path("out.bmp")), kW, kH, {{&a_, 5, 4}});
    }
    // The last of repeated values counts.
    run = RenderFrame({"--frame", "0", "--set", "PixelQuality=2", "--set=PixelQuality=0"});
    ASSERT_EQ(run.status, 0) << run.err;
    ExpectFrame(ReadSavedBmp(Path("out.bmp")), kW, kH, {});

    std::ifstream in(Tool().IniPath());
    std::stringstream after;
    after << in.rdbuf();
    EXPECT_EQ(after.str(), ini) << "the INI file is read, never written";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Tool().Folder()),
                            std::filesystem::directory_iterator()),
              6)
        << "nothing left beside the tool but its plug-ins, the frei0r probe and the INI file";
}

TEST_F(FrameModeTest, JapaneseTextIsDrawnInItsColour) {
    auto project = MakeProject(160, 60, 1, kBackgroundBgr);
    AddText(*project, 3, u"日本語テキスト", 0x0000FFFF, -32);  // yellow
    // The size of the text image is the renderer's business; a region far larger than the
    // text is clipped to the image.
    TrackEvent e = PlacedEvent(*project, 3, 0, 4000, 4000, 4, 4);
    AddEvents(*project, 0, {e});
    WriteProject(*project, Path("p.xqm"));

    const ToolRun run = RenderFrame({"--frame", "0"});
    ASSERT_EQ(run.status, 0) << run.err;
    const SavedBmp bmp = ReadSavedBmp(Path("out.bmp"));
    ASSERT_TRUE(bmp.valid) << bmp.problem;
    int text = 0;
    int other = 0;
    for (const uint32_t p : bmp.pixels) {
        text += p == 0x00FFFF00;
        other += p != 0x00FFFF00 && p != kBackground;
    }
    EXPECT_GT(text, 100) << "the glyphs in the text colour";
    EXPECT_EQ(other, 0) << "the text image's key colour is transparent";
}

TEST_F(FrameModeTest, UnwritableOutputFailsWithTheSaveMessage) {
    WriteTwoPictureProject();
    const ToolRun run =
        Tool().Run({File("p.xqm"), "--frame", "0", "-o", File("no-such-folder/out.bmp")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("保存に失敗しました。"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace kelvane::testing
