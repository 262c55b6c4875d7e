#include <gtest/gtest.h>

#include "TestProjects.h"
#include "export/ProjectFrameComposer.h"
#include "render/TrackEvaluation.h"
#include "settings/AppSettings.h"

namespace kelvane::testing {
namespace {

TEST(ProjectFrameComposer, ResetStartsEveryTrackAndSourceOverForTheExport) {
    auto project = MakeProject(16, 12, 20, 0x00010203);
    // Events of empty slots: evaluated like any other, drawn as nothing.
    AddEvents(*project, 0,
              {PlacedEvent(*project, 3, 0, 4, 4, 0, 0), PlacedEvent(*project, 3, 5, 4, 4, 1, 1)});
    AddEvents(*project, 200, {PlacedEvent(*project, 4, 2, 4, 4, 0, 0)});
    // What a preview left behind: tracks evaluated at frame 9, a source holding frame 7.
    for (Track& track : project->tracks) {
        EvaluateTrack(track, 9, Settings().pixelQuality);
    }
    project->files[3].currentFrame = 7;
    project->files[1023].currentFrame = 2;

    ProjectFrameComposer composer(*project);
    composer.ResetForExport();
    EXPECT_EQ(project->tracks[0].EvalState().working.start, 0u);
    EXPECT_EQ(project->tracks[0].EvalState().lastFrame, 0u);
    EXPECT_EQ(project->tracks[200].EvalState().working.flags & kEventUsed, 0u)
        << "no event is in force before its start";
    for (const FileEntry& entry : project->files) {
        ASSERT_EQ(entry.currentFrame, -1);
    }

    PixelImage out;
    ASSERT_TRUE(out.Create(16, 12));
    out.Fill(0x00010203);
    EXPECT_TRUE(composer.Compose(6, out));
    EXPECT_EQ(project->tracks[0].EvalState().working.start, 5u);
    EXPECT_EQ(project->tracks[200].EvalState().working.start, 2u);
    EXPECT_EQ(out.Row32(11)[15], 0x00030201u) << "the background the job filled stays";
}

TEST(ProjectFrameComposer, ExportSettingsComeFromTheProject) {
    auto project = MakeProject(640, 360, 99, 0x00AABBCC);
    const PathBuffer noBase{};
    project->ApplySettings(false, 640, 360, 99, 0x00AABBCC, 0, 29.97, noBase);
    ExportSettings s = ExportSettingsOf(*project);
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 360);
    EXPECT_EQ(s.frameRate, 29.97);
    EXPECT_EQ(s.frameDuration, project->settings.frameDuration);
    EXPECT_EQ(s.length, 99u);
    EXPECT_EQ(s.backgroundBgr, 0x00AABBCCu);

    // A size that no image can have is not wrapped into a negative one.
    project->settings.width = 0x80000000u;
    EXPECT_EQ(ExportSettingsOf(*project).width, 0);
}

}  // namespace
}  // namespace kelvane::testing
