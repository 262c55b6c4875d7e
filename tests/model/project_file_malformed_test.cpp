#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "model/ProjectFile.h"
#include "project_file_support.h"

namespace kelvane {
namespace {

using testing::FakeLoader;
using testing::FileBytes;
using testing::ScriptedPrompt;

bool Reads(const std::vector<uint8_t>& bytes, FakeLoader& loader, ScriptedPrompt& prompt) {
    std::unique_ptr<Project> project = Project::Create();
    return ProjectFile::ReadFromMemory(bytes.data(), bytes.size(), u"/p", *project, loader, prompt);
}

FileBytes Head() {
    FileBytes f;
    f.Magic().Version(0x00020000);
    return f;
}

// Text chunk for ID 0 with a hand-made block.
FileBytes TextChunk(uint32_t blockBytes, const std::vector<uint8_t>& block) {
    FileBytes f = Head();
    const uint8_t font[92] = {};
    f.U32(4).U32(0).U32(3).U32(0x808080).Raw(font, sizeof(font)).U32(blockBytes);
    f.Raw(block.data(), block.size());
    return f;
}

struct Malformed {
    const char* name;
    std::vector<uint8_t> bytes;
};

std::vector<Malformed> MalformedFiles() {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    char16_t fullPath[260];
    std::fill(std::begin(fullPath), std::end(fullPath), u'a');
    const std::u16string_view unterminated(fullPath, 260);
    std::vector<uint8_t> record(152, 0);

    std::vector<Malformed> cases;
    auto add = [&](const char* name, const FileBytes& f) { cases.push_back({name, f.bytes}); };
    add("empty", FileBytes());
    add("short magic", FileBytes().Raw("MPR", 3));
    add("wrong magic", FileBytes().Raw("MPRK", 4).Version(0x00020000).End());
    add("magic only", FileBytes().Magic());
    add("no end chunk", Head().Settings());
    add("tag cut short", Head().Settings().Raw("\x02\x00", 2));
    add("unknown tag", Head().U32(7).End());
    add("version too new", FileBytes().Magic().Version(0x00020001).End());
    add("version cut short", FileBytes().Magic().U32(1).Raw("\x00\x00", 2));
    add("no version", FileBytes().Magic().End());
    add("settings before version", FileBytes().Magic().Settings().Version(0x00020000).End());
    add("version after a file", Head().Picture(0, u"a").Version(0x00020000).End());
    add("version after a track", Head().TrackChunk(0, {record}).Version(0x00020000).End());
    add("version after a template",
        Head().U32(6).U32(0).Raw(record.data(), 152).Version(0x00010000).End());
    add("file without version", FileBytes().Magic().Picture(0, u"a").End());
    add("file ID 1024", Head().Picture(1024, u"a").End());
    add("file ID far out", Head().Picture(0xFFFFFFFF, u"a").End());
    add("kind 0", Head().U32(4).U32(0).U32(0).Path(u"a").U32(0).End());
    add("kind 6", Head().U32(4).U32(0).U32(6).Path(u"a").U32(0).End());
    add("kind negative", Head().U32(4).U32(0).U32(0xFFFFFFFF).Path(u"a").U32(0).End());
    add("track 256", Head().TrackChunk(256, {record}).End());
    add("template 64", Head().U32(6).U32(64).Raw(record.data(), 152).End());
    add("rate 0", Head().Settings(640, 480, 0.0).End());
    add("rate negative", Head().Settings(640, 480, -25.0).End());
    add("rate NaN", Head().Settings(640, 480, nan).End());
    add("rate infinite", Head().Settings(640, 480, inf).End());
    add("rate without a frame duration", Head().Settings(640, 480, 2e7).End());
    add("width 0", Head().Settings(0, 480).End());
    add("width 4097", Head().Settings(4097, 480).End());
    add("height 0", Head().Settings(640, 0).End());
    add("height 4097", Head().Settings(640, 4097).End());
    add("settings cut short", Head().Settings().Raw("\x01", 1));
    add("1.0 settings read as 1.1",
        FileBytes().Magic().Version(0x00010001).Settings(640, 480, 25.0, false).End());
    add("base path unterminated",
        Head().U32(3).Path(unterminated).U32(640).U32(480).F64(25).U32(1).U32(0).U32(0).End());
    add("file path unterminated", Head().Picture(0, unterminated).End());
    add("effect path unterminated", Head().U32(4).U32(0).U32(4).Path(unterminated).End());
    add("movie cut before colour", Head().U32(4).U32(0).U32(1).I64(0).Path(u"a.avi"));
    add("text block odd", TextChunk(7, {'a', 0, 'b', 0, 0, 0, 0}).End());
    add("text block without terminator", TextChunk(8, {'a', 0, 'b', 0, 'c', 0, 'd', 0}).End());
    add("text block empty", TextChunk(0, {}).End());
    add("text block beyond the file", TextChunk(0xFFFFFFF0, {'a', 0, 0, 0}).End());
    add("text block cut short", TextChunk(8, {'a', 0, 0, 0}));
    add("event count beyond the file", Head().U32(5).U32(0).U32(0xFFFFFFFF).End());
    add("event count one too many", Head().U32(5).U32(0).U32(2).Raw(record.data(), 152).End());
    add("old event count beyond the file",
        FileBytes().Magic().Version(0x00010000).U32(5).U32(0).U32(0x01000000).End());
    add("template cut short", Head().U32(6).U32(0).Raw(record.data(), 151));
    add("skip beyond the file", Head().U32(0).U32(0xFFFFFFFF).End());
    add("skip one byte too far", Head().U32(0).U32(5).Raw("\x02\x00\x00\x00", 4));
    return cases;
}

TEST(ProjectFileMalformed, EveryMalformedFileFailsWithoutLoadingOrAsking) {
    for (const Malformed& m : MalformedFiles()) {
        FakeLoader loader;
        ScriptedPrompt prompt(true);
        EXPECT_FALSE(Reads(m.bytes, loader, prompt)) << m.name;
        EXPECT_TRUE(prompt.questions.empty()) << m.name;
        // Only the chunks before the fault may have been loaded.
        EXPECT_LE(loader.opened.size(), 1u) << m.name;
        EXPECT_TRUE(loader.texts.empty()) << m.name;
    }
}

TEST(ProjectFileMalformed, EveryTruncationOfAGoodFileFails) {
    std::vector<uint8_t> record(152, 0);
    FileBytes f = Head();
    const uint8_t font[92] = {};
    f.Settings().U32(0).U32(2).Raw("xy", 2);
    f.U32(4).U32(1).U32(1).I64(5).Path(u"m.avi").U32(0);
    f.U32(4).U32(2).U32(3).U32(0).Raw(font, 92).U32(4).U32(0);
    f.U32(4).U32(3).U32(4).Path(u"e.so");
    f.TrackChunk(0, {record, record}).U32(6).U32(0).Raw(record.data(), 152).End();
    {
        FakeLoader loader;
        ScriptedPrompt prompt;
        ASSERT_TRUE(Reads(f.bytes, loader, prompt));
    }
    for (size_t size = 0; size < f.bytes.size(); ++size) {
        FakeLoader loader;
        ScriptedPrompt prompt;
        std::vector<uint8_t> cut(f.bytes.begin(), f.bytes.begin() + size);
        ASSERT_FALSE(Reads(cut, loader, prompt)) << size;
    }
}

TEST(ProjectFileMalformed, LimitsThemselvesAreAccepted) {
    std::vector<uint8_t> record(152, 0);
    FileBytes f = Head();
    f.Settings(4096, 1, 0.001).Settings(1, 4096, 1e7);
    f.Picture(1023, u"last.bmp").TrackChunk(255, {record}).U32(6).U32(63).Raw(record.data(), 152);
    f.End();
    FakeLoader loader;
    ScriptedPrompt prompt;
    std::unique_ptr<Project> project = Project::Create();
    ASSERT_TRUE(
        ProjectFile::ReadFromMemory(f.bytes.data(), f.bytes.size(), u"", *project, loader, prompt));
    EXPECT_EQ(project->settings.frameDuration, 1);
    EXPECT_TRUE(project->files[1023].Used());
    EXPECT_EQ(project->tracks[255].Count(), 1u);
}

TEST(ProjectFileMalformed, AProjectFolderThatDoesNotFitFailsTheRead) {
    FileBytes f = Head();
    f.End();
    FakeLoader loader;
    ScriptedPrompt prompt;
    std::unique_ptr<Project> project = Project::Create();
    const std::u16string longFolder(260, u'd');
    EXPECT_FALSE(ProjectFile::ReadFromMemory(f.bytes.data(), f.bytes.size(), longFolder, *project,
                                             loader, prompt));
    EXPECT_TRUE(ProjectFile::ReadFromMemory(f.bytes.data(), f.bytes.size(), longFolder.substr(1),
                                            *project, loader, prompt));
}

}  // namespace
}  // namespace kelvane
