#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "DocumentTestSupport.h"
#include "FailingAllocation.h"
#include "model/Clipboard.h"
#include "model/Document.h"
#include "model/EventClipboard.h"
#include "support/EventBuilders.h"

namespace kelvane {
namespace {

using testing::LabelledEvent;
using testing::Labels;

constexpr uint32_t kPicked = kEventUsed | kEventSelected;
const char* const kNothingToCopy = "コピーできるデータがありません。";
const char* const kNothingToErase = "消去できるデータがありません。";
const char* const kMemoryLost =
    "メモリの割り当てに失敗しました。作業中のデータが失われた可能性があります。";

uint32_t Word(const std::vector<uint8_t>& block, size_t offset) {
    uint32_t value;
    std::memcpy(&value, block.data() + offset, 4);
    return value;
}

TEST(EventClipboardBlock, EncodesKindCountRecordsAndZeroTrailer) {
    std::vector<TrackEvent> events{LabelledEvent(0, 7), LabelledEvent(30, 8)};
    events[1].scale = 2.5f;
    std::vector<uint8_t> block;
    ASSERT_TRUE(EventClipboardBlock::Encode(events, block));
    ASSERT_EQ(block.size(), 2 * 152 + 24u);
    EXPECT_EQ(Word(block, 0), 2u);
    EXPECT_EQ(Word(block, 4), 2u);
    EXPECT_EQ(std::memcmp(block.data() + 8 + 152, &events[1], 152), 0);
    EXPECT_EQ(std::vector<uint8_t>(block.end() - 16, block.end()), std::vector<uint8_t>(16, 0));

    std::vector<TrackEvent> decoded;
    ASSERT_TRUE(EventClipboardBlock::Decode(block, decoded));
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(std::memcmp(decoded.data(), events.data(), 2 * 152), 0);
    // The trailer is not needed to read the records.
    block.resize(block.size() - 16);
    EXPECT_TRUE(EventClipboardBlock::Decode(block, decoded));
}

TEST(EventClipboardBlock, RefusesForeignShortAndOverlongBlocks) {
    std::vector<uint8_t> block;
    ASSERT_TRUE(EventClipboardBlock::Encode(std::vector<TrackEvent>(3), block));
    std::vector<TrackEvent> decoded{LabelledEvent(1, 1)};

    std::vector<uint8_t> shortBlock(block.begin(), block.begin() + 8 + 3 * 152 - 1);
    EXPECT_FALSE(EventClipboardBlock::Decode(shortBlock, decoded));
    EXPECT_TRUE(decoded.empty());

    std::vector<uint8_t> otherKind = block;
    otherKind[0] = 1;
    EXPECT_FALSE(EventClipboardBlock::Decode(otherKind, decoded));

    const char text[] = "hello, world";
    EXPECT_FALSE(EventClipboardBlock::Decode(
        std::span(reinterpret_cast<const uint8_t*>(text), sizeof(text)), decoded));
    EXPECT_FALSE(EventClipboardBlock::Decode(std::span(block.data(), 7), decoded));

    // Counts whose byte size would wrap are refused rather than read past the block.
    for (uint32_t count : {0xFFFFFFFFu, 0x80000000u, 28256363u}) {
        std::vector<uint8_t> huge = block;
        std::memcpy(huge.data() + 4, &count, 4);
        EXPECT_FALSE(EventClipboardBlock::Decode(huge, decoded)) << count;
    }
}

class ClipboardCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Existing events at 40 and 100 (labels 1 and 2); to be copied: 100, 130, 160.
        Track& source = project().tracks[3];
        std::vector<TrackEvent> events{
            LabelledEvent(100, 10, kEventSelected), LabelledEvent(110, 99),
            LabelledEvent(130, 11, kEventSelected), LabelledEvent(160, 12, kEventSelected)};
        source.InsertSorted(events.data(), uint32_t(events.size()));
        std::vector<TrackEvent> existing{LabelledEvent(40, 1), LabelledEvent(100, 2)};
        project().tracks[5].InsertSorted(existing.data(), 2);
    }

    Project& project() { return doc.ProjectForRendering(); }  // setting the scene
    std::vector<uint32_t> Starts(const Track& track) {
        std::vector<uint32_t> starts;
        for (const TrackEvent& e : track.EventSpan()) {
            starts.push_back(e.start);
        }
        return starts;
    }

    testing::FakeServices services;
    testing::ScriptedPrompt prompt;
    MemoryClipboard clipboard;
    Document doc{services, prompt, clipboard};
};

TEST_F(ClipboardCommandsTest, CopyAndPasteAtTheCursorAfterEqualStarts) {
    ASSERT_TRUE(doc.Timeline().Copy(3));
    EXPECT_FALSE(doc.CanUndo());  // copying changes nothing
    std::vector<TrackEvent> onClipboard;
    ASSERT_TRUE(EventClipboardBlock::Decode(clipboard.Data(), onClipboard));
    ASSERT_EQ(onClipboard.size(), 3u);
    EXPECT_EQ(onClipboard[1].start, 30u);

    ASSERT_TRUE(doc.Timeline().Paste(5, 40, false));
    EXPECT_EQ(Labels(project().tracks[5]), (std::vector<int32_t>{1, 10, 11, 2, 12}));
    EXPECT_EQ(Starts(project().tracks[5]), (std::vector<uint32_t>{40, 40, 70, 100, 100}));
    EXPECT_EQ(project().tracks[5].Events()[1].flags & kPicked, kPicked);
    EXPECT_EQ(project().settings.length, 1u);  // no automatic extension
    EXPECT_TRUE(doc.CanUndo());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(prompt.errors.empty());
}

TEST_F(ClipboardCommandsTest, PasteExtendsTheLengthUpToTheLimit) {
    ASSERT_TRUE(doc.Timeline().Copy(3));
    ASSERT_TRUE(doc.Timeline().Paste(7, 500, true));
    EXPECT_EQ(project().settings.length, 560u);
    ASSERT_TRUE(doc.Timeline().Paste(8, kMaxProjectLength - 10, true));
    EXPECT_EQ(project().settings.length, kMaxProjectLength);
}

TEST_F(ClipboardCommandsTest, PasteIgnoresForeignAndMissingData) {
    EXPECT_FALSE(doc.Timeline().Paste(5, 0, false));  // empty clipboard
    const char text[] = "plain text";
    clipboard.Put(std::span(reinterpret_cast<const uint8_t*>(text), sizeof(text)));
    EXPECT_FALSE(doc.Timeline().Paste(5, 0, false));
    uint32_t cursor = 0;
    EXPECT_FALSE(doc.Templates().Paste(cursor));
    EXPECT_EQ(project().tracks[5].Count(), 2u);
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_TRUE(prompt.errors.empty());
}

TEST_F(ClipboardCommandsTest, PasteOfAnUnorderedBlockKeepsTheTrackSorted) {
    std::vector<TrackEvent> unordered{LabelledEvent(50, 21), LabelledEvent(5, 22),
                                      LabelledEvent(50, 23)};
    std::vector<uint8_t> block;
    ASSERT_TRUE(EventClipboardBlock::Encode(unordered, block));
    clipboard.Put(block);
    ASSERT_TRUE(doc.Timeline().Paste(5, 0, false));
    EXPECT_EQ(Labels(project().tracks[5]), (std::vector<int32_t>{22, 1, 21, 23, 2}));
}

TEST_F(ClipboardCommandsTest, CutAndDeleteRemoveTheSelectedEvents) {
    ASSERT_TRUE(doc.Timeline().Cut(3));
    EXPECT_EQ(Labels(project().tracks[3]), std::vector<int32_t>{99});
    EXPECT_TRUE(clipboard.HasData());
    doc.Undo();
    EXPECT_EQ(project().tracks[3].Count(), 4u);

    doc.Timeline().SelectAll(5);
    ASSERT_TRUE(doc.Timeline().Delete(5));
    EXPECT_EQ(project().tracks[5].Count(), 0u);
    EXPECT_TRUE(testing::HasSentinel(project().tracks[5]));
}

TEST_F(ClipboardCommandsTest, NothingSelectedOrNoArrayTellsOrDoesNothing) {
    EXPECT_FALSE(doc.Timeline().Copy(5));
    EXPECT_FALSE(doc.Timeline().Cut(5));
    EXPECT_FALSE(doc.Timeline().Delete(5));
    EXPECT_EQ(prompt.errors,
              (std::vector<std::string>{kNothingToCopy, kNothingToCopy, kNothingToErase}));
    EXPECT_FALSE(clipboard.HasData());
    prompt.errors.clear();
    // A track that never had events says nothing.
    EXPECT_FALSE(doc.Timeline().Copy(9));
    EXPECT_FALSE(doc.Timeline().Delete(9));
    EXPECT_FALSE(doc.Timeline().Copy(256));
    EXPECT_TRUE(prompt.errors.empty());
    EXPECT_FALSE(doc.CanUndo());
}

TEST(ClipboardCommands, CutRemovesNothingWhenTheClipboardRefuses) {
    testing::FakeServices services;
    testing::ScriptedPrompt prompt;
    testing::RefusingClipboard clipboard;
    Document doc(services, prompt, clipboard);
    TrackEvent e = LabelledEvent(10, 1, kEventSelected);
    doc.ProjectForRendering().tracks[0].InsertSorted(&e, 1);
    EXPECT_FALSE(doc.Timeline().Cut(0));
    EXPECT_EQ(doc.GetProject().tracks[0].Count(), 1u);
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_TRUE(prompt.errors.empty());
}

TEST_F(ClipboardCommandsTest, FailedPasteShowsBothMemoryMessages) {
    ASSERT_TRUE(doc.Timeline().Copy(3));
    {
        testing::ScopedAllocationFailure failing;
        EXPECT_FALSE(doc.Timeline().Paste(5, 0, false));
    }
    EXPECT_EQ(prompt.errors,
              (std::vector<std::string>{
                  "メモリの割り当てに失敗しました。この操作は元に戻せません。", kMemoryLost}));
    EXPECT_EQ(project().tracks[5].Count(), 2u);
}

class TemplateClipboardTest : public ClipboardCommandsTest {
  protected:
    void SetTemplate(size_t slot, int32_t label, uint32_t flags) {
        project().templates[slot] = LabelledEvent(0, label);
        project().templates[slot].flags = flags;
    }
};

TEST_F(TemplateClipboardTest, PasteFillsSlotsFromTheCursorWrapping) {
    ASSERT_TRUE(doc.Timeline().Copy(3));
    SetTemplate(63, 63, kEventUsed);
    SetTemplate(1, 1, kPicked);
    uint32_t cursor = 63;
    ASSERT_TRUE(doc.Templates().Paste(cursor));
    EXPECT_EQ(cursor, 2u);
    EXPECT_EQ(project().templates[63].fileId, 63);
    for (size_t slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(project().templates[slot].fileId, int32_t(10 + slot));
        EXPECT_EQ(project().templates[slot].start, 0u);
        EXPECT_EQ(project().templates[slot].flags & kPicked, kPicked);
    }
    EXPECT_EQ(project().templates[63].flags & kEventSelected, 0u);
    EXPECT_TRUE(doc.CanUndo());

    // A free cursor slot takes the first event itself.
    cursor = 20;
    ASSERT_TRUE(doc.Templates().Paste(cursor));
    EXPECT_EQ(project().templates[20].fileId, 10);
    EXPECT_EQ(cursor, 22u);
}

TEST_F(TemplateClipboardTest, CopyCutDeleteAndSelectAll) {
    SetTemplate(4, 4, kPicked);
    SetTemplate(9, 9, kEventUsed);
    SetTemplate(12, 12, kPicked);
    SetTemplate(13, 13, kEventSelected);  // selected but unused: not copied
    ASSERT_TRUE(doc.Templates().Cut());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(project().templates[4].flags, 0u);
    EXPECT_EQ(project().templates[4].fileId, 4);  // the other bytes stay
    EXPECT_EQ(project().templates[13].flags, kEventSelected);
    // Like delete and paste, the cut can be undone.
    doc.Undo();
    EXPECT_EQ(project().templates[4].flags, kPicked);
    doc.Redo();
    EXPECT_EQ(project().templates[4].flags, 0u);

    // Templates pasted into a track all land at the cursor.
    ASSERT_TRUE(doc.Timeline().Paste(6, 25, false));
    EXPECT_EQ(Starts(project().tracks[6]), (std::vector<uint32_t>{25, 25}));
    EXPECT_EQ(Labels(project().tracks[6]), (std::vector<int32_t>{4, 12}));

    EXPECT_FALSE(doc.Templates().Delete());
    EXPECT_EQ(prompt.errors, std::vector<std::string>{kNothingToErase});
    doc.Templates().SelectAll();
    for (const EventTemplate& slot : project().templates) {
        ASSERT_TRUE(slot.flags & kEventSelected);
    }
    ASSERT_TRUE(doc.Templates().Delete());
    for (const EventTemplate& slot : project().templates) {
        ASSERT_EQ(slot.flags, 0u);
    }
    doc.Undo();
    EXPECT_EQ(project().templates[9].flags, kEventUsed | kEventSelected);
}

}  // namespace
}  // namespace kelvane
