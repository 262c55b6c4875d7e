#include "model/Document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "FailingAllocation.h"
#include "model/Clipboard.h"
#include "platform/Path.h"
#include "support/EventBuilders.h"

namespace kelvane {
namespace {

using testing::LabelledEvent;
using testing::SerialOf;

const char* const kTooManyFiles = "ファイルが多すぎます。";

class DocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        services.AddFile(u"\\a.avi", FileKind::Movie, 320, 200);
        services.AddFile(u"\\p.bmp", FileKind::Image, 64, 48);
        services.AddFile(u"\\fx.so", FileKind::Effect);
        services.AddFile(u"\\n.xqm", FileKind::Project);
        updates = doc.Observers().OnUpdate(
            &viewA, [this](const void*, UpdateHint hint) { hints.push_back(hint); });
    }

    // Setting the scene writes the model directly; the commands under test go through the
    // document.
    Project& project() { return doc.ProjectForRendering(); }
    void Drop(std::vector<std::u16string> paths) { doc.Files().AddDroppedFiles(paths, selection); }
    void FillFileTable(size_t except) {
        for (size_t i = 0; i < kFileSlots; ++i) {
            if (i != except) {
                project().files[i].kind = FileKind::Image;
            }
        }
    }

    testing::FakeServices services;
    testing::ScriptedPrompt prompt;
    MemoryClipboard clipboard;
    Document doc{services, prompt, clipboard};
    FileSelection selection;
    int viewA = 0;
    std::vector<UpdateHint> hints;
    Subscription updates;
};

TEST_F(DocumentTest, NewProjectHasTheDefaultsAndUpdatesEverything) {
    int rebuilt = 0;
    doc.SetRebuildViewsHandler([&rebuilt] { ++rebuilt; });
    Drop({u"\\p.bmp"});
    hints.clear();
    ASSERT_TRUE(doc.NewDocument());
    const ProjectSettings& s = project().settings;
    EXPECT_EQ(s.width, 320u);
    EXPECT_EQ(s.height, 240u);
    EXPECT_EQ(s.frameRate, 30.0);
    EXPECT_EQ(s.frameDuration, 333333);
    EXPECT_EQ(s.length, 1u);
    EXPECT_EQ(s.background, 0u);
    EXPECT_EQ(PathView(project().projectFolder), ExecutableFolder());
    EXPECT_FALSE(project().files[0].Used());
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(doc.Views().preview.pending);
    EXPECT_EQ(rebuilt, 1);
    EXPECT_EQ(hints, std::vector<UpdateHint>{UpdateHint::All});
    EXPECT_EQ(doc.Views().templateKeys[0], u'1');
    EXPECT_EQ(doc.Views().templateKeys[10], u'A');
    EXPECT_EQ(doc.Views().templateKeys[25], u'M');
    EXPECT_EQ(doc.Views().templateKeys[26], u' ');
}

TEST_F(DocumentTest, SaveThenOpenGivesBackTheProjectWithAnEmptyHistory) {
    Drop({u"\\p.bmp"});
    TrackEvent e = LabelledEvent(12, 0);
    ASSERT_TRUE(doc.Timeline().Insert(2, e, false));
    ASSERT_TRUE(doc.IsModified());
    ASSERT_TRUE(doc.SaveDocument(u"/work/out/x.xqm"));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(PathView(project().projectFolder), u"/work/out");

    ASSERT_TRUE(doc.NewDocument());
    hints.clear();
    ASSERT_TRUE(doc.OpenDocument(u"/work/out/x.xqm"));
    EXPECT_EQ(project().files[0].kind, FileKind::Image);
    EXPECT_EQ(project().tracks[2].Count(), 1u);
    EXPECT_EQ(project().tracks[2].Events()[0].start, 12u);
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(hints, std::vector<UpdateHint>{UpdateHint::All});
}

TEST_F(DocumentTest, OpenAndSaveFailuresKeepTheProject) {
    Drop({u"\\p.bmp"});
    EXPECT_FALSE(doc.OpenDocument(u"/nowhere.xqm"));
    EXPECT_TRUE(project().files[0].Used());
    EXPECT_TRUE(doc.CanUndo());
    services.failWrites = true;
    EXPECT_FALSE(doc.SaveDocument(u"/work/out/x.xqm"));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(prompt.errors,
              (std::vector<std::string>{"読み込みに失敗しました。", "保存に失敗しました。"}));
}

class ProjectSettingsTest : public DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        TrackEvent e = LabelledEvent(300, 1);
        e.step = 333333;
        project().tracks[0].InsertSorted(&e, 1);
        project().templates[5].step = 333333;
        project().settings.length = 900;
    }
    ProjectSettingsForm FormWithRate(double rate) {
        ProjectSettingsForm form = doc.Settings().FormForDialog();
        form.frameRate = rate;
        return form;
    }
    const TrackEvent& Event() { return project().tracks[0].Events()[0]; }
};

TEST_F(ProjectSettingsTest, RateChangeWithOkRescalesEvents) {
    hints.clear();
    ASSERT_TRUE(doc.Settings().Apply(FormWithRate(24.0)));
    EXPECT_EQ(prompt.questions, std::vector<std::string>{
                                    "フレームレートが変更されています。イベントを修正しますか？"});
    EXPECT_EQ(Event().start, 240u);
    EXPECT_EQ(Event().step, 416666);
    EXPECT_EQ(project().templates[5].step, 416666);
    EXPECT_EQ(project().settings.length, 720u);
    EXPECT_EQ(project().settings.frameDuration, 416667);
    EXPECT_EQ(hints, std::vector<UpdateHint>{UpdateHint::All});
    EXPECT_TRUE(doc.CanUndo());
    doc.Undo();
    EXPECT_EQ(Event().start, 300u);
    EXPECT_EQ(project().settings.frameRate, 30.0);
}

TEST_F(ProjectSettingsTest, RateChangeWithCancelKeepsTheNumbers) {
    prompt.answers.push_back(false);
    ASSERT_TRUE(doc.Settings().Apply(FormWithRate(24.0)));
    EXPECT_EQ(Event().start, 300u);
    EXPECT_EQ(Event().step, 333333);
    EXPECT_EQ(project().settings.length, 900u);
    EXPECT_EQ(project().settings.frameRate, 24.0);
    EXPECT_EQ(project().settings.frameDuration, 416667);
}

TEST_F(ProjectSettingsTest, LengthIsTypedAndLimited) {
    ProjectSettingsForm form = FormWithRate(30.0);
    EXPECT_EQ(form.length, u"900");
    form.length = u"10:00";
    form.red = 1;
    form.blue = 3;
    ASSERT_TRUE(doc.Settings().Apply(form));
    EXPECT_TRUE(prompt.questions.empty());  // same rate, nothing to ask
    EXPECT_EQ(project().settings.length, 18000u);
    EXPECT_EQ(project().settings.background, 0x00030001u);

    form.length = u"2000000";
    ASSERT_TRUE(doc.Settings().Apply(form));
    EXPECT_EQ(prompt.errors,
              std::vector<std::string>{"動画の長さは最大で1048576フレームに制限されます。"});
    EXPECT_EQ(project().settings.length, 1048576u);

    form.length = u"abc";
    ASSERT_TRUE(doc.Settings().Apply(form));
    EXPECT_EQ(project().settings.length, 1048576u);

    // Values the dialog never lets through change nothing.
    EXPECT_FALSE(doc.Settings().Apply(FormWithRate(0.0)));
    form.width = 0;
    EXPECT_FALSE(doc.Settings().Apply(form));
    EXPECT_EQ(project().settings.width, 320u);
}

TEST_F(DocumentTest, FileIdsAreAllocatedFromTheCursorWrapping) {
    project().files[1022].kind = FileKind::Image;
    uint32_t cursor = 1022;
    EXPECT_EQ(doc.Files().AllocateFileId(cursor), 1023);
    EXPECT_EQ(cursor, 1023u);
    project().files[1023].kind = FileKind::Image;
    EXPECT_EQ(doc.Files().AllocateFileId(cursor), 0);
    EXPECT_EQ(cursor, 0u);

    FillFileTable(kFileSlots);
    EXPECT_EQ(doc.Files().AllocateFileId(cursor), -1);
    EXPECT_EQ(cursor, 0u);
    EXPECT_EQ(prompt.errors, std::vector<std::string>{kTooManyFiles});
}

TEST_F(DocumentTest, DroppedFilesAreDetectedAndFailuresNamedInOneMessage) {
    selection.cursor = 5;
    Drop({u"\\a.avi", u"\\fx.so", u"\\missing.png", u"\\p.bmp", u"\\gone.avi"});
    EXPECT_EQ(project().files[5].kind, FileKind::Movie);
    EXPECT_EQ(project().files[6].kind, FileKind::Effect);
    // The failed file leaves its slot to the next one.
    EXPECT_EQ(project().files[7].kind, FileKind::Image);
    EXPECT_FALSE(project().files[8].Used());
    EXPECT_EQ(prompt.errors,
              std::vector<std::string>{"ファイル\"\\missing.png\"の読み込みに失敗しました。\n"
                                       "ファイル\"\\gone.avi\"の読み込みに失敗しました。"});
    // Detection order: project, effect, picture, movie.
    std::vector<FileKind> tried;
    for (const auto& call : services.TakeCalls()) {
        if (call.path == u"\\missing.png") {
            tried.push_back(call.kind);
        }
    }
    EXPECT_EQ(tried, (std::vector<FileKind>{FileKind::Project, FileKind::Effect, FileKind::Image,
                                            FileKind::Movie}));
    EXPECT_EQ(hints, std::vector<UpdateHint>{UpdateHint::All});
    // One checkpoint for the whole drop.
    doc.Undo();
    EXPECT_FALSE(project().files[5].Used());
    EXPECT_FALSE(project().files[7].Used());
    EXPECT_FALSE(doc.CanUndo());
}

TEST_F(DocumentTest, ADropStoppedByItsProgressKeepsWhatWasAdded) {
    std::vector<size_t> steps;
    const std::vector<std::u16string> paths = {u"\\a.avi", u"\\p.bmp", u"\\n.xqm"};
    EXPECT_FALSE(doc.Files().AddDroppedFiles(paths, selection, [&steps](size_t done, size_t total) {
        EXPECT_EQ(total, 3u);
        steps.push_back(done);
        return done < 2;
    }));
    EXPECT_EQ(steps, (std::vector<size_t>{0, 1, 2}));
    EXPECT_EQ(project().files[0].kind, FileKind::Movie);
    EXPECT_EQ(project().files[1].kind, FileKind::Image);
    EXPECT_FALSE(project().files[2].Used());
    EXPECT_TRUE(prompt.errors.empty());
    doc.Undo();
    EXPECT_FALSE(project().files[0].Used());
}

TEST_F(DocumentTest, DroppingMoreFilesThanFreeIdsAddsWhatFits) {
    FillFileTable(kFileSlots);
    project().files[100].kind = FileKind::None;
    project().files[900].kind = FileKind::None;
    Drop({u"\\a.avi", u"\\p.bmp", u"\\n.xqm"});
    EXPECT_EQ(project().files[100].kind, FileKind::Movie);
    EXPECT_EQ(project().files[900].kind, FileKind::Image);
    EXPECT_EQ(prompt.errors, std::vector<std::string>{kTooManyFiles});
}

TEST_F(DocumentTest, FilePropertiesChangeTheId) {
    selection.cursor = 5;
    Drop({u"\\p.bmp"});
    TrackEvent e = LabelledEvent(0, 5);
    project().tracks[0].InsertSorted(&e, 1);
    const int serial = SerialOf(project().files[5]);
    FilePropertiesForm form;
    form.id = 9;
    form.path = u"\\p.bmp";
    form.useTransparent = true;
    form.red = 0x10;
    form.green = 0x20;
    form.blue = 0x30;
    services.TakeCalls();
    ASSERT_TRUE(doc.Files().ApplyProperties(5, form, selection));
    EXPECT_FALSE(project().files[5].Used());
    EXPECT_EQ(project().files[9].kind, FileKind::Image);
    EXPECT_EQ(SerialOf(project().files[9]), serial);  // same path: not loaded again
    EXPECT_TRUE(services.TakeCalls().empty());
    EXPECT_EQ(project().files[9].colour, 0x00302010u);
    EXPECT_EQ(project().tracks[0].Events()[0].fileId, 5);
    EXPECT_EQ(selection.cursor, 9u);
    EXPECT_TRUE(selection.marks.test(9));
    EXPECT_FALSE(selection.marks.test(5));

    // An ID in use is refused before anything changes.
    selection.cursor = 3;
    Drop({u"\\a.avi"});
    form.id = 3;
    form.path = u"\\a.avi";
    const uint32_t position = doc.History().Position();
    EXPECT_FALSE(doc.Files().ApplyProperties(9, form, selection));
    EXPECT_EQ(prompt.errors, std::vector<std::string>{"指定したIDはすでに使用されています。"});
    EXPECT_EQ(project().files[9].kind, FileKind::Image);
    EXPECT_EQ(doc.History().Position(), position);
}

TEST_F(DocumentTest, FilePropertiesReloadTextAndFail) {
    Drop({u"\\p.bmp"});
    FilePropertiesForm form;
    form.id = 0;
    form.path = u"\\a.avi";
    form.referenceRate = u"25";
    ASSERT_TRUE(doc.Files().ApplyProperties(0, form, selection));
    EXPECT_EQ(project().files[0].kind, FileKind::Movie);
    EXPECT_EQ(project().files[0].referenceDuration, 400000);
    EXPECT_EQ(project().files[0].colour, kNoTransparentColour);

    form.useText = true;
    form.text = u"title";
    form.red = 0xFF;
    ASSERT_TRUE(doc.Files().ApplyProperties(0, form, selection));
    EXPECT_EQ(project().files[0].kind, FileKind::Text);
    EXPECT_EQ(project().files[0].TextColour(), 0x000000FFu);

    services.failing.insert(u"bad");
    form.text = u"bad";
    EXPECT_FALSE(doc.Files().ApplyProperties(0, form, selection));
    EXPECT_FALSE(project().files[0].Used());
    form.useText = false;
    form.path = u"\\gone.avi";
    EXPECT_FALSE(doc.Files().ApplyProperties(0, form, selection));
    EXPECT_EQ(prompt.errors,
              (std::vector<std::string>{"テキストの作成に失敗しました。",
                                        "ファイル\"\\gone.avi\"の読み込みに失敗しました。"}));
}

TEST_F(DocumentTest, FilePropertiesFormShowsTheEntry) {
    Drop({u"\\a.avi"});
    project().files[0].referenceDuration = 400000;
    project().files[0].colour = 0x00302010;
    FilePropertiesForm form = doc.Files().FormForDialog(0);
    EXPECT_FALSE(form.useText);
    EXPECT_EQ(form.path, u"\\a.avi");
    EXPECT_EQ(form.referenceRate, u"25");
    EXPECT_TRUE(form.useTransparent);
    EXPECT_EQ(form.red, 0x10);
    EXPECT_EQ(form.blue, 0x30);
    services.MakeText(project().files[1], u"hi", 0x00A0B0C0, LogFont{});
    form = doc.Files().FormForDialog(1);
    EXPECT_TRUE(form.useText);
    EXPECT_EQ(form.text, u"hi");
    EXPECT_EQ(form.red, 0xC0);
    EXPECT_EQ(form.blue, 0xA0);
}

TEST_F(DocumentTest, AddingOneFileUnmarksASlotLeftUnused) {
    selection.cursor = 2;
    ASSERT_FALSE(doc.Files().AddFile(selection, [](uint32_t) {}));
    EXPECT_FALSE(selection.marks.test(2));
    EXPECT_EQ(project().files[2].colour, 0u);
    ASSERT_TRUE(doc.Files().AddFile(selection, [this](uint32_t id) {
        EXPECT_EQ(project().files[id].colour, 0xFFFFFFFFu);
        FilePropertiesForm form;
        form.id = id;
        form.path = u"\\p.bmp";
        doc.Files().ApplyProperties(id, form, selection);
    }));
    EXPECT_TRUE(selection.marks.test(2));
    EXPECT_EQ(project().files[2].kind, FileKind::Image);
}

TEST_F(DocumentTest, DuplicateCopiesDescriptorsAndStopsOnFailure) {
    Drop({u"\\a.avi", u"\\p.bmp"});
    project().files[0].referenceDuration = 400000;
    project().files[0].colour = 0x00010203;
    LogFont font{};
    font.weight = 700;
    services.MakeText(project().files[2], u"abc", 0x00FF00, font);
    selection.marks.set(0);
    selection.marks.set(2);
    selection.marks.set(7);  // marked but unused: skipped
    ASSERT_TRUE(doc.Files().Duplicate(selection));
    EXPECT_EQ(project().files[1].kind, FileKind::Image);  // untouched
    EXPECT_EQ(project().files[3].kind, FileKind::Movie);
    EXPECT_EQ(project().files[3].referenceDuration, 400000);
    EXPECT_EQ(project().files[3].colour, 0x00010203u);
    EXPECT_EQ(project().files[4].text, u"abc");
    EXPECT_EQ(project().files[4].TextColour(), 0x00FF00u);
    EXPECT_EQ(project().files[4].font.weight, 700);

    services.failing.insert(u"\\a.avi");
    EXPECT_FALSE(doc.Files().Duplicate(selection));
    EXPECT_EQ(prompt.errors, std::vector<std::string>{"ファイルの複製に失敗しました。"});
    EXPECT_FALSE(project().files[5].Used());
    doc.Undo();
    doc.Undo();
    EXPECT_FALSE(project().files[3].Used());
}

// Pixel flags: what new entries get, what the dialog can set, and that undo, redo and duplication
// carry them.
TEST_F(DocumentTest, PixelFlagsHaveDefaultsAreUndoableAndDuplicated) {
    services.AddFile(u"\\logo.png", FileKind::Image, 64, 48, true);
    Drop({u"\\logo.png", u"\\p.bmp", u"\\n.xqm"});
    EXPECT_EQ(project().files[0].pixelFlags, kPixelUseAlpha);
    EXPECT_EQ(project().files[1].pixelFlags, 0u);
    EXPECT_EQ(project().files[2].pixelFlags, 0u);  // a nested project keeps its background

    // A new text from the dialog is smooth unless unticked.
    FilePropertiesForm text = doc.Files().FormForDialog(5);
    EXPECT_EQ(text.pixelFlags & kPixelSmoothText, kPixelSmoothText);
    text.useText = true;
    text.text = u"abc";
    ASSERT_TRUE(doc.Files().ApplyProperties(5, text, selection));
    EXPECT_EQ(project().files[5].pixelFlags, kPixelSmoothText);

    // The dialog's flags: only those the kind and the file allow stay.
    FilePropertiesForm form = doc.Files().FormForDialog(1);
    EXPECT_FALSE(form.alphaAvailable);
    form.pixelFlags = kPixelUseAlpha | kPixelTransparentBackground;
    ASSERT_TRUE(doc.Files().ApplyProperties(1, form, selection));
    EXPECT_EQ(project().files[1].pixelFlags, 0u);
    form = doc.Files().FormForDialog(2);
    form.pixelFlags = kPixelTransparentBackground | kPixelSmoothText;
    ASSERT_TRUE(doc.Files().ApplyProperties(2, form, selection));
    EXPECT_EQ(project().files[2].pixelFlags, kPixelTransparentBackground);
    form = doc.Files().FormForDialog(0);
    EXPECT_TRUE(form.alphaAvailable);
    form.pixelFlags = 0;
    ASSERT_TRUE(doc.Files().ApplyProperties(0, form, selection));
    EXPECT_EQ(project().files[0].pixelFlags, 0u);

    doc.Undo();
    EXPECT_EQ(project().files[0].pixelFlags, kPixelUseAlpha);
    doc.Undo();
    EXPECT_EQ(project().files[2].pixelFlags, 0u);
    doc.Redo();
    EXPECT_EQ(project().files[2].pixelFlags, kPixelTransparentBackground);

    selection.marks.reset();
    selection.marks.set(0);
    selection.marks.set(5);
    selection.cursor = 10;
    ASSERT_TRUE(doc.Files().Duplicate(selection));
    EXPECT_EQ(project().files[10].pixelFlags, kPixelUseAlpha);
    EXPECT_EQ(project().files[11].pixelFlags, kPixelSmoothText);
}

TEST_F(DocumentTest, DeleteReleasesMarkedSlots) {
    EXPECT_FALSE(doc.Files().Delete(selection));
    EXPECT_EQ(prompt.errors, std::vector<std::string>{"消去できるデータがありません。"});
    Drop({u"\\a.avi"});
    project().files[0].referenceDuration = 400000;
    selection.marks.set(0);
    hints.clear();
    ASSERT_TRUE(doc.Files().Delete(selection));
    EXPECT_FALSE(project().files[0].Used());
    EXPECT_EQ(project().files[0].referenceDuration, 0);
    EXPECT_EQ(hints, std::vector<UpdateHint>{UpdateHint::All});
    doc.Undo();
    EXPECT_EQ(project().files[0].kind, FileKind::Movie);
    EXPECT_EQ(project().files[0].referenceDuration, 400000);
    EXPECT_TRUE(doc.CanRedo());
}

TEST_F(DocumentTest, FailedCheckpointIsToldAndTheEditGoesOn) {
    TrackEvent e = LabelledEvent(3, 1, kEventSelected);
    project().tracks[0].InsertSorted(&e, 1);
    Drop({u"\\p.bmp"});
    selection.marks.set(0);
    doc.SetModified(false);
    const uint32_t position = doc.History().Position();
    {
        testing::ScopedAllocationFailure failing;
        EXPECT_TRUE(doc.Files().Delete(selection));
    }
    EXPECT_EQ(prompt.errors, std::vector<std::string>{
                                 "メモリの割り当てに失敗しました。この操作は元に戻せません。"});
    EXPECT_FALSE(project().files[0].Used());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.History().Position(), position);
}

TEST_F(DocumentTest, UpdatesSkipTheSenderAndEndWithTheSubscription) {
    int viewB = 0;
    std::vector<UpdateHint> hintsB;
    auto subscriptionB = std::make_unique<Subscription>(doc.Observers().OnUpdate(
        &viewB, [&hintsB](const void*, UpdateHint hint) { hintsB.push_back(hint); }));
    doc.UpdateAllViews(&viewA, UpdateHint::Preview | UpdateHint::Templates);
    EXPECT_TRUE(hints.empty());
    EXPECT_EQ(hintsB, std::vector<UpdateHint>{UpdateHint::Preview | UpdateHint::Templates});
    subscriptionB.reset();
    doc.UpdateAllViews(nullptr, UpdateHint::Timeline);
    EXPECT_EQ(hints, std::vector<UpdateHint>{UpdateHint::Timeline});
    EXPECT_EQ(hintsB.size(), 1u);

    // A subscription that outlives its document does nothing when it ends.
    Subscription late;
    {
        Document other{services, prompt, clipboard};
        late = other.Observers().OnModifiedChanged([](bool) {});
    }
    late.Cancel();
}

TEST_F(DocumentTest, ModifiedUndoRedoAndTitleAreReportedWhenTheyChange) {
    std::vector<bool> modified;
    std::vector<std::pair<bool, bool>> undoRedo;
    std::vector<std::u16string> titles;
    const Subscription a =
        doc.Observers().OnModifiedChanged([&](bool m) { modified.push_back(m); });
    const Subscription b = doc.Observers().OnUndoRedoChanged(
        [&](bool undo, bool redo) { undoRedo.emplace_back(undo, redo); });
    const Subscription c =
        doc.Observers().OnTitleChanged([&](const std::u16string& t) { titles.push_back(t); });
    EXPECT_EQ(doc.Title(), u"新規プロジェクト - Kelvane");

    Drop({u"\\p.bmp"});
    Drop({u"\\a.avi"});  // still modified and undoable: nothing new to report
    doc.Undo();
    doc.Undo();
    ASSERT_TRUE(doc.SaveDocument(u"C:\\work\\clip.xqm"));
    EXPECT_EQ(modified, (std::vector<bool>{true, false}));
    EXPECT_EQ(undoRedo,
              (std::vector<std::pair<bool, bool>>{{true, false}, {true, true}, {false, true}}));
    EXPECT_EQ(titles, std::vector<std::u16string>{u"clip.xqm - Kelvane"});
    EXPECT_EQ(doc.PathName(), u"C:\\work\\clip.xqm");

    ASSERT_TRUE(doc.NewDocument());
    EXPECT_EQ(undoRedo.back(), std::make_pair(false, false));
    EXPECT_EQ(titles.back(), u"新規プロジェクト - Kelvane");
    EXPECT_TRUE(doc.PathName().empty());
}

TEST_F(DocumentTest, SelectionChangesGoThroughTheDocumentWithoutAnEdit) {
    TrackEvent events[] = {LabelledEvent(1, 0), LabelledEvent(2, 1), LabelledEvent(3, 2)};
    project().tracks[4].InsertSorted(events, 3);
    int viewB = 0;
    std::vector<std::pair<const void*, SelectionChange>> changes;
    const Subscription s = doc.Observers().OnSelectionChanged(
        &viewB, [&](const void* sender, const SelectionChange& change) {
            changes.emplace_back(sender, change);
        });

    doc.Timeline().Select(
        4, [](uint32_t index, const TrackEvent&) { return index != 1; }, &viewA);
    const Track& track = project().tracks[4];
    EXPECT_TRUE(track.Events()[0].flags & kEventSelected);
    EXPECT_FALSE(track.Events()[1].flags & kEventSelected);
    EXPECT_TRUE(track.Events()[2].flags & kEventSelected);
    doc.Timeline().Select(4, [](uint32_t index, const TrackEvent&) { return index != 1; });
    doc.Timeline().SelectAll(4, &viewB);  // the sender is not told of its own change
    doc.Templates().Select([](uint32_t slot, const EventTemplate&) { return slot == 7; });
    EXPECT_TRUE(project().templates[7].flags & kEventSelected);
    EXPECT_FALSE(project().templates[6].flags & kEventSelected);

    ASSERT_EQ(changes.size(), 2u);  // the repeated selection changed nothing
    EXPECT_EQ(changes[0].first, &viewA);
    EXPECT_EQ(changes[0].second.scope, SelectionChange::Scope::TrackEvents);
    EXPECT_EQ(changes[0].second.track, 4u);
    EXPECT_EQ(changes[1].second.scope, SelectionChange::Scope::Templates);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_TRUE(hints.empty());
}

TEST_F(DocumentTest, UndoRedoStatesAndHints) {
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_FALSE(doc.CanRedo());
    doc.Undo();  // nothing to undo: no update
    EXPECT_TRUE(hints.empty());
    ASSERT_TRUE(doc.Templates().DropFile(0, 0));
    EXPECT_EQ(hints, std::vector<UpdateHint>{UpdateHint::Templates});
    doc.SetModified(false);
    doc.Undo();
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(doc.CanRedo());
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_EQ(hints.back(), UpdateHint::All);
    doc.Redo();
    EXPECT_TRUE(TemplateInUse(project().templates[0]));
}

TEST_F(DocumentTest, TimelineEditsInsertMoveAndExtend) {
    selection.cursor = 4;
    Drop({u"\\fx.so", u"\\a.avi"});
    hints.clear();
    ASSERT_TRUE(doc.Timeline().DropFile(1, 4, 90, true));  // effect: region = output size
    ASSERT_TRUE(doc.Timeline().DropFile(1, 5, 30, true));  // movie: its size, speed 1.0
    const Track& track = project().tracks[1];
    ASSERT_EQ(track.Count(), 2u);
    EXPECT_EQ(track.Events()[1].right, 320);
    EXPECT_EQ(track.Events()[1].bottom, 240);
    EXPECT_EQ(track.Events()[0].right, 320);
    EXPECT_EQ(track.Events()[0].bottom, 200);
    EXPECT_EQ(track.Events()[0].step, 333333);
    EXPECT_EQ(project().settings.length, 90u);
    EXPECT_EQ(hints, (std::vector<UpdateHint>{UpdateHint::Timeline, UpdateHint::Timeline}));

    // Moving the movie event 100 frames on passes the effect; moving back before 0 gives 0.
    project().tracks[1].Events()[0].flags |= kEventSelected;
    ASSERT_TRUE(doc.Timeline().MoveSelected(1, 10, 110, true));
    EXPECT_EQ(track.Events()[1].start, 130u);
    EXPECT_EQ(project().settings.length, 130u);
    ASSERT_TRUE(doc.Timeline().MoveSelected(1, 500, 0, false));
    EXPECT_EQ(track.Events()[0].start, 0u);
    EXPECT_FALSE(doc.Timeline().MoveSelected(1, 7, 7, false));

    // A template key: inserted at its start without Selected, after equal starts.
    TrackEvent key = LabelledEvent(0, 77, kEventSelected);
    ASSERT_TRUE(doc.Timeline().Insert(1, key, false));
    EXPECT_EQ(track.Events()[1].fileId, 77);
    EXPECT_EQ(track.Events()[1].flags & kEventSelected, 0u);
    key.flags = 0;
    EXPECT_FALSE(doc.Timeline().Insert(1, key, false));

    // Property edits: one event extends to its own start, and the track is sorted again.
    ASSERT_TRUE(doc.Timeline().EditSelected(
        1, [](TrackEvent& e) { e.start = 400; }, true));
    EXPECT_EQ(track.Events()[2].start, 400u);
    EXPECT_EQ(project().settings.length, 400u);
}

TEST_F(DocumentTest, TemplateEditsKeepStartsAtZero) {
    Drop({u"\\p.bmp"});
    ASSERT_TRUE(doc.Templates().DropFile(3, 0));
    const EventTemplate& slot = project().templates[3];
    EXPECT_EQ(slot.flags, uint32_t(kEventUsed | kEventParametric));
    EXPECT_EQ(slot.right, 64);
    EXPECT_EQ(slot.bottom, 48);
    EXPECT_FALSE(doc.Templates().EditSelected([](EventTemplate& t) { t.scale = 3.0f; }));
    project().templates[3].flags |= kEventSelected;
    ASSERT_TRUE(doc.Templates().EditSelected([](EventTemplate& t) {
        t.scale = 3.0f;
        t.start = 55;
    }));
    EXPECT_EQ(slot.scale, 3.0f);
    EXPECT_EQ(slot.start, 0u);
}

}  // namespace
}  // namespace kelvane
