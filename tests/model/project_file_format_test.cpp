#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "model/ProjectFile.h"
#include "model/TrackEvent.h"
#include "project_file_support.h"

namespace kelvane {
namespace {

using testing::FakeLoader;
using testing::FileBytes;
using testing::NewProject;
using testing::ScriptedPrompt;
using testing::SetPath;

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t v;
    std::memcpy(&v, bytes.data() + offset, sizeof(v));
    return v;
}

TrackEvent SampleEvent(uint32_t start, int32_t fileId, int32_t salt) {
    TrackEvent e{};
    e.flags = kEventUsed | (salt % 2 ? kEventParametric : kEventInterpolate);
    e.start = start;
    e.fileId = fileId;
    e.drawMethod = salt % 5;
    e.position = -123456789012LL * salt;
    e.step = 333333 * salt;
    e.left = -salt;
    e.top = 2 * salt;
    e.right = 300 + salt;
    e.bottom = 200 + salt;
    e.colour = 0x80FFEEDDu + uint32_t(salt);
    e.blendMode = salt % 7;
    for (int i = 0; i < 9; ++i) {
        e.matrix[i] = float(i) + 0.25f * float(salt);
        e.inverse[i] = -float(i) - 0.5f;
    }
    e.referenceX = 1.5f;
    e.referenceY = -2.5f;
    e.scale = 0.75f;
    e.rotation = 33.0f;
    e.positionX = 100.0f;
    e.positionY = -7.0f;
    return e;
}

struct ReadResult {
    std::unique_ptr<Project> project;
    bool ok = false;
};

ReadResult ReadBytes(const std::vector<uint8_t>& bytes, FakeLoader& loader,
                     ScriptedPrompt& prompt) {
    ReadResult r;
    r.project = Project::Create();
    r.ok = ProjectFile::ReadFromMemory(bytes.data(), bytes.size(), u"/projects", *r.project, loader,
                                       prompt);
    return r;
}

// A project with an entry of every kind, events on two tracks and two templates.
std::unique_ptr<Project> FullProject() {
    std::unique_ptr<Project> p = NewProject();
    SetPath(p->settings.basePath, u"\\\\server\\media");
    p->settings.width = 1280;
    p->settings.height = 720;
    p->settings.frameRate = 23.976;
    p->settings.length = 9000;
    p->settings.background = 0x00203040;
    p->settings.defaultDrawMethod = 4;

    FileEntry& movie = p->files[0];
    movie.kind = FileKind::Movie;
    movie.referenceDuration = 417083;
    SetPath(movie.path, u"\\clips\\a.avi");
    movie.colour = 0x00123456;
    FileEntry& picture = p->files[7];
    picture.kind = FileKind::Image;
    SetPath(picture.path, u"/abs/pic.png");
    picture.colour = kNoTransparentColour;
    FileEntry& text = p->files[8];
    text.kind = FileKind::Text;
    text.SetText(u"字幕テキスト");
    text.colour = TextKeyColour(0x00FF8000);
    text.font.height = -24;
    text.font.weight = 700;
    text.font.italic = 1;
    text.font.quality = kFontQualityAntialiased;
    std::memcpy(text.font.faceName, u"Noto Sans", 10 * sizeof(char16_t));
    FileEntry& effect = p->files[9];
    effect.kind = FileKind::Effect;
    SetPath(effect.path, u"\\effect.so>モザイク");
    FileEntry& nested = p->files[1023];
    nested.kind = FileKind::Project;
    SetPath(nested.path, u"\\sub.xqm");
    nested.colour = 0x0000FF00;

    const TrackEvent batch0[] = {SampleEvent(0, 0, 1), SampleEvent(10, 7, 2),
                                 SampleEvent(10, 8, 3)};
    p->tracks[0].InsertSorted(batch0, 3);
    const TrackEvent batch255[] = {SampleEvent(0xFFFFFFF0u, 1023, 6)};
    p->tracks[255].InsertSorted(batch255, 1);
    p->tracks[3].Reset(0);  // an array with only the sentinel is not written
    StoreTemplate(p->templates[0], SampleEvent(5, 9, 4));
    StoreTemplate(p->templates[63], SampleEvent(0, 8, 5));
    p->templates[10] = SampleEvent(0, 1, 1);
    p->templates[10].flags = kEventSelected;  // not in use: not written
    return p;
}

void ExpectSameEvents(std::span<const TrackEvent> a, std::span<const TrackEvent> b) {
    ASSERT_EQ(a.size(), b.size());
    if (!a.empty()) {
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size_bytes()), 0);
    }
}

TEST(ProjectFileFormat, EmptyProjectIsMagicVersionSettingsAndEnd) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ProjectFile::WriteToMemory(*NewProject(), bytes));
    ASSERT_EQ(bytes.size(), 568u);
    EXPECT_EQ(std::memcmp(bytes.data(), "MPRJ", 4), 0);
    EXPECT_EQ(U32At(bytes, 4), 1u);
    EXPECT_EQ(U32At(bytes, 8), 0x00020000u);
    EXPECT_EQ(U32At(bytes, 12), 3u);
    EXPECT_EQ(U32At(bytes, 16 + 520), 320u);
    EXPECT_EQ(U32At(bytes, 16 + 524), 240u);
    double rate;
    std::memcpy(&rate, bytes.data() + 16 + 528, 8);
    EXPECT_EQ(rate, 30.0);
    EXPECT_EQ(U32At(bytes, 16 + 536), 1u);  // length
    EXPECT_EQ(U32At(bytes, 564), 2u);
}

TEST(ProjectFileFormat, TextBlocksArePaddedToFourBytes) {
    struct Case {
        std::u16string text;
        uint32_t blockBytes;
    };
    for (const Case& c : {Case{u"abc", 8}, Case{u"abcd", 12}, Case{u"", 4}}) {
        std::unique_ptr<Project> p = NewProject();
        p->files[5].kind = FileKind::Text;
        p->files[5].SetText(c.text);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ProjectFile::WriteToMemory(*p, bytes));
        // After the settings: tag, ID, kind, key colour, font, L, block; then the end tag.
        ASSERT_EQ(bytes.size(), 568u + 4 * 4 + 92 + 4 + c.blockBytes) << c.blockBytes;
        EXPECT_EQ(U32At(bytes, 564), 4u);
        EXPECT_EQ(U32At(bytes, 568), 5u);
        EXPECT_EQ(U32At(bytes, 572), 3u);
        EXPECT_EQ(U32At(bytes, 580 + 92), c.blockBytes);
        std::vector<uint8_t> expected(c.blockBytes, 0);
        std::memcpy(expected.data(), c.text.data(), c.text.size() * 2);
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 676, bytes.begin() + 676 + c.blockBytes),
                  expected);
    }
}

TEST(ProjectFileFormat, EveryKindRoundTrips) {
    std::unique_ptr<Project> original = FullProject();
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ProjectFile::WriteToMemory(*original, bytes));
    FakeLoader loader;
    ScriptedPrompt prompt;
    ReadResult read = ReadBytes(bytes, loader, prompt);
    ASSERT_TRUE(read.ok);
    const Project& p = *read.project;
    EXPECT_TRUE(prompt.questions.empty());

    EXPECT_EQ(PathView(p.settings.basePath), u"\\\\server\\media");
    EXPECT_EQ(p.settings.width, 1280u);
    EXPECT_EQ(p.settings.height, 720u);
    EXPECT_EQ(p.settings.frameRate, 23.976);
    EXPECT_EQ(p.settings.frameDuration, 417083);  // truncated; rounding would give 417084
    EXPECT_EQ(p.settings.length, 9000u);
    EXPECT_EQ(p.settings.background, 0x00203040u);
    EXPECT_EQ(p.settings.defaultDrawMethod, 4);
    EXPECT_EQ(p.tracks[17].EvalState().defaultMethod, 4);
    EXPECT_EQ(PathView(p.projectFolder), u"/projects");

    for (size_t id = 0; id < kFileSlots; ++id) {
        const FileEntry& a = original->files[id];
        const FileEntry& b = p.files[id];
        ASSERT_EQ(a.kind, b.kind) << id;
        if (!a.Used()) {
            continue;
        }
        EXPECT_TRUE(b.loaded) << id;
        EXPECT_EQ(PathView(a.path), PathView(b.path)) << id;
        EXPECT_EQ(a.text, b.text) << id;
        EXPECT_EQ(b.textLength, b.text.size()) << id;
        EXPECT_EQ(std::memcmp(&a.font, &b.font, sizeof(LogFont)), 0) << id;
        if (a.kind != FileKind::Effect) {
            EXPECT_EQ(a.colour, b.colour) << id;
        }
    }
    EXPECT_EQ(p.files[0].referenceDuration, 417083);
    EXPECT_EQ(p.files[8].TextColour(), 0x00FF8000u);
    EXPECT_EQ(loader.texts, std::vector<std::u16string>{u"字幕テキスト"});
    EXPECT_EQ(loader.opened, (std::vector<std::u16string>{u"\\clips\\a.avi", u"/abs/pic.png",
                                                          u"\\effect.so>モザイク", u"\\sub.xqm"}));

    for (size_t t = 0; t < kTrackCount; ++t) {
        ExpectSameEvents(original->tracks[t].EventSpan(), p.tracks[t].EventSpan());
    }
    EXPECT_FALSE(p.tracks[3].HasArray());
    EXPECT_EQ(std::memcmp(original->templates.data(), p.templates.data(), sizeof(TrackEvent) * 10),
              0);
    EXPECT_FALSE(TemplateInUse(p.templates[10]));
    EXPECT_EQ(std::memcmp(&original->templates[63], &p.templates[63], sizeof(TrackEvent)), 0);

    std::vector<uint8_t> again;
    ASSERT_TRUE(ProjectFile::WriteToMemory(p, again));
    EXPECT_EQ(again, bytes);
}

TEST(ProjectFileFormat, WriterRefusesWhatItCouldNotReadBack) {
    std::unique_ptr<Project> p = NewProject();
    std::vector<uint8_t> bytes = {1, 2, 3};
    p->files[4].kind = FileKind(9);
    EXPECT_FALSE(ProjectFile::WriteToMemory(*p, bytes));
    p->files[4].kind = FileKind::Image;
    std::fill(std::begin(p->files[4].path), std::end(p->files[4].path), u'x');
    EXPECT_FALSE(ProjectFile::WriteToMemory(*p, bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3}));
    // Whatever lies after a path's terminator stays out of the file.
    SetPath(p->files[4].path, u"a.bmp");
    p->files[4].path[200] = u'!';
    ASSERT_TRUE(ProjectFile::WriteToMemory(*p, bytes));
    EXPECT_EQ(U32At(bytes, 576 + 400), 0u);
}

// A record as versions 1.0 and 1.1 lay it out: no blend mode, geometry four bytes earlier.
std::vector<uint8_t> OldRecord(const TrackEvent& e) {
    std::vector<uint8_t> r(152, 0);
    std::memcpy(r.data(), &e, 52);
    std::memcpy(r.data() + 52, e.matrix, 36);
    std::memcpy(r.data() + 88, e.inverse, 36);
    std::memcpy(r.data() + 124, &e.referenceX, 24);
    std::memset(r.data() + 148, 0xAB, 4);  // ignored
    return r;
}

TrackEvent Converted(TrackEvent e, bool keepMethod) {
    e.blendMode = 0;
    if (!keepMethod) {
        e.drawMethod = 0;
    }
    return e;
}

TEST(ProjectFileFormat, OldVersionsConvertRecordsAndSettings) {
    struct Case {
        uint32_t version;
        bool hasMethods;
    };
    for (const Case& c : {Case{0x00010000, false}, Case{0, false}, Case{0x00010001, true}}) {
        const TrackEvent a = SampleEvent(3, 1, 3);
        const TrackEvent b = SampleEvent(9, 2, 4);
        const TrackEvent t = SampleEvent(0, 5, 2);
        FileBytes f;
        f.Magic().Version(c.version).Settings(640, 480, 25.0, c.hasMethods, 3);
        f.TrackChunk(7, {OldRecord(a), OldRecord(b)});
        f.U32(6).U32(2);
        std::vector<uint8_t> tr = OldRecord(t);
        f.Raw(tr.data(), tr.size()).End();

        FakeLoader loader;
        ScriptedPrompt prompt;
        ReadResult read = ReadBytes(f.bytes, loader, prompt);
        ASSERT_TRUE(read.ok) << c.version;
        const Project& p = *read.project;
        EXPECT_EQ(p.settings.defaultDrawMethod, c.hasMethods ? 3 : 1);
        EXPECT_EQ(p.tracks[0].EvalState().defaultMethod, c.hasMethods ? 3 : 1);
        EXPECT_EQ(p.settings.frameDuration, 400000);
        const TrackEvent expected[] = {Converted(a, c.hasMethods), Converted(b, c.hasMethods)};
        ExpectSameEvents(p.tracks[7].EventSpan(), expected);
        const TrackEvent expectedTemplate = Converted(t, c.hasMethods);
        EXPECT_EQ(std::memcmp(&p.templates[2], &expectedTemplate, sizeof(TrackEvent)), 0);

        // Saved again, it is a 2.0 file that reads back the same.
        std::vector<uint8_t> saved;
        ASSERT_TRUE(ProjectFile::WriteToMemory(p, saved));
        EXPECT_EQ(U32At(saved, 8), 0x00020000u);
        ReadResult again = ReadBytes(saved, loader, prompt);
        ASSERT_TRUE(again.ok);
        ExpectSameEvents(again.project->tracks[7].EventSpan(), expected);
        EXPECT_EQ(again.project->settings.defaultDrawMethod, c.hasMethods ? 3 : 1);
    }
}

TEST(ProjectFileFormat, VersionsBetween11And20ReadAs20) {
    const TrackEvent e = SampleEvent(1, 0, 6);
    FileBytes f;
    f.Magic().Version(0x00010002).Settings();
    f.U32(5).U32(0).U32(1).Raw(&e, sizeof(e)).End();
    FakeLoader loader;
    ScriptedPrompt prompt;
    ReadResult read = ReadBytes(f.bytes, loader, prompt);
    ASSERT_TRUE(read.ok);
    ExpectSameEvents(read.project->tracks[0].EventSpan(), std::span(&e, 1));
}

TEST(ProjectFileFormat, SkipChunksArePassedOverAnywhere) {
    const TrackEvent e = SampleEvent(4, 0, 2);
    FileBytes f;
    f.Magic().U32(0).U32(0);
    f.Version(0x00020000).U32(0).U32(3).Raw("abc", 3);
    f.Settings().U32(0).U32(5).Raw("MPRJ\x02", 5);
    f.Picture(0, u"a.bmp").U32(0).U32(1).Raw("\x04", 1);
    f.U32(5).U32(1).U32(1).Raw(&e, sizeof(e)).U32(0).U32(0).End();
    FakeLoader loader;
    ScriptedPrompt prompt;
    ReadResult read = ReadBytes(f.bytes, loader, prompt);
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.project->settings.width, 640u);
    EXPECT_EQ(read.project->files[0].kind, FileKind::Image);
    EXPECT_EQ(read.project->tracks[1].Count(), 1u);
}

TEST(ProjectFileFormat, LaterChunksReplaceEarlierOnes) {
    const TrackEvent a = SampleEvent(1, 0, 1);
    const TrackEvent b = SampleEvent(2, 0, 2);
    TrackEvent t1 = SampleEvent(0, 0, 3);
    TrackEvent t2 = SampleEvent(0, 0, 4);
    FileBytes f;
    f.Magic().Version(0x00020000).Settings(640, 480).Settings(800, 600, 50.0);
    f.Picture(3, u"first.bmp", 0x000000FF);
    f.U32(4).U32(3).U32(4).Path(u"second.so");  // an effect now, with no colour of its own
    f.Picture(4, u"kept.bmp", 0x0000FF00);
    f.U32(4).U32(4).U32(2).Path(u"gone.bmp").U32(0);
    f.U32(5).U32(9).U32(2).Raw(&a, sizeof(a)).Raw(&b, sizeof(b));
    f.U32(5).U32(9).U32(1).Raw(&b, sizeof(b));
    f.U32(6).U32(1).Raw(&t1, sizeof(t1)).U32(6).U32(1).Raw(&t2, sizeof(t2)).End();
    FakeLoader loader;
    loader.failing.insert(u"gone.bmp");
    ScriptedPrompt prompt(true);
    ReadResult read = ReadBytes(f.bytes, loader, prompt);
    ASSERT_TRUE(read.ok);
    const Project& p = *read.project;
    EXPECT_EQ(p.settings.width, 800u);
    EXPECT_EQ(p.settings.frameDuration, 200000);
    EXPECT_EQ(p.files[3].kind, FileKind::Effect);
    EXPECT_EQ(PathView(p.files[3].path), u"second.so");
    EXPECT_EQ(p.files[3].colour, kNoTransparentColour);
    // The later chunk's file failed to load: the slot is empty, not the earlier picture.
    EXPECT_FALSE(p.files[4].Used());
    EXPECT_FALSE(p.files[4].loaded);
    ExpectSameEvents(p.tracks[9].EventSpan(), std::span(&b, 1));
    EXPECT_EQ(std::memcmp(&p.templates[1], &t2, sizeof(TrackEvent)), 0);
}

TEST(ProjectFileFormat, TrailingBytesAfterTheEndAreIgnored) {
    FileBytes f;
    f.Magic().Version(0x00020000).Settings().End().Raw("garbage", 7);
    FakeLoader loader;
    ScriptedPrompt prompt;
    EXPECT_TRUE(ReadBytes(f.bytes, loader, prompt).ok);
}

TEST(ProjectFileFormat, OutOfOrderEventsAreSortedStably) {
    const TrackEvent e[] = {SampleEvent(9, 1, 1), SampleEvent(2, 2, 2), SampleEvent(9, 3, 3),
                            SampleEvent(0, 4, 4)};
    FileBytes f;
    f.Magic().Version(0x00020000).U32(5).U32(0).U32(4).Raw(e, sizeof(e)).End();
    FakeLoader loader;
    ScriptedPrompt prompt;
    ReadResult read = ReadBytes(f.bytes, loader, prompt);
    ASSERT_TRUE(read.ok);
    std::vector<int32_t> ids;
    for (const TrackEvent& event : read.project->tracks[0].EventSpan()) {
        ids.push_back(event.fileId);
    }
    EXPECT_EQ(ids, (std::vector<int32_t>{4, 2, 1, 3}));
    EXPECT_EQ(read.project->tracks[0].Events()[4].start, 0xFFFFFFFFu);
}

}  // namespace
}  // namespace kelvane
