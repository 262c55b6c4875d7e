#include "model/EditHistory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "DocumentTestSupport.h"
#include "FailingAllocation.h"
#include "support/EventBuilders.h"

namespace kelvane {
namespace {

using testing::FakeServices;
using testing::LabelledEvent;
using testing::Labels;
using testing::SerialOf;

class EditHistoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        live = testing::DefaultProject();
        services.AddFile(u"\\a.avi", FileKind::Movie);
        services.AddFile(u"\\b.avi", FileKind::Movie);
        services.AddFile(u"\\p.bmp", FileKind::Image);
        services.AddFile(u"\\q.bmp", FileKind::Image);
        services.AddFile(u"\\fx.so>Blur", FileKind::Effect);
        services.AddFile(u"\\n.xqm", FileKind::Project);
        // One slot of every kind, as the document would have loaded them.
        Load(0, FileKind::Movie, u"\\a.avi");
        live->files[0].referenceDuration = 400000;
        live->files[0].colour = 0x00112233;
        Load(1, FileKind::Image, u"\\p.bmp");
        LogFont font{};
        font.height = 20;
        services.MakeText(live->files[2], u"hello", 0x000000FF, font);
        Load(3, FileKind::Effect, u"\\fx.so>Blur");
        Load(4, FileKind::Project, u"\\n.xqm");
        TrackEvent e = LabelledEvent(10, 1);
        live->tracks[0].InsertSorted(&e, 1);
        services.TakeCalls();
    }

    void Load(size_t slot, FileKind kind, std::u16string_view path) {
        ASSERT_TRUE(services.OpenFile(*live, live->files[slot], kind, path));
    }

    void Undo() { ASSERT_TRUE(history.Undo(*live, services)); }
    void Redo() { ASSERT_TRUE(history.Redo(*live, services)); }

    FakeServices services;
    std::unique_ptr<Project> live;
    EditHistory history;
};

TEST_F(EditHistoryTest, RingKeepsFifteenStepsAndDropsTheOldest) {
    // Twenty edits, each setting the length to its number: the ring wraps, and of the sixteen
    // undo attempts the last does nothing.
    for (uint32_t i = 1; i <= 20; ++i) {
        ASSERT_TRUE(history.Checkpoint(*live));
        live->settings.length = i;
    }
    EXPECT_EQ(history.Position(), 20u);
    EXPECT_EQ(history.Oldest(), 5u);
    EXPECT_EQ(history.SnapshotCount(), 15u);
    for (uint32_t i = 19; i >= 5; --i) {
        ASSERT_TRUE(history.CanUndo());
        Undo();
        EXPECT_EQ(live->settings.length, i);
    }
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.Undo(*live, services));
    EXPECT_EQ(live->settings.length, 5u);
    // Everything undone can be redone, up to the live state of before the first undo.
    for (uint32_t i = 6; i <= 20; ++i) {
        Redo();
        EXPECT_EQ(live->settings.length, i);
    }
    EXPECT_FALSE(history.CanRedo());
    EXPECT_FALSE(history.Redo(*live, services));
}

TEST_F(EditHistoryTest, NewCheckpointDropsRedoAndUndoRedoUndoRepeats) {
    for (uint32_t i = 1; i <= 3; ++i) {
        ASSERT_TRUE(history.Checkpoint(*live));
        live->settings.length = 100 + i;
    }
    Undo();
    Redo();
    EXPECT_EQ(live->settings.length, 103u);
    Undo();  // stores the newest state again, in the slot the first undo filled
    EXPECT_EQ(live->settings.length, 102u);
    Undo();
    EXPECT_EQ(live->settings.length, 101u);
    Redo();
    Redo();
    EXPECT_EQ(live->settings.length, 103u);

    Undo();
    ASSERT_TRUE(history.CanRedo());
    ASSERT_TRUE(history.Checkpoint(*live));
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(history.Newest(), history.Position());
    EXPECT_EQ(history.SnapshotCount(), 3u);
}

TEST_F(EditHistoryTest, SnapshotHoldsDescriptorsOnly) {
    std::unique_ptr<Project> snapshot = Project::Create();
    ASSERT_TRUE(CopyProjectSnapshot(*live, *snapshot));
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(snapshot->files[i].kind, live->files[i].kind);
        EXPECT_EQ(snapshot->files[i].loaded, nullptr);
        EXPECT_EQ(PathView(snapshot->files[i].path), PathView(live->files[i].path));
        EXPECT_EQ(snapshot->files[i].colour, live->files[i].colour);
    }
    EXPECT_EQ(snapshot->files[0].referenceDuration, 400000);
    EXPECT_EQ(snapshot->files[2].text, u"hello");
    EXPECT_EQ(snapshot->files[2].font.height, 20);
    EXPECT_EQ(Labels(snapshot->tracks[0]), std::vector<int32_t>{1});
    EXPECT_EQ(snapshot->settings.frameDuration, 333333);
}

TEST_F(EditHistoryTest, UndoOfAnEventMoveReloadsNothing) {
    const int movie = SerialOf(live->files[0]);
    ASSERT_TRUE(history.Checkpoint(*live));
    live->tracks[0].Events()[0].start = 50;
    Undo();
    EXPECT_EQ(live->tracks[0].Events()[0].start, 10u);
    EXPECT_TRUE(services.TakeCalls().empty());
    EXPECT_EQ(SerialOf(live->files[0]), movie);
    Redo();
    EXPECT_EQ(live->tracks[0].Events()[0].start, 50u);
    EXPECT_TRUE(services.TakeCalls().empty());
}

TEST_F(EditHistoryTest, RestoreReloadsOnlyTheSlotsThatDiffer) {
    const int picture = SerialOf(live->files[1]);
    const int effect = SerialOf(live->files[3]);
    ASSERT_TRUE(history.Checkpoint(*live));
    // Movie path, text font and nested project removed; picture and effect untouched.
    ASSERT_TRUE(services.OpenFile(*live, live->files[0], FileKind::Movie, u"\\b.avi"));
    live->files[2].font.height = 30;
    live->files[4].Release();
    services.TakeCalls();

    Undo();
    const auto calls = services.TakeCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, FileKind::Movie);
    EXPECT_EQ(calls[0].path, u"\\a.avi");
    EXPECT_EQ(calls[1].kind, FileKind::Text);
    EXPECT_EQ(calls[1].path, u"hello");
    EXPECT_EQ(calls[2].kind, FileKind::Project);
    // The movie keeps its reference rate and takes the snapshot's colour after loading.
    EXPECT_EQ(live->files[0].referenceDuration, 400000);
    EXPECT_EQ(live->files[0].colour, 0x00112233u);
    EXPECT_EQ(live->files[2].font.height, 20);
    EXPECT_EQ(live->files[2].TextColour(), 0x000000FFu);
    EXPECT_EQ(SerialOf(live->files[1]), picture);
    EXPECT_EQ(SerialOf(live->files[3]), effect);

    // Redo goes back: the nested project is released without loading anything.
    Redo();
    EXPECT_EQ(services.TakeCalls().size(), 2u);
    EXPECT_FALSE(live->files[4].Used());
    EXPECT_EQ(PathView(live->files[0].path), u"\\b.avi");
}

TEST_F(EditHistoryTest, ReferenceDurationAndTextColourChangesReload) {
    ASSERT_TRUE(history.Checkpoint(*live));
    live->files[0].referenceDuration = 333333;
    live->files[2].colour = TextKeyColour(0x00FF0000);
    Undo();
    const auto calls = services.TakeCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, FileKind::Movie);
    EXPECT_EQ(calls[1].kind, FileKind::Text);
    EXPECT_EQ(live->files[0].referenceDuration, 400000);
    EXPECT_EQ(live->files[2].TextColour(), 0x000000FFu);
}

TEST_F(EditHistoryTest, TransparentColourIsUndoneWithoutReloading) {
    const int picture = SerialOf(live->files[1]);
    live->files[1].colour = kNoTransparentColour;
    ASSERT_TRUE(history.Checkpoint(*live));
    live->files[1].colour = 0x0000FF00;
    live->files[1].currentFrame = 7;
    Undo();
    EXPECT_TRUE(services.TakeCalls().empty());
    EXPECT_EQ(SerialOf(live->files[1]), picture);
    EXPECT_EQ(live->files[1].currentFrame, 7);
    EXPECT_EQ(live->files[1].colour, kNoTransparentColour);
}

TEST_F(EditHistoryTest, FailedRestoreStopsAtTheFailingSlot) {
    services.AddFile(u"\\c.bmp", FileKind::Image);
    ASSERT_TRUE(services.OpenFile(*live, live->files[5], FileKind::Image, u"\\q.bmp"));
    ASSERT_TRUE(services.OpenFile(*live, live->files[6], FileKind::Image, u"\\c.bmp"));
    ASSERT_TRUE(history.Checkpoint(*live));
    // Slots 0, 5 and 6 deleted; settings and track changed too.
    live->files[0].Release();
    live->files[5].Release();
    live->files[6].Release();
    live->settings.length = 77;
    live->tracks[0].RemoveFlagged(kEventUsed);
    services.failing.insert(u"\\q.bmp");
    services.TakeCalls();

    bool restored = true;
    ASSERT_TRUE(history.Undo(*live, services, &restored));
    EXPECT_FALSE(restored);
    EXPECT_TRUE(live->files[0].Used());  // before the failing slot: done
    EXPECT_EQ(live->files[0].referenceDuration, 400000);
    EXPECT_FALSE(live->files[5].Used());  // the failing slot keeps what it had
    EXPECT_FALSE(live->files[6].Used());  // after it: not tried
    EXPECT_EQ(services.TakeCalls().size(), 2u);
    EXPECT_EQ(live->settings.length, 77u);
    EXPECT_EQ(live->tracks[0].Count(), 0u);
    // The position moved all the same.
    EXPECT_TRUE(history.CanRedo());
    EXPECT_FALSE(history.CanUndo());
}

TEST_F(EditHistoryTest, FailedMovieReloadKeepsTheSnapshotsReferenceDuration) {
    ASSERT_TRUE(history.Checkpoint(*live));
    live->files[0].referenceDuration = 123;
    services.failing.insert(u"\\a.avi");
    Undo();
    EXPECT_EQ(live->files[0].referenceDuration, 400000);
    EXPECT_EQ(PathView(live->files[0].path), u"\\a.avi");
}

TEST_F(EditHistoryTest, CheckpointFailsWithoutMovingWhenMemoryRunsOut) {
    ASSERT_TRUE(history.Checkpoint(*live));
    {
        testing::ScopedAllocationFailure failing;
        EXPECT_FALSE(history.Checkpoint(*live));
    }
    EXPECT_EQ(history.Position(), 1u);
    EXPECT_EQ(history.Newest(), 1u);
    EXPECT_EQ(history.SnapshotCount(), 1u);
    // An undo that cannot keep the live state for redo does not move either.
    {
        testing::ScopedAllocationFailure failing;
        EXPECT_FALSE(history.Undo(*live, services));
    }
    EXPECT_EQ(history.Position(), 1u);
    Undo();
}

TEST_F(EditHistoryTest, DefaultDrawMethodFollowsIntoTrackStates) {
    live->settings.defaultDrawMethod = 3;
    ASSERT_TRUE(history.Checkpoint(*live));
    EXPECT_EQ(live->tracks[200].EvalState().defaultMethod, 3);
    live->settings.defaultDrawMethod = 4;
    live->CopyDefaultMethodToTracks();
    Undo();
    EXPECT_EQ(live->tracks[200].EvalState().defaultMethod, 3);
}

}  // namespace
}  // namespace kelvane
