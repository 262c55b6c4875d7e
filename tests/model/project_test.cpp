#include "model/Project.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "model/EventColour.h"
#include "model/EventDefaults.h"
#include "model/EventTemplate.h"
#include "support/EventBuilders.h"

namespace kelvane {
namespace {

using testing::LabelledEvent;

std::unique_ptr<Project> NewProject() {
    std::unique_ptr<Project> project = Project::Create();
    project->ApplyDefaults();
    return project;
}

void CopyText(PathBuffer& path, std::u16string_view text) {
    std::memset(path, 0, sizeof(PathBuffer));
    std::memcpy(path, text.data(), text.size() * sizeof(char16_t));
}

TEST(Project, StartsEmptyWithPreDefaultSettings) {
    std::unique_ptr<Project> project = Project::Create();
    ASSERT_TRUE(project);
    EXPECT_EQ(project->settings.frameRate, 1.0);
    EXPECT_EQ(project->settings.frameDuration, 10'000'000);
    EXPECT_EQ(project->settings.width, 0u);
    EXPECT_EQ(project->settings.length, 0u);
    for (const FileEntry& entry : project->files) {
        ASSERT_FALSE(entry.Used());
        ASSERT_EQ(entry.currentFrame, -1);
    }
    for (const Track& track : project->tracks) {
        ASSERT_FALSE(track.HasArray());
    }
    for (const EventTemplate& slot : project->templates) {
        ASSERT_FALSE(TemplateInUse(slot));
    }
}

TEST(Project, DefaultsOfANewProject) {
    std::unique_ptr<Project> project = Project::Create();
    CopyText(project->settings.basePath, u"\\old");
    project->settings.defaultDrawMethod = 3;
    project->CopyDefaultMethodToTracks();
    project->ApplyDefaults();
    const ProjectSettings& s = project->settings;
    EXPECT_EQ(s.basePath[0], 0);
    EXPECT_EQ(s.width, 320u);
    EXPECT_EQ(s.height, 240u);
    EXPECT_EQ(s.frameRate, 30.0);
    EXPECT_EQ(s.frameDuration, 333333);
    EXPECT_EQ(s.frameDuration, RoundedFrameDuration(30.0));
    EXPECT_EQ(s.length, 1u);
    EXPECT_EQ(s.background, 0u);
    EXPECT_EQ(s.defaultDrawMethod, 0);
    EXPECT_EQ(project->tracks[255].EvalState().defaultMethod, 0);
}

TEST(Project, FrameDurationsFromARate) {
    EXPECT_EQ(RoundedFrameDuration(24.0), 416667);
    EXPECT_EQ(TruncatedFrameDuration(24.0), 416666);
    EXPECT_EQ(RoundedFrameDuration(29.97), 333667);
    EXPECT_EQ(TruncatedFrameDuration(30.0), 333333);
}

class RateChange : public ::testing::Test {
  protected:
    void SetUp() override {
        project_ = NewProject();
        TrackEvent a = LabelledEvent(300, 1);
        a.step = 333333;
        a.position = 1234567;
        TrackEvent b = LabelledEvent(301, 2);
        b.step = -333333;
        const TrackEvent batch[] = {a, b};
        ASSERT_TRUE(project_->tracks[4].InsertSorted(batch, 2));
        project_->templates[63].step = 333333;  // unused slots are rescaled too
        CopyText(base_, u"\\media");
    }

    void Apply(bool rescale, double rate, uint32_t length = 900) {
        project_->ApplySettings(rescale, 640, 480, length, 0x00112233, 2, rate, base_);
    }

    std::unique_ptr<Project> project_;
    PathBuffer base_{};
};

TEST_F(RateChange, RescaleKeepsTimesOfStartsStepsAndLength) {
    Apply(true, 24.0);
    const TrackEvent* events = project_->tracks[4].Events();
    EXPECT_EQ(events[0].start, 240u);
    EXPECT_EQ(events[0].step, 416666);  // 333333 x 30 / 24, truncated
    EXPECT_EQ(events[0].position, 1234567);
    EXPECT_EQ(events[1].start, 240u);  // distinct starts may meet, never cross
    EXPECT_EQ(events[1].step, -416666);
    EXPECT_EQ(project_->templates[63].step, 416666);
    const ProjectSettings& s = project_->settings;
    EXPECT_EQ(s.length, 720u);
    EXPECT_EQ(s.frameRate, 24.0);
    EXPECT_EQ(s.frameDuration, 416667);
    EXPECT_EQ(s.width, 640u);
    EXPECT_EQ(s.height, 480u);
    EXPECT_EQ(s.background, 0x00112233u);
    EXPECT_EQ(s.defaultDrawMethod, 2);
    EXPECT_EQ(std::u16string(s.basePath), u"\\media");
    EXPECT_EQ(project_->tracks[0].EvalState().defaultMethod, 2);
}

TEST_F(RateChange, WithoutRescaleTheNumbersStay) {
    Apply(false, 24.0);
    EXPECT_EQ(project_->tracks[4].Events()[0].start, 300u);
    EXPECT_EQ(project_->tracks[4].Events()[0].step, 333333);
    EXPECT_EQ(project_->settings.length, 900u);
    EXPECT_EQ(project_->settings.frameDuration, 416667);
}

TEST_F(RateChange, ExtremeStartsSaturateAndStaySorted) {
    TrackEvent far = LabelledEvent(0xF0000000u, 3);
    ASSERT_TRUE(project_->tracks[4].InsertSorted(&far, 1));
    Apply(true, 1000.0, 0x100000);
    const TrackEvent* events = project_->tracks[4].Events();
    EXPECT_EQ(events[0].start, 10000u);
    EXPECT_EQ(events[2].start, 0xFFFFFFFFu);
    EXPECT_EQ(project_->settings.length, 34952533u);  // the caller cuts it to the maximum
}

TEST(EventTemplate, KeyLabels) {
    std::u16string labels;
    for (size_t i = 0; i < kTemplateSlots; ++i) {
        labels.push_back(TemplateKeyLabel(i));
    }
    EXPECT_EQ(labels, u"1234567890ASDFGHJKLZXCVBNM" + std::u16string(38, u' '));
}

TEST(EventTemplate, StoringASlotDropsTheStart) {
    EventTemplate slot{};
    StoreTemplate(slot, LabelledEvent(77, 5));
    EXPECT_EQ(slot.start, 0u);
    EXPECT_EQ(slot.fileId, 5);
    EXPECT_TRUE(TemplateInUse(slot));
}

TEST(EventDefaults, DependOnTheKindOfTheDroppedFile) {
    std::unique_ptr<Project> project = NewProject();
    project->files[1].kind = FileKind::Movie;
    project->files[2].kind = FileKind::Image;
    project->files[3].kind = FileKind::Effect;

    const TrackEvent movie = NewEventDefaults(*project, 1, 40, 64, 48);
    EXPECT_EQ(movie.flags, 9u);
    EXPECT_EQ(movie.start, 40u);
    EXPECT_EQ(movie.fileId, 1);
    EXPECT_EQ(movie.step, 333333);
    EXPECT_EQ(movie.right, 64);
    EXPECT_EQ(movie.bottom, 48);
    EXPECT_EQ(movie.colour, 0x00FFFFFFu);
    EXPECT_EQ(movie.scale, 1.0f);
    EXPECT_EQ(movie.drawMethod, 0);

    const TrackEvent picture = NewEventDefaults(*project, 2, 0, 10, 20);
    EXPECT_EQ(picture.step, 0);
    EXPECT_EQ(picture.right, 10);

    const TrackEvent effect = NewEventDefaults(*project, 3, 0, 10, 20);
    EXPECT_EQ(effect.right, 320);
    EXPECT_EQ(effect.bottom, 240);
}

TEST(FileEntry, ReleaseEmptiesTheSlotButKeepsTheReferenceDuration) {
    struct Counted : LoadedSource {
        explicit Counted(int& alive) : alive_(alive) { ++alive_; }
        ~Counted() override { --alive_; }
        int& alive_;
    };
    int alive = 0;
    FileEntry entry;
    entry.kind = FileKind::Text;
    entry.loaded = std::make_unique<Counted>(alive);
    ASSERT_TRUE(entry.SetText(u"abc"));
    EXPECT_EQ(entry.textLength, 3u);
    entry.colour = TextKeyColour(0x00FFFFFF);
    EXPECT_EQ(entry.colour, 0x007F7F7Fu);
    EXPECT_EQ(entry.TextColour(), 0x00FFFFFFu);
    entry.referenceDuration = 400000;
    entry.font.weight = 400;
    entry.path[0] = u'x';
    entry.currentFrame = 3;

    entry.Release();
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(entry.kind, FileKind::None);
    EXPECT_EQ(entry.textLength, 0u);
    EXPECT_TRUE(entry.text.empty());
    EXPECT_EQ(entry.path[0], 0);
    EXPECT_EQ(entry.colour, 0u);
    EXPECT_EQ(entry.font.weight, 0);
    EXPECT_EQ(entry.currentFrame, -1);
    EXPECT_EQ(entry.referenceDuration, 400000);

    ASSERT_TRUE(entry.SetText(u""));
    EXPECT_EQ(entry.textLength, 0u);
    EXPECT_EQ(entry.text.c_str()[0], 0);  // the terminator is always there
}

TEST(FileEntry, ExchangingSlotsMovesTheLoadedObject) {
    std::unique_ptr<Project> project = NewProject();
    project->files[5].kind = FileKind::Image;
    struct Picture : LoadedSource {};
    project->files[5].loaded = std::make_unique<Picture>();
    LoadedSource* loaded = project->files[5].loaded.get();
    std::swap(project->files[5], project->files[9]);
    EXPECT_EQ(project->files[9].loaded.get(), loaded);
    EXPECT_EQ(project->files[9].kind, FileKind::Image);
    EXPECT_FALSE(project->files[5].Used());
    EXPECT_EQ(project->files[5].loaded, nullptr);
}

}  // namespace
}  // namespace kelvane

namespace kelvane {
namespace {

TEST(FileEntry, DescriptorCopyLeavesTheLoadedObjectBehind) {
    struct Picture : LoadedSource {};
    FileEntry live;
    live.kind = FileKind::Text;
    live.loaded = std::make_unique<Picture>();
    ASSERT_TRUE(live.SetText(u"テキスト"));
    live.colour = 0x00123456;
    live.font.height = 24;
    live.font.faceName[0] = u'M';
    live.referenceDuration = 7;
    live.path[0] = u'p';
    live.currentFrame = 4;

    FileEntry snapshot;
    snapshot.kind = FileKind::Image;
    snapshot.loaded = std::make_unique<Picture>();
    ASSERT_TRUE(snapshot.CopyDescriptorFrom(live));
    EXPECT_EQ(snapshot.kind, FileKind::Text);
    EXPECT_EQ(snapshot.loaded, nullptr);
    EXPECT_EQ(snapshot.text, u"テキスト");
    EXPECT_EQ(snapshot.textLength, 4u);
    EXPECT_EQ(snapshot.colour, 0x00123456u);
    EXPECT_EQ(std::memcmp(&snapshot.font, &live.font, sizeof(LogFont)), 0);
    EXPECT_EQ(snapshot.referenceDuration, 7);
    EXPECT_EQ(snapshot.path[0], u'p');
    EXPECT_EQ(snapshot.currentFrame, -1);
}

TEST(EventColour, OpacityZeroStandsForOpaque) {
    EXPECT_EQ(EventOpacity(0x00FFFFFF), 256u);
    EXPECT_EQ(EventOpacity(0x01FFFFFF), 1u);
    EXPECT_EQ(WithOpacity(0xAB123456, 256), 0x00123456u);
    EXPECT_EQ(WithOpacity(0x00123456, 128), 0x80123456u);
}

}  // namespace
}  // namespace kelvane
