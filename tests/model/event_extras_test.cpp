#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "DocumentTestSupport.h"
#include "model/Clipboard.h"
#include "model/Document.h"
#include "model/EventClipboard.h"
#include "model/JournalFormat.h"
#include "model/Track.h"
#include "support/EventBuilders.h"

namespace kelvane {
namespace {

using testing::LabelledEvent;
using testing::Labels;

// Extras that tell events apart: the volume carries the label.
EventExtras Tagged(int32_t label) {
    EventExtras extras;
    extras.volume = float(label);
    extras.audioFlags = label % 2 == 0 ? uint32_t(kAudioMuted) : 0u;
    if (label % 3 == 0) {
        extras.effectParams = std::make_shared<const EffectParamList>(
            EffectParamList{{1, 4, {0, 0, 0}, "字幕 " + std::to_string(label)}});
    }
    return extras;
}

// The label of each event and the label its extras carry (0 for the defaults).
std::vector<std::pair<int32_t, int32_t>> Pairs(const Track& track) {
    std::vector<std::pair<int32_t, int32_t>> pairs;
    const std::vector<int32_t> labels = Labels(track);
    for (uint32_t i = 0; i < track.Count(); ++i) {
        const EventExtras& e = track.ExtrasAt(i);
        pairs.emplace_back(labels[i], e.IsDefault() ? 0 : int32_t(e.volume));
    }
    return pairs;
}

using P = std::vector<std::pair<int32_t, int32_t>>;

TEST(EventExtras, FollowTheirRecordsThroughEveryTrackOperation) {
    Track track;
    std::vector<TrackEvent> events{LabelledEvent(10, 1), LabelledEvent(20, 2),
                                   LabelledEvent(30, 3)};
    ASSERT_TRUE(track.InsertSorted(events.data(), 3));
    EXPECT_FALSE(track.HasExtras());  // all defaults: no array at all
    ASSERT_TRUE(track.SetExtras(1, Tagged(2)));

    // A batch with extras of its own lands between, after the equal start.
    std::vector<TrackEvent> batch{LabelledEvent(20, 4), LabelledEvent(40, 5)};
    std::vector<EventExtras> batchExtras{Tagged(4), EventExtras{}};
    ASSERT_TRUE(track.InsertSorted(batch.data(), 2, batchExtras.data()));
    EXPECT_EQ(Pairs(track), (P{{1, 0}, {2, 2}, {4, 4}, {3, 0}, {5, 0}}));

    // Sorting after moved starts carries the extras along; equal starts keep their order.
    track.Events()[0].start = 35;
    track.Events()[2].start = 10;
    ASSERT_TRUE(track.Sort());
    EXPECT_EQ(Pairs(track), (P{{4, 4}, {2, 2}, {3, 0}, {1, 0}, {5, 0}}));
    EXPECT_EQ(track.Events()[track.Count()].start, kSentinelStart);

    track.Events()[1].flags |= kEventSelected;
    ASSERT_TRUE(track.RemoveFlagged(kEventSelected));
    EXPECT_EQ(Pairs(track), (P{{4, 4}, {3, 0}, {1, 0}, {5, 0}}));

    // A shared copy sees the same extras until one side is written; a change is then an edit
    // of that side alone, and the two no longer share.
    Track shared;
    shared.ShareFrom(track);
    EXPECT_TRUE(shared.SharesEventsWith(track));
    ASSERT_TRUE(shared.SetExtras(0, Tagged(9)));
    EXPECT_FALSE(shared.SharesEventsWith(track));
    EXPECT_EQ(int32_t(track.ExtrasAt(0).volume), 4);
    EXPECT_EQ(int32_t(shared.ExtrasAt(0).volume), 9);

    Track copy;
    ASSERT_TRUE(copy.CopyFrom(track));
    EXPECT_EQ(Pairs(copy), Pairs(track));
    ASSERT_TRUE(track.Reset(2));
    EXPECT_FALSE(track.HasExtras());
}

TEST(EventExtras, TravelOnTheClipboardOnlyWhenThereAreAny) {
    std::vector<TrackEvent> events{LabelledEvent(0, 7), LabelledEvent(30, 8)};
    std::vector<EventExtras> defaults(2);
    std::vector<uint8_t> plain;
    ASSERT_TRUE(EventClipboardBlock::Encode(events, plain, defaults));
    EXPECT_EQ(plain.size(), 2 * 152 + 24u);  // the block of old

    std::vector<EventExtras> extras{EventExtras{}, Tagged(6)};
    std::vector<uint8_t> block;
    ASSERT_TRUE(EventClipboardBlock::Encode(events, block, extras));
    std::vector<TrackEvent> decoded;
    std::vector<EventExtras> decodedExtras;
    ASSERT_TRUE(EventClipboardBlock::Decode(block, decoded, &decodedExtras));
    EXPECT_EQ(decodedExtras, extras);
    // A reader that knows no extras still gets the records, and a cut tail gives defaults.
    ASSERT_TRUE(EventClipboardBlock::Decode(block, decoded));
    EXPECT_EQ(decoded.size(), 2u);
    block.resize(block.size() - 3);
    ASSERT_TRUE(EventClipboardBlock::Decode(block, decoded, &decodedExtras));
    EXPECT_EQ(decodedExtras, defaults);
}

TEST(EventExtras, CopyPasteAndTemplatesCarryThem) {
    testing::FakeServices services;
    testing::ScriptedPrompt prompt;
    MemoryClipboard clipboard;
    Document doc{services, prompt, clipboard};
    Project& project = doc.ProjectForRendering();
    std::vector<TrackEvent> events{LabelledEvent(100, 1, kEventSelected), LabelledEvent(110, 2),
                                   LabelledEvent(130, 3, kEventSelected)};
    ASSERT_TRUE(project.tracks[3].InsertSorted(events.data(), 3));
    ASSERT_TRUE(project.tracks[3].SetExtras(2, Tagged(3)));

    ASSERT_TRUE(doc.Timeline().Copy(3));
    ASSERT_TRUE(doc.Timeline().Paste(5, 0, false));
    EXPECT_EQ(Pairs(doc.GetProject().tracks[5]), (P{{1, 0}, {3, 3}}));

    // Through the template list and back onto a track by insertion.
    uint32_t cursor = 0;
    ASSERT_TRUE(doc.Templates().Paste(cursor));
    EXPECT_EQ(doc.GetProject().templateExtras[1], Tagged(3));
    ASSERT_TRUE(doc.Timeline().Insert(7, doc.GetProject().templates[1], false,
                                      doc.GetProject().templateExtras[1]));
    EXPECT_EQ(Pairs(doc.GetProject().tracks[7]), (P{{3, 3}}));

    // Undo takes the extras back with the events.
    doc.Undo();
    EXPECT_EQ(doc.GetProject().tracks[7].Count(), 0u);
    doc.Undo();
    EXPECT_TRUE(doc.GetProject().templateExtras[1].IsDefault());
}

TEST(EventExtras, TheJournalGivesThemBack) {
    std::unique_ptr<Project> project = Project::Create();
    std::vector<TrackEvent> events{LabelledEvent(0, 1), LabelledEvent(5, 2)};
    ASSERT_TRUE(project->tracks[9].InsertSorted(events.data(), 2));
    ASSERT_TRUE(project->tracks[9].SetExtras(1, Tagged(6)));
    project->templates[4] = LabelledEvent(0, 3);
    project->templateExtras[4] = Tagged(5);

    journal::RecordBuilder begin;
    begin.Begin(u"");
    journal::RecordBuilder state;
    state.State(*project, journal::Everything(*project), journal::kStateWhole, 1);
    std::vector<uint8_t> bytes;
    for (journal::RecordBuilder* record : {&begin, &state}) {
        for (const auto& piece : record->Pieces()) {
            bytes.insert(bytes.end(), record->Data(piece), record->Data(piece) + piece.size);
        }
    }
    std::unique_ptr<Project> restored = Project::Create();
    journal::Recovered info;
    ASSERT_EQ(journal::Read(bytes.data(), bytes.size(), info, restored.get()),
              journal::ReadResult::Restorable);
    EXPECT_EQ(Pairs(restored->tracks[9]), (P{{1, 0}, {2, 6}}));
    EXPECT_EQ(restored->templateExtras[4], Tagged(5));
    EXPECT_EQ(*restored->tracks[9].ExtrasAt(1).effectParams, *Tagged(6).effectParams);
}

}  // namespace
}  // namespace kelvane
