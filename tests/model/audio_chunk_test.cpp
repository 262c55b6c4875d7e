#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "model/AudioChunk.h"
#include "model/EventTemplate.h"
#include "model/JournalFormat.h"
#include "model/ProjectFile.h"
#include "platform/FailureNote.h"
#include "project_file_support.h"

namespace kelvane {
namespace {

using testing::FakeLoader;
using testing::NewProject;
using testing::ScriptedPrompt;

TrackEvent At(uint32_t start) {
    TrackEvent e{};
    e.flags = kEventUsed;
    e.start = start;
    return e;
}

// Two tracks of events and a template slot in use, all with the default sound.
std::unique_ptr<Project> PlainProject() {
    auto p = NewProject();
    const TrackEvent events[] = {At(0), At(5), At(9)};
    EXPECT_TRUE(p->tracks[3].InsertSorted(events, 3));
    EXPECT_TRUE(p->tracks[255].InsertSorted(events, 1));
    StoreTemplate(p->templates[63], At(0));
    return p;
}

std::vector<uint8_t> Bytes(const Project& p) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ProjectFile::WriteToMemory(p, bytes));
    return bytes;
}

std::unique_ptr<Project> Read(const std::vector<uint8_t>& bytes, bool& ok) {
    auto p = Project::Create();
    FakeLoader loader;
    ScriptedPrompt prompt;
    ok = ProjectFile::ReadFromMemory(bytes.data(), bytes.size(), u"/p", *p, loader, prompt);
    return p;
}

EventExtras Level(float volume, bool muted) {
    EventExtras e;
    e.volume = volume;
    e.audioFlags = muted ? kAudioMuted : 0;
    return e;
}

// Volumes and mutes of events, template slots and whole tracks survive the file; a project
// without them is written byte for byte as before, and one with them only gains a skip chunk
// that readers of older versions pass over.
TEST(AudioChunk, RoundTripsAndLeavesProjectsWithoutSoundAlone) {
    auto plain = PlainProject();
    const std::vector<uint8_t> before = Bytes(*plain);
    EXPECT_TRUE(audio_chunk::Body(*plain).empty());
    // Untouched sound settings add nothing; effect parameters are not this chunk's business.
    EventExtras params;
    params.effectParams = std::make_shared<const EffectParamList>();
    ASSERT_TRUE(plain->tracks[3].SetExtras(1, params));
    EXPECT_TRUE(audio_chunk::Body(*plain).empty());

    auto p = PlainProject();
    ASSERT_TRUE(p->tracks[3].SetExtras(2, Level(0.25f, false)));
    ASSERT_TRUE(p->tracks[255].SetExtras(0, Level(1.0f, true)));
    p->templateExtras[63] = Level(4.0f, true);
    p->tracks[3].SetSound(TrackSound{0.5f, false});
    p->tracks[17].SetSound(TrackSound{1.0f, true});  // a track without events
    const std::vector<uint8_t> with = Bytes(*p);
    // The file as before, with the chunk just before the end chunk: tag 0, size, "KAUD", ...
    const size_t chunk = 4 + 4 + 12 + 5 * 20;
    ASSERT_EQ(with.size(), before.size() + chunk);
    EXPECT_TRUE(std::equal(before.begin(), before.end() - 4, with.begin()));
    EXPECT_EQ(std::memcmp(with.data() + before.size() - 4 + 8, "KAUD", 4), 0);

    bool ok = false;
    auto back = Read(with, ok);
    ASSERT_TRUE(ok) << LastFailureNote().reason;
    EXPECT_EQ(back->tracks[3].ExtrasAt(2), Level(0.25f, false));
    EXPECT_EQ(back->tracks[3].ExtrasAt(0), DefaultExtras());
    EXPECT_EQ(back->tracks[255].ExtrasAt(0), Level(1.0f, true));
    EXPECT_EQ(back->templateExtras[63], Level(4.0f, true));
    EXPECT_EQ(back->tracks[3].Sound(), (TrackSound{0.5f, false}));
    EXPECT_EQ(back->tracks[17].Sound(), (TrackSound{1.0f, true}));
    EXPECT_EQ(Bytes(*back), with);

    // A skip chunk of another name is passed over.
    std::vector<uint8_t> other = before;
    const uint8_t foreign[] = {0, 0, 0, 0, 8, 0, 0, 0, 'Z', 'Z', 'Z', 'Z', 1, 2, 3, 4};
    other.insert(other.end() - 4, std::begin(foreign), std::end(foreign));
    auto skipped = Read(other, ok);
    EXPECT_TRUE(ok);
}

// A malformed chunk refuses the file with the reason.
TEST(AudioChunk, MalformedChunksRefuseTheFile) {
    auto p = PlainProject();
    p->tracks[3].SetSound(TrackSound{0.5f, false});
    const std::vector<uint8_t> good = Bytes(*p);
    // Offsets into the body of the one record the chunk holds.
    const size_t body = good.size() - 4 - 12 - 20;
    struct Case {
        const char* name;
        size_t offset;
        uint32_t value;
        const char* says;
    };
    const Case cases[] = {
        {"version", body + 4, 2, "バージョン 2"},
        {"count past the body", body + 8, 2, "2 個"},
        {"kind", body + 12, 3, "種類 3"},
        {"track", body + 16, 256, "トラック 256"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bad = good;
        std::memcpy(bad.data() + c.offset, &c.value, 4);
        bool ok = true;
        Read(bad, ok);
        EXPECT_FALSE(ok);
        EXPECT_NE(LastFailureNote().reason.find(c.says), std::string::npos)
            << LastFailureNote().reason;
        EXPECT_NE(LastFailureNote().reason.find("KAUD"), std::string::npos);
    }
    // An event past its track's events, and a template slot that is not in use.
    const auto record = [&](uint32_t kind, uint32_t number, uint32_t index) {
        std::vector<uint8_t> bad = good;
        const uint32_t fields[] = {kind, number, index};
        std::memcpy(bad.data() + body + 12, fields, sizeof(fields));
        bool ok = true;
        Read(bad, ok);
        return ok;
    };
    EXPECT_TRUE(record(0, 3, 2));
    EXPECT_FALSE(record(0, 3, 3));
    EXPECT_FALSE(record(0, 4, 0));
    EXPECT_TRUE(record(1, 63, 0));
    EXPECT_FALSE(record(1, 62, 0));
    EXPECT_FALSE(record(1, 64, 0));
}

std::unique_ptr<Project> ThroughJournal(const Project& before, const Project& now) {
    journal::RecordBuilder begin;
    begin.Begin(u"");
    journal::RecordBuilder whole;
    whole.State(before, journal::Everything(before), journal::kStateWhole, 1);
    journal::RecordBuilder edit;
    edit.State(now, journal::Compare(before, now), 0, 2);
    std::vector<uint8_t> bytes;
    for (journal::RecordBuilder* record : {&begin, &whole, &edit}) {
        for (const auto& piece : record->Pieces()) {
            bytes.insert(bytes.end(), record->Data(piece), record->Data(piece) + piece.size);
        }
    }
    auto restored = Project::Create();
    journal::Recovered info;
    EXPECT_EQ(journal::Read(bytes.data(), bytes.size(), info, restored.get()),
              journal::ReadResult::Restorable);
    return restored;
}

// A track's volume and mute go wherever its events go: copies, shares (undo snapshots, render
// copies) and the crash journal, where changing them alone is an edit.
TEST(AudioChunk, TrackSoundTravelsWithTheTrack) {
    auto p = PlainProject();
    p->tracks[3].SetSound(TrackSound{0.5f, true});
    Track copy;
    ASSERT_TRUE(copy.CopyFrom(p->tracks[3]));
    EXPECT_EQ(copy.Sound(), (TrackSound{0.5f, true}));
    Track shared;
    shared.ShareFrom(p->tracks[3]);
    EXPECT_EQ(shared.Sound(), (TrackSound{0.5f, true}));

    auto before = PlainProject();
    before->tracks[3].SetSound(TrackSound{0.5f, true});
    before->tracks[40].SetSound(TrackSound{2.0f, false});  // no events
    auto now = PlainProject();
    for (size_t t = 0; t < now->tracks.size(); ++t) {
        now->tracks[t].ShareFrom(before->tracks[t]);
    }
    now->tracks[3].SetSound(TrackSound{0.75f, false});
    now->tracks[40].SetSound(TrackSound{});
    EXPECT_EQ(journal::Compare(*before, *now).tracks, (std::vector<uint32_t>{3, 40}));
    auto restored = ThroughJournal(*before, *now);
    EXPECT_EQ(restored->tracks[3].Sound(), (TrackSound{0.75f, false}));
    EXPECT_EQ(restored->tracks[40].Sound(), TrackSound{});
    EXPECT_EQ(restored->tracks[3].Count(), 3u);
}

}  // namespace
}  // namespace kelvane
