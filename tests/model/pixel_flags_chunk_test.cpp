#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "model/ProjectFile.h"
#include "model/ProjectFileFormat.h"
#include "platform/FailureNote.h"
#include "project_file_support.h"

// The entries' pixel flags in the project file: written only when some entry has one, read back
// wherever they stand before the end chunk, and a malformed chunk refuses the file with a reason.
namespace kelvane {
namespace {

using testing::FakeLoader;
using testing::FileBytes;
using testing::ScriptedPrompt;

FileBytes Head() {
    FileBytes f;
    f.Magic().Version(0x00020000).Settings();
    return f;
}

FileBytes& Text(FileBytes& f, uint32_t id, std::u16string_view text) {
    const uint8_t font[92] = {};
    f.U32(4).U32(id).U32(3).U32(0x808080).Raw(font, sizeof(font));
    std::vector<char16_t> block(text.begin(), text.end());
    block.resize(size_t(project_file::TextBlockBytes(text.size()) / 2), u'\0');
    return f.U32(uint32_t(block.size() * 2)).Raw(block.data(), block.size() * 2);
}

FileBytes& NestedProject(FileBytes& f, uint32_t id, std::u16string_view path) {
    return f.U32(4).U32(id).U32(5).Path(path).U32(0xFF000000);
}

// The chunk: tag 0, size, "KPIX", version, count and the records.
FileBytes& Kpix(FileBytes& f, const std::vector<std::pair<uint32_t, uint32_t>>& records,
                uint32_t version = 1, int32_t countDelta = 0) {
    f.U32(0).U32(uint32_t(12 + 8 * records.size())).Raw("KPIX", 4).U32(version);
    f.U32(uint32_t(int32_t(records.size()) + countDelta));
    for (const auto& [id, flags] : records) {
        f.U32(id).U32(flags);
    }
    return f;
}

struct ReadResult {
    bool ok;
    std::unique_ptr<Project> project;
    std::string reason;
};

ReadResult Read(const std::vector<uint8_t>& bytes, FakeLoader& loader, ScriptedPrompt& prompt) {
    ReadResult r{false, Project::Create(), {}};
    ClearFailureNote();
    r.ok =
        ProjectFile::ReadFromMemory(bytes.data(), bytes.size(), u"/p", *r.project, loader, prompt);
    r.reason = LastFailureNote().reason;
    return r;
}

TEST(PixelFlagsChunk, FlagsRoundTripAndOnlyFlaggedEntriesAreWritten) {
    FileBytes f = Head();
    f.Picture(3, u"logo.png");
    Text(f, 5, u"タイトル");
    NestedProject(f, 7, u"lower.xqm");
    f.Picture(9, u"plain.bmp");
    Kpix(f, {{3, 1}, {5, 2}, {7, 4}}).End();
    FakeLoader loader;
    ScriptedPrompt prompt;
    ReadResult r = Read(f.bytes, loader, prompt);
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.project->files[3].pixelFlags, kPixelUseAlpha);
    EXPECT_EQ(r.project->files[5].pixelFlags, kPixelSmoothText);
    EXPECT_EQ(r.project->files[7].pixelFlags, kPixelTransparentBackground);
    EXPECT_EQ(r.project->files[9].pixelFlags, 0u);

    // Written back, the file is what was read: the chunk follows the file chunks, with the three
    // flagged entries only.
    std::vector<uint8_t> written;
    ASSERT_TRUE(ProjectFile::WriteToMemory(*r.project, written));
    EXPECT_EQ(written, f.bytes);

    // Without flags nothing of the chunk is written: the file as it always was.
    for (FileEntry& entry : r.project->files) {
        entry.pixelFlags = 0;
    }
    ASSERT_TRUE(ProjectFile::WriteToMemory(*r.project, written));
    FileBytes plain = Head();
    plain.Picture(3, u"logo.png");
    Text(plain, 5, u"タイトル");
    NestedProject(plain, 7, u"lower.xqm");
    plain.Picture(9, u"plain.bmp").End();
    EXPECT_EQ(written, plain.bytes);
}

TEST(PixelFlagsChunk, ChunkIsReadWhereverItStandsAndOtherSkipChunksAreSkipped) {
    FileBytes f = Head();
    Kpix(f, {{3, 1}});
    f.U32(0).U32(8).Raw("ZZZZxxxx", 8);  // a chunk of an extension unknown here
    f.Picture(3, u"logo.png").End();
    FakeLoader loader;
    ScriptedPrompt prompt;
    ReadResult r = Read(f.bytes, loader, prompt);
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.project->files[3].pixelFlags, kPixelUseAlpha);
}

TEST(PixelFlagsChunk, EntryTheUserWentOnWithoutKeepsNoFlags) {
    FileBytes f = Head();
    f.Picture(3, u"gone.png").Picture(4, u"here.png");
    Kpix(f, {{3, 1}, {4, 1}}).End();
    FakeLoader loader;
    loader.failing.insert(u"gone.png");
    ScriptedPrompt prompt;
    prompt.answers.push_back(true);
    ReadResult r = Read(f.bytes, loader, prompt);
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_FALSE(r.project->files[3].Used());
    EXPECT_EQ(r.project->files[3].pixelFlags, 0u);
    EXPECT_EQ(r.project->files[4].pixelFlags, kPixelUseAlpha);
}

TEST(PixelFlagsChunk, MalformedChunkRefusesTheFileWithItsReason) {
    struct Case {
        const char* name;
        FileBytes bytes;
        const char* reason;
    };
    // A picture in slot 3, a text in slot 5, then the chunk.
    auto file = [](const std::vector<std::pair<uint32_t, uint32_t>>& records, uint32_t version = 1,
                   int32_t countDelta = 0) {
        FileBytes f = Head();
        f.Picture(3, u"logo.png");
        Text(f, 5, u"t");
        Kpix(f, records, version, countDelta);
        return f;
    };
    std::vector<Case> cases = {
        {"shorter than its count", file({{3, 1}}, 1, 1), "より短く"},
        {"version 2", file({{3, 1}}, 2), "バージョン"},
        {"ID past the table", file({{1024, 1}}), "範囲外"},
        {"unused slot", file({{4, 1}}), "範囲外"},
        {"text flag on a picture", file({{3, 2}}), "使えません"},
        {"alpha on a text", file({{5, 1}}), "使えません"},
        {"unknown bit", file({{3, 1 | 8}}), "使えません"},
    };
    FileBytes headOnly = Head();
    headOnly.Picture(3, u"logo.png").U32(0).U32(6).Raw("KPIX\x01\x00", 6);
    cases.push_back({"head cut short", headOnly, "短すぎ"});
    for (Case& c : cases) {
        c.bytes.End();
        FakeLoader loader;
        ScriptedPrompt prompt;
        ReadResult r = Read(c.bytes.bytes, loader, prompt);
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_NE(r.reason.find("KPIX"), std::string::npos) << c.name << ": " << r.reason;
        EXPECT_NE(r.reason.find(c.reason), std::string::npos) << c.name << ": " << r.reason;
    }
}

}  // namespace
}  // namespace kelvane
