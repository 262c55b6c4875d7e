// Effect parameter values in the project file: the "KFXP" skip chunk written, read back, absent
// from projects that keep none, and refused with the reason when malformed.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "model/EffectParamChunk.h"
#include "model/EventExtras.h"
#include "model/ProjectFile.h"
#include "platform/FailureNote.h"
#include "project_file_support.h"

namespace kelvane {
namespace {

using testing::FakeLoader;
using testing::ScriptedPrompt;

EffectParamValue Value(uint32_t index, uint32_t type, std::array<double, 3> numbers,
                       std::string text = {}) {
    EffectParamValue v;
    v.index = index;
    v.type = type;
    v.numbers = numbers;
    v.text = std::move(text);
    return v;
}

std::shared_ptr<const EffectParamList> EveryType() {
    return std::make_shared<const EffectParamList>(EffectParamList{
        Value(0, 0, {0.25, 0, 0}), Value(1, 1, {1, 0, 0}), Value(2, 2, {0.1, 0.2, 0.3}),
        Value(3, 3, {0.5, 0.75, 0}), Value(7, 4, {0, 0, 0}, "グロー"), Value(8, 4, {}, "")});
}

std::unique_ptr<Project> ThreeEvents() {
    std::unique_ptr<Project> project = Project::Create();
    project->ApplyDefaults();
    TrackEvent events[3]{};
    for (uint32_t i = 0; i < 3; ++i) {
        events[i].flags = kEventUsed;
        events[i].start = i * 10;
    }
    EXPECT_TRUE(project->tracks[4].InsertSorted(events, 3));
    return project;
}

std::vector<uint8_t> Written(const Project& project) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ProjectFile::WriteToMemory(project, bytes));
    return bytes;
}

bool Read(const std::vector<uint8_t>& bytes, std::unique_ptr<Project>& out) {
    FakeLoader loader;
    ScriptedPrompt prompt;
    out = Project::Create();
    ClearFailureNote();
    return ProjectFile::ReadFromMemory(bytes.data(), bytes.size(), u"/p", *out, loader, prompt);
}

size_t Find(const std::vector<uint8_t>& bytes, const char* text) {
    const std::string_view needle(text);
    for (size_t i = 0; i + needle.size() <= bytes.size(); ++i) {
        if (std::memcmp(bytes.data() + i, needle.data(), needle.size()) == 0)
            return i;
    }
    return std::string::npos;
}

TEST(EffectParamChunk, ValuesOfEventsAndTemplatesComeBackAsTheyWere) {
    std::unique_ptr<Project> project = ThreeEvents();
    EventExtras extras;
    extras.effectParams = EveryType();
    ASSERT_TRUE(project->tracks[4].SetExtras(2, extras));
    project->templateExtras[63].effectParams = EveryType();

    const std::vector<uint8_t> bytes = Written(*project);
    std::unique_ptr<Project> back;
    ASSERT_TRUE(Read(bytes, back)) << LastFailureNote().reason;
    EXPECT_FALSE(back->tracks[4].ExtrasAt(0).effectParams);
    EXPECT_FALSE(back->tracks[4].ExtrasAt(1).effectParams);
    ASSERT_TRUE(back->tracks[4].ExtrasAt(2).effectParams);
    EXPECT_EQ(*back->tracks[4].ExtrasAt(2).effectParams, *EveryType());
    ASSERT_TRUE(back->templateExtras[63].effectParams);
    EXPECT_EQ(*back->templateExtras[63].effectParams, *EveryType());
    // Written again, the same bytes.
    EXPECT_EQ(Written(*back), bytes);
}

TEST(EffectParamChunk, ProjectsWithoutValuesCarryNoChunk) {
    std::unique_ptr<Project> project = ThreeEvents();
    const std::vector<uint8_t> bytes = Written(*project);
    EXPECT_EQ(Find(bytes, "KFXP"), std::string::npos);
    // The chunk is all that values add: without it the bytes are those of the project without.
    EventExtras extras;
    extras.effectParams = EveryType();
    ASSERT_TRUE(project->tracks[4].SetExtras(0, extras));
    std::vector<uint8_t> with = Written(*project);
    const size_t at = Find(with, "KFXP");
    ASSERT_NE(at, std::string::npos);
    uint32_t size;
    std::memcpy(&size, with.data() + at - 4, 4);
    with.erase(with.begin() + std::ptrdiff_t(at - 8), with.begin() + std::ptrdiff_t(at + size));
    EXPECT_EQ(with, bytes);
}

// One event's chunk, with the body's bytes at `offset` replaced, or with its last `offset` bytes
// cut off (the chunk's size saying so).
std::vector<uint8_t> Damaged(size_t offset, std::vector<uint8_t> replacement,
                             bool cutBody = false) {
    std::unique_ptr<Project> project = ThreeEvents();
    EventExtras extras;
    extras.effectParams = EveryType();
    EXPECT_TRUE(project->tracks[4].SetExtras(1, extras));
    std::vector<uint8_t> bytes = Written(*project);
    const size_t body = Find(bytes, "KFXP");
    if (cutBody) {
        uint32_t size;
        std::memcpy(&size, bytes.data() + body - 4, 4);
        const size_t end = body + size;
        size -= uint32_t(offset);
        std::memcpy(bytes.data() + body - 4, &size, 4);
        bytes.erase(bytes.begin() + std::ptrdiff_t(end - offset),
                    bytes.begin() + std::ptrdiff_t(end));
        return bytes;
    }
    std::copy(replacement.begin(), replacement.end(),
              bytes.begin() + std::ptrdiff_t(body + offset));
    return bytes;
}

std::vector<uint8_t> U32(uint32_t v) {
    std::vector<uint8_t> b(4);
    std::memcpy(b.data(), &v, 4);
    return b;
}

TEST(EffectParamChunk, MalformedChunksAreRefusedWithTheReason) {
    // Body: name 0, version 4, count 8, record at 12: kind 12, track 16, event 20, values 24,
    // first value at 28: index 28, type 32, number 36.
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* reason;
    };
    double infinite = std::numeric_limits<double>::infinity();
    std::vector<uint8_t> inf(8);
    std::memcpy(inf.data(), &infinite, 8);
    const Case cases[] = {
        {"version", Damaged(4, U32(2)), "バージョン 2"},
        {"count", Damaged(8, U32(0x10000000)), "記録の数"},
        {"kind", Damaged(12, U32(7)), "記録の種類 7"},
        {"track", Damaged(16, U32(256)), "トラック 256"},
        {"event", Damaged(20, U32(3)), "イベント 3"},
        {"values", Damaged(24, U32(0x10000000)), "値の数"},
        {"type", Damaged(32, U32(9)), "値の種類 9"},
        {"number", Damaged(36, inf), "有限"},
        {"twice", Damaged(28, U32(1)), "二つ"},
        {"cut", Damaged(2, {}, true), "終わりを越えて"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<Project> back;
        EXPECT_FALSE(Read(c.bytes, back));
        EXPECT_NE(LastFailureNote().reason.find("KFXP"), std::string::npos)
            << LastFailureNote().reason;
        EXPECT_NE(LastFailureNote().reason.find(c.reason), std::string::npos)
            << LastFailureNote().reason;
    }
    // A text that is not UTF-8.
    std::unique_ptr<Project> project = ThreeEvents();
    std::vector<uint8_t> body = {'K', 'F', 'X', 'P'};
    for (uint32_t v : {1u, 1u, 0u, 4u, 0u, 1u, 0u, 4u, 2u}) {
        const std::vector<uint8_t> field = U32(v);
        body.insert(body.end(), field.begin(), field.end());
    }
    body.insert(body.end(), {0xFF, 0xFE});
    std::vector<uint8_t> bytes = Written(*project);
    std::vector<uint8_t> chunk = U32(0);
    const std::vector<uint8_t> size = U32(uint32_t(body.size()));
    chunk.insert(chunk.end(), size.begin(), size.end());
    chunk.insert(chunk.end(), body.begin(), body.end());
    bytes.insert(bytes.end() - 4, chunk.begin(), chunk.end());
    std::unique_ptr<Project> back;
    EXPECT_FALSE(Read(bytes, back));
    EXPECT_NE(LastFailureNote().reason.find("UTF-8"), std::string::npos)
        << LastFailureNote().reason;
}

}  // namespace
}  // namespace kelvane
