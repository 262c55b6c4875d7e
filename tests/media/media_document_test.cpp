// The document over the real media layer: a project file opened from disk, files dropped on the
// list, and undo and redo reloading only the slots whose description changed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "composition_test_support.h"
#include "media/FrameRenderer.h"
#include "media/MediaDocumentServices.h"
#include "media/MediaSource.h"
#include "model/Clipboard.h"
#include "model/Document.h"
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
using testing::WriteSolidBmp;

TEST(MediaDocument, OpenDropUndoAndRedoOverRealFiles) {
    const std::string movie =
        testing::MakeMovie({"document_clip.avi", "-c:v mjpeg -q:v 3", 64, 32, 10, 25});
    if (movie.empty()) {
        GTEST_SKIP() << "ffmpeg cannot write the test movie";
    }
    ScratchFolder folder;
    WriteSolidBmp(folder.File("stored.bmp"), 4, 4, 0x00FF0000);
    WriteSolidBmp(folder.File("dropped.bmp"), 6, 3, 0x000000FF);
    {
        auto stored = NewProject(16, 16);
        FileEntry& entry = stored->files[0];
        entry.kind = FileKind::Image;
        ASSERT_TRUE(CopyPath(entry.path, u"\\stored.bmp"));  // beside the project file
        entry.colour = kNoTransparentColour;
        AddEvent(*stored, 0, PlacedEvent(0, 0, 4, 4));
        ASSERT_TRUE(ProjectFile::Write(U16(folder.File("project.xqm")), *stored));
    }

    kelvane::testing::ScriptedPrompt prompt(false);
    MediaDocumentServices services(prompt);
    MemoryClipboard clipboard;
    Document doc(services, prompt, clipboard);
    ASSERT_TRUE(doc.OpenDocument(U16(folder.File("project.xqm"))));
    const Project& project = doc.GetProject();
    const MediaSource* stored = MediaSource::Of(project.files[0]);
    ASSERT_NE(stored, nullptr);

    FileSelection selection;
    const std::vector<std::u16string> dropped = {U16(folder.File("dropped.bmp")), U16(movie)};
    ASSERT_TRUE(doc.Files().AddDroppedFiles(dropped, selection));
    ASSERT_EQ(project.files[1].kind, FileKind::Image);
    ASSERT_EQ(project.files[2].kind, FileKind::Movie);
    const MediaSource* picture = MediaSource::Of(project.files[1]);
    ASSERT_TRUE(doc.Timeline().DropFile(1, 1, 0, false));
    // The new event covers the picture as loaded.
    EXPECT_EQ(project.tracks[1].Events()[0].right, 6);
    EXPECT_EQ(project.tracks[1].Events()[0].bottom, 3);

    // Undoing the event touches no media.
    doc.Undo();
    EXPECT_EQ(project.tracks[1].Count(), 0u);
    EXPECT_EQ(MediaSource::Of(project.files[0]), stored);
    EXPECT_EQ(MediaSource::Of(project.files[1]), picture);

    // Undoing the drop empties the two slots and leaves the stored one.
    doc.Undo();
    EXPECT_EQ(project.files[1].kind, FileKind::None);
    EXPECT_EQ(project.files[2].kind, FileKind::None);
    EXPECT_EQ(MediaSource::Of(project.files[1]), nullptr);
    EXPECT_EQ(MediaSource::Of(project.files[0]), stored);

    // Redo loads them again from their paths.
    doc.Redo();
    ASSERT_EQ(project.files[1].kind, FileKind::Image);
    ASSERT_EQ(project.files[2].kind, FileKind::Movie);
    ASSERT_NE(MediaSource::Image(project.files[1]), nullptr);
    EXPECT_EQ(MediaSource::Image(project.files[1])->Width(), 6);
    EXPECT_EQ(MediaSource::FrameCount(project.files[2]), 10u);
    EXPECT_EQ(MediaSource::Of(project.files[0]), stored);
    const MediaSource* reloaded = MediaSource::Of(project.files[1]);
    doc.Redo();
    EXPECT_EQ(project.tracks[1].Count(), 1u);
    EXPECT_EQ(MediaSource::Of(project.files[1]), reloaded);

    PixelImage frame;
    ASSERT_TRUE(frame.Create(16, 16, 32));
    ASSERT_TRUE(RenderFrame(doc.ProjectForRendering(), 0, frame, true));
    EXPECT_EQ(At(frame, 5, 1), 0x000000FFu);  // the dropped picture over the stored one
    EXPECT_EQ(At(frame, 1, 3), 0x00FF0000u);
    EXPECT_TRUE(prompt.errors.empty());
    EXPECT_TRUE(prompt.questions.empty());
}

TEST(MediaDocument, AFileNoLoaderTakesIsReportedAndNothingIsAdded) {
    ScratchFolder folder;
    testing::WriteBytes(folder.File("notes.txt"), {'h', 'e', 'l', 'l', 'o'});
    kelvane::testing::ScriptedPrompt prompt(false);
    MediaDocumentServices services(prompt);
    MemoryClipboard clipboard;
    Document doc(services, prompt, clipboard);
    FileSelection selection;
    const std::vector<std::u16string> dropped = {U16(folder.File("notes.txt"))};
    EXPECT_FALSE(doc.Files().AddDroppedFiles(dropped, selection));
    ASSERT_EQ(prompt.errors.size(), 1u);
    EXPECT_EQ(prompt.errors[0],
              "ファイル\"" + folder.File("notes.txt") +
                  "\"の読み込みに失敗しました。\n対応している種類のファイルではありません（プロジェ"
                  "クト、効果、画像、動画のどれとしても読み込めません）。");
    EXPECT_EQ(doc.GetProject().files[0].kind, FileKind::None);
}

}  // namespace
}  // namespace kelvane
