// Undo snapshots and render copies share the event arrays that an edit did not touch, and stay
// exactly what they were when a later edit, selection or rescale writes the live project.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "DocumentTestSupport.h"
#include "FailingAllocation.h"
#include "model/Clipboard.h"
#include "model/Document.h"
#include "model/ProjectFile.h"
#include "support/EventBuilders.h"

namespace kelvane {
namespace {

using testing::LabelledEvent;

std::vector<uint8_t> Saved(const Project& project) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ProjectFile::WriteToMemory(project, bytes));
    return bytes;
}

class SharedSnapshotTest : public ::testing::Test {
  protected:
    void SetUp() override {
        services.AddFile(u"\\p.bmp", FileKind::Image, 64, 48);
        doc.Files().AddDroppedFiles(std::vector<std::u16string>{u"\\p.bmp"}, selection);
        // Every track holds a few events, so that a copy would show as a new array.
        for (uint32_t t = 0; t < kTrackCount; ++t) {
            const TrackEvent events[] = {LabelledEvent(10, 1), LabelledEvent(20, 2),
                                         LabelledEvent(30, 3, kEventSelected)};
            live().tracks[t].InsertSorted(events, 3);
        }
    }

    Project& live() { return doc.ProjectForRendering(); }
    const Project& LastSnapshot() {
        return *doc.History().SnapshotAt(doc.History().Position() - 1);
    }

    testing::FakeServices services;
    testing::ScriptedPrompt prompt;
    MemoryClipboard clipboard;
    Document doc{services, prompt, clipboard};
    FileSelection selection;
};

TEST_F(SharedSnapshotTest, AnEditToOneTrackLeavesTheOthersShared) {
    ASSERT_TRUE(doc.Timeline().DropFile(3, 0, 40, true));
    const Project& snapshot = LastSnapshot();
    for (uint32_t t = 0; t < kTrackCount; ++t) {
        EXPECT_EQ(snapshot.tracks[t].SharesEventsWith(live().tracks[t]), t != 3) << "track " << t;
    }
    EXPECT_EQ(snapshot.tracks[3].Count(), 3u);
    EXPECT_EQ(live().tracks[3].Count(), 4u);

    // An edit in place (a move of the selected event) copies only the track it writes, and
    // leaves the snapshot of the previous edit as it was.
    const std::vector<uint8_t> beforeMove = Saved(live());
    ASSERT_TRUE(doc.Timeline().MoveSelected(5, 30, 35, true));
    const Project& moved = LastSnapshot();
    for (uint32_t t = 0; t < kTrackCount; ++t) {
        EXPECT_EQ(moved.tracks[t].SharesEventsWith(live().tracks[t]), t != 5) << "track " << t;
    }
    EXPECT_EQ(Saved(moved), beforeMove);
    EXPECT_EQ(live().tracks[5].EventSpan()[2].start, 35u);
}

TEST_F(SharedSnapshotTest, UndoAndRedoGiveBackTheSavedBytesOfEveryStep) {
    // Each kind of edit that writes the events: insertion, a move in place, an edit of the
    // properties in place, a selection (no edit) followed by a deletion, and a rescale of every
    // track by a new frame rate.
    std::vector<std::vector<uint8_t>> saves{Saved(live())};
    ASSERT_TRUE(doc.Timeline().DropFile(3, 0, 40, true));
    saves.push_back(Saved(live()));
    ASSERT_TRUE(doc.Timeline().MoveSelected(7, 30, 12, true));
    saves.push_back(Saved(live()));
    ASSERT_TRUE(doc.Timeline().EditSelected(
        7, [](TrackEvent& e) { e.left = 99; }, true));
    saves.push_back(Saved(live()));
    doc.Timeline().Select(
        9, [](uint32_t index, const TrackEvent&) { return index == 0; }, nullptr);
    saves.back() = Saved(live());  // a selection is no step of its own: the next edit keeps it
    ASSERT_TRUE(doc.Timeline().Delete(9));
    saves.push_back(Saved(live()));
    ProjectSettingsForm form = doc.Settings().FormForDialog();
    form.frameRate = 60.0;
    prompt.answers.push_back(true);  // rescale
    ASSERT_TRUE(doc.Settings().Apply(form));
    saves.push_back(Saved(live()));
    ASSERT_EQ(saves.size(), 6u);
    EXPECT_NE(saves[5], saves[4]);

    for (size_t k = saves.size() - 1; k-- > 0;) {
        doc.Undo();
        EXPECT_EQ(Saved(live()), saves[k]) << "undo to step " << k;
    }
    EXPECT_EQ(doc.History().Position(), 1u);  // the file added in SetUp is the one step left
    for (size_t k = 1; k < saves.size(); ++k) {
        doc.Redo();
        EXPECT_EQ(Saved(live()), saves[k]) << "redo to step " << k;
    }
    // A save after an undo writes what the save before the edit wrote.
    doc.Undo();
    ASSERT_TRUE(doc.SaveDocument(u"/after-undo.xqm"));
    EXPECT_EQ(Saved(*services.saved[u"/after-undo.xqm"]), saves[4]);
}

TEST_F(SharedSnapshotTest, ARenderCopyStaysAsItWasThroughLaterEdits) {
    std::unique_ptr<Project> copy = Project::Create();
    ASSERT_TRUE(CopyProjectSnapshot(live(), *copy));
    const std::vector<uint8_t> before = Saved(*copy);
    EXPECT_TRUE(copy->tracks[0].SharesEventsWith(live().tracks[0]));

    ASSERT_TRUE(doc.Timeline().MoveSelected(0, 30, 5, true));
    doc.Timeline().SelectAll(1, nullptr);
    live().tracks[2].Events()[0].left = 7;  // a direct write, as the renderer's tests do
    ASSERT_TRUE(live().tracks[4].Sort());
    EXPECT_EQ(Saved(*copy), before);
    EXPECT_FALSE(copy->tracks[0].SharesEventsWith(live().tracks[0]));
    EXPECT_TRUE(copy->tracks[3].SharesEventsWith(live().tracks[3]));
}

TEST_F(SharedSnapshotTest, UnsharingThatRunsOutOfMemoryChangesNothing) {
    std::unique_ptr<Project> copy = Project::Create();
    ASSERT_TRUE(CopyProjectSnapshot(live(), *copy));
    const std::vector<uint8_t> before = Saved(live());
    {
        testing::ScopedAllocationFailure failing;
        EXPECT_FALSE(live().tracks[6].Unshare());
        EXPECT_EQ(live().tracks[6].Events(), nullptr);
        EXPECT_TRUE(live().tracks[6].EventSpan().empty());
        EXPECT_FALSE(live().tracks[6].Sort());
        EXPECT_FALSE(doc.Timeline().MoveSelected(6, 30, 12, true));
    }
    EXPECT_TRUE(copy->tracks[6].SharesEventsWith(live().tracks[6]));
    EXPECT_EQ(Saved(*copy), before);
    EXPECT_EQ(Saved(live()), before);
    EXPECT_FALSE(prompt.errors.empty());
}

}  // namespace
}  // namespace kelvane
