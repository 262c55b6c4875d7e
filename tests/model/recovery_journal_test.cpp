// The crash journal: every completed edit can be restored to exactly what a save at that moment
// would have written, whether the program is killed between edits or in the middle of one, and
// whatever part of the last record reached the disk.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "DocumentTestSupport.h"
#include "model/Clipboard.h"
#include "model/Document.h"
#include "model/JournalRecovery.h"
#include "model/ProjectFile.h"
#include "model/RecoveryJournal.h"
#include "model/RecoveryMessages.h"
#include "model/SourceLoader.h"
#include "platform/LockedFile.h"
#include "support/EventBuilders.h"
#include "support/ScratchFolder.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;
using testing::LabelledEvent;
using testing::ScratchFolder;

// The scripted media of FakeServices behind the project file reader.
class ServicesLoader : public SourceLoader {
  public:
    explicit ServicesLoader(testing::FakeServices& services) : services_(services) {}
    bool OpenEntry(Project& owner, FileEntry& entry) override {
        const std::u16string path(PathView(entry.path));
        return services_.OpenFile(owner, entry, entry.kind, path);
    }
    bool MakeText(Project&, FileEntry& entry, std::u16string_view text, uint32_t textColour,
                  const LogFont& font) override {
        return services_.MakeText(entry, text, textColour, font);
    }

  private:
    testing::FakeServices& services_;
};

// Project files on disk, media as a script.
class DiskServices : public testing::FakeServices {
  public:
    explicit DiskServices(UserPrompt& prompt) : prompt_(prompt) {
        AddFile(u"\\p.bmp", FileKind::Image, 64, 48);
        AddFile(u"\\q.bmp", FileKind::Image, 32, 32);
        AddFile(u"\\m.avi", FileKind::Movie, 320, 240);
    }
    bool ReadProject(std::u16string_view path, Project& project) override {
        return ProjectFile::Read(path, project, loader_, prompt_);
    }
    bool ReadProjectBytes(const std::vector<uint8_t>& bytes, std::u16string_view folder,
                          Project& project) override {
        return ProjectFile::ReadFromMemory(bytes.data(), bytes.size(), folder, project, loader_,
                                           prompt_);
    }
    bool WriteProject(std::u16string_view path, Project& project) override {
        return ProjectFile::Write(path, project);
    }

  private:
    UserPrompt& prompt_;
    ServicesLoader loader_{*this};
};

std::vector<uint8_t> Saved(const Project& project) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ProjectFile::WriteToMemory(project, bytes));
    return bytes;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

std::vector<std::string> Journals(const std::string& folder) {
    std::vector<std::string> out;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().extension() == ".kvj") {
            out.push_back(entry.path().string());
        }
    }
    return out;
}

// A document over project files in a scratch folder, journaling into its "recovery" folder.
struct Session {
    explicit Session(const ScratchFolder& scratch)
        : recovery(scratch.File("recovery")), base(scratch.PathOf("base.xqm")) {}

    // The project every run starts from, saved on disk: two files, a few events, a template.
    void WriteBase() {
        Drop({u"\\p.bmp", u"\\m.avi"});
        const TrackEvent events[] = {LabelledEvent(5, 1), LabelledEvent(9, 2, kEventSelected)};
        for (uint32_t t : {0u, 3u}) {
            doc.ProjectForRendering().tracks[t].InsertSorted(events, 2);
        }
        doc.Templates().DropFile(0, 1);
        ASSERT_TRUE(doc.SaveDocument(base));
    }
    void Drop(std::vector<std::u16string> paths) { doc.Files().AddDroppedFiles(paths, selection); }

    // Edit number i of the scripted sequence; each is one command of the window (a selection
    // before it is no edit of its own).
    void Edit(uint32_t i) {
        switch (i % 9) {
            case 0:
                doc.Timeline().DropFile(i % kTrackCount, 0, 3 * i, true);
                break;
            case 1:
                doc.Timeline().MoveSelected(3, 9, 20 + i, true);
                break;
            case 2:
                doc.Timeline().SelectAll(0, nullptr);
                doc.Timeline().EditSelected(
                    0, [i](TrackEvent& e) { e.left = int32_t(i); }, true);
                break;
            case 3:
                doc.Templates().DropFile(i % kTemplateSlots, 0);
                break;
            case 4: {
                ProjectSettingsForm form = doc.Settings().FormForDialog();
                form.width = 320 + i;
                doc.Settings().Apply(form);
                break;
            }
            case 5:
                doc.Undo();
                break;
            case 6:
                if (i % 2 == 1) {
                    doc.Redo();  // of the undo just before
                } else {
                    Drop({u"\\q.bmp"});
                }
                break;
            case 7:
                // A selection is recorded with the edit after it, so it is always followed by one
                // here (an empty track selects nothing and deletes nothing).
                doc.Timeline().SelectAll(200, nullptr);
                doc.Timeline().Delete(200);
                break;
            default:
                doc.Timeline().Insert(200, LabelledEvent(i, int32_t(i)), true);
                break;
        }
    }

    std::string recovery;
    std::u16string base;
    testing::ScriptedPrompt prompt;
    DiskServices services{prompt};
    MemoryClipboard clipboard;
    Document doc{services, prompt, clipboard};
    FileSelection selection;
};

// What the journal in `folder` restores, as the bytes a save would write.
RecoveredJournal Restore(const std::string& folder) {
    const std::vector<std::string> journals = Journals(folder);
    EXPECT_EQ(journals.size(), 1u);
    return journals.empty() ? RecoveredJournal{} : ReadRecoveryJournal(ReadBytes(journals[0]));
}

TEST(RecoveryJournal, EveryEditRestoresToItsSaveOnAFileANewProjectAndAfterCompaction) {
    ScratchFolder scratch;
    Session s(scratch);
    s.WriteBase();
    s.doc.EnableRecovery(s.recovery);
    ASSERT_TRUE(s.doc.OpenDocument(s.base));
    EXPECT_TRUE(Journals(s.recovery).empty());  // nothing to lose yet
    for (uint32_t i = 0; i < 30; ++i) {
        if (i == 20) {
            // Compaction swaps a whole image in while the edits go on.
            s.doc.Journal()->SetCompactionThreshold(1);
        }
        s.Edit(i);
        const RecoveredJournal journal = Restore(s.recovery);
        ASSERT_EQ(journal.state, RecoveredJournal::State::Restorable) << "edit " << i;
        EXPECT_EQ(journal.path, s.base);
        EXPECT_EQ(journal.bytes, Saved(s.doc.GetProject())) << "edit " << i;
    }
    EXPECT_TRUE(s.doc.Journal()->WaitForCompaction());
    s.Edit(30);
    EXPECT_EQ(Restore(s.recovery).bytes, Saved(s.doc.GetProject()));

    // A save removes the journal; the next edit starts one on the saved file.
    ASSERT_TRUE(s.doc.SaveDocument(s.base));
    EXPECT_TRUE(Journals(s.recovery).empty());
    s.Edit(31);
    EXPECT_EQ(Restore(s.recovery).bytes, Saved(s.doc.GetProject()));

    // A new project journals a whole image, under no name.
    ASSERT_TRUE(s.doc.NewDocument());
    EXPECT_TRUE(Journals(s.recovery).empty());
    s.Drop({u"\\p.bmp"});
    s.Edit(0);
    const RecoveredJournal fresh = Restore(s.recovery);
    EXPECT_TRUE(fresh.path.empty());
    EXPECT_EQ(fresh.bytes, Saved(s.doc.GetProject()));
}

TEST(RecoveryJournal, PixelFlagsAreRestored) {
    ScratchFolder scratch;
    Session s(scratch);
    s.WriteBase();
    s.doc.EnableRecovery(s.recovery);
    ASSERT_TRUE(s.doc.OpenDocument(s.base));
    FilePropertiesForm form = s.doc.Files().FormForDialog(7);
    form.useText = true;
    form.text = u"smooth";
    ASSERT_TRUE(s.doc.Files().ApplyProperties(7, form, s.selection));
    ASSERT_EQ(s.doc.GetProject().files[7].pixelFlags, kPixelSmoothText);
    const RecoveredJournal journal = Restore(s.recovery);
    ASSERT_EQ(journal.state, RecoveredJournal::State::Restorable);
    EXPECT_EQ(journal.bytes, Saved(s.doc.GetProject()));  // with the KPIX chunk
}

TEST(RecoveryJournal, AJournalCutInItsLastRecordRestoresTheEditBefore) {
    ScratchFolder scratch;
    Session s(scratch);
    s.WriteBase();
    s.doc.EnableRecovery(s.recovery);
    ASSERT_TRUE(s.doc.OpenDocument(s.base));
    for (uint32_t i = 0; i < 4; ++i) {
        s.Edit(i);
    }
    const std::vector<uint8_t> before = Saved(s.doc.GetProject());
    const std::string path = s.doc.Journal()->FilePath();
    const size_t whole = ReadBytes(path).size();
    s.Edit(0);  // a drop: one track and the length
    const std::vector<uint8_t> journal = ReadBytes(path);
    ASSERT_GT(journal.size(), whole);
    for (size_t cut = whole; cut < journal.size(); ++cut) {
        const RecoveredJournal r =
            ReadRecoveryJournal(std::vector<uint8_t>(journal.begin(), journal.begin() + cut));
        ASSERT_EQ(r.state, RecoveredJournal::State::Restorable) << "cut at " << cut;
        ASSERT_EQ(r.bytes, before) << "cut at " << cut;
    }
    EXPECT_EQ(ReadRecoveryJournal(journal).bytes, Saved(s.doc.GetProject()));
    // Cut within its first records, a journal has nothing to give back and nothing was lost.
    for (size_t cut : {size_t(0), size_t(3), size_t(40)}) {
        EXPECT_EQ(
            ReadRecoveryJournal(std::vector<uint8_t>(journal.begin(), journal.begin() + cut)).state,
            RecoveredJournal::State::NoEdits);
    }
}

// The start-up's questions: each journal nobody holds is asked about once; the answer decides.
TEST(RecoveryJournal, StartUpAsksForEachAbandonedJournalAndSetsDamagedOnesAside) {
    ScratchFolder scratch;
    std::string kept;
    std::vector<uint8_t> expected;
    {
        Session crashed(scratch);
        crashed.WriteBase();
        crashed.doc.EnableRecovery(crashed.recovery);
        ASSERT_TRUE(crashed.doc.OpenDocument(crashed.base));
        crashed.Edit(0);
        crashed.Edit(6);
        expected = Saved(crashed.doc.GetProject());
        kept = crashed.doc.Journal()->FilePath();
        // The running program holds its journal: a second start leaves it alone.
        Session other(scratch);
        EXPECT_FALSE(OfferRecovery(crashed.recovery, other.doc, other.prompt));
        EXPECT_TRUE(other.prompt.questions.empty());
        // A crash: the lock goes with the process, the file stays.
        const std::vector<uint8_t> bytes = ReadBytes(kept);
        crashed.doc.NewDocument();  // removes it; put back what the crash would have left
        std::ofstream(kept, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    Session next(scratch);
    next.doc.EnableRecovery(next.recovery);
    const std::string damaged = next.recovery + "/0-0-0.kvj";
    std::ofstream(damaged) << "not a journal at all";

    // Cancel keeps it, asked again at the next start; the damaged one is told about once.
    next.prompt.threeWay = {PromptAnswer::Cancel};
    EXPECT_FALSE(OfferRecovery(next.recovery, next.doc, next.prompt));
    ASSERT_EQ(next.prompt.questions.size(), 1u);
    const std::string& question = next.prompt.questions[0];
    EXPECT_EQ(question.rfind(std::string(messages::kRecoveryQuestion) + "\n" +
                                 messages::kRecoveryNoHistory + "\n" + messages::kRecoveryProject +
                                 ToUtf8(next.base) + "\n" + messages::kRecoveryLastEdit,
                             0),
              0u)
        << question;
    ASSERT_EQ(next.prompt.errors.size(), 1u);
    EXPECT_EQ(next.prompt.errors[0], std::string(messages::kRecoveryUnreadable) + "\n" +
                                         next.recovery + "/discarded/0-0-0.kvj");
    EXPECT_TRUE(fs::exists(kept));

    // Yes: the project comes back modified under its own name, with a journal of its own.
    next.prompt.threeWay = {PromptAnswer::Yes};
    EXPECT_TRUE(OfferRecovery(next.recovery, next.doc, next.prompt));
    EXPECT_EQ(next.prompt.errors.size(), 1u);
    EXPECT_EQ(next.doc.PathName(), next.base);
    EXPECT_TRUE(next.doc.IsModified());
    EXPECT_FALSE(next.doc.CanUndo());
    EXPECT_EQ(Saved(next.doc.GetProject()), expected);
    EXPECT_FALSE(fs::exists(kept));
    EXPECT_EQ(Journals(next.recovery).size(), 1u);
    EXPECT_EQ(Restore(next.recovery).bytes, expected);
    ASSERT_TRUE(next.doc.SaveDocument(next.base));
    EXPECT_EQ(ReadBytes(ToNativePath(next.base)), expected);
    EXPECT_TRUE(Journals(next.recovery).empty());
}

TEST(RecoveryJournal, NoSetsTheJournalAsideAndMissingMediaAreAskedAboutOnce) {
    ScratchFolder scratch;
    std::vector<uint8_t> journal;
    {
        Session crashed(scratch);
        crashed.doc.EnableRecovery(crashed.recovery);
        crashed.Drop({u"\\p.bmp", u"\\q.bmp"});
        journal = ReadBytes(crashed.doc.Journal()->FilePath());
    }
    Session next(scratch);
    fs::create_directories(next.recovery);
    const std::string path = next.recovery + "/1-1-1.kvj";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(journal.data()), std::streamsize(journal.size()));
    next.prompt.threeWay = {PromptAnswer::No};
    EXPECT_FALSE(OfferRecovery(next.recovery, next.doc, next.prompt));
    EXPECT_NE(next.prompt.questions[0].find(messages::kRecoveryNewProject), std::string::npos);
    EXPECT_TRUE(fs::exists(next.recovery + "/discarded/1-1-1.kvj"));
    EXPECT_TRUE(Journals(next.recovery).empty());

    // The same journal once more, with one of its pictures gone: the reader's own question,
    // asked once, and a Yes to it goes on without the file.
    fs::rename(next.recovery + "/discarded/1-1-1.kvj", path);
    next.services.failing.insert(u"\\q.bmp");
    next.prompt.questions.clear();
    next.prompt.threeWay = {PromptAnswer::Yes};
    next.prompt.answers = {true};
    EXPECT_TRUE(OfferRecovery(next.recovery, next.doc, next.prompt));
    EXPECT_EQ(next.prompt.questions.size(), 2u);
    EXPECT_EQ(next.doc.Title(), u"新規プロジェクト - Kelvane");
    EXPECT_TRUE(next.doc.GetProject().files[0].Used());
    EXPECT_FALSE(next.doc.GetProject().files[1].Used());
}

// A child runs the scripted edits through the document and is killed at random moments, between
// edits and inside them; what its journal restores is the save after the last edit it finished
// (or, killed after the record and before it could say so, after the one it was in).
TEST(RecoveryJournal, KilledAtRandomMomentsTheJournalRestoresTheLastCompletedEdit) {
    constexpr uint32_t kEdits = 40;
    constexpr int kKills = 100;
    ScratchFolder scratch;
    std::vector<std::vector<uint8_t>> saves;
    {
        Session replay(scratch);
        replay.WriteBase();
        ASSERT_TRUE(replay.doc.OpenDocument(replay.base));
        saves.push_back(Saved(replay.doc.GetProject()));
        for (uint32_t i = 0; i < kEdits; ++i) {
            replay.Edit(i);
            saves.push_back(Saved(replay.doc.GetProject()));
        }
    }
    std::mt19937 rng(20261207);
    const std::string recovery = scratch.File("recovery");
    for (int kill = 0; kill < kKills; ++kill) {
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(report[0]);
            Session s(scratch);
            s.doc.EnableRecovery(s.recovery);
            if (kill % 4 == 0) {
                s.doc.Journal()->SetCompactionThreshold(1);  // compactions under way too
            }
            if (!s.doc.OpenDocument(s.base)) {
                ::_exit(2);
            }
            for (uint32_t i = 0; i < kEdits; ++i) {
                s.Edit(i);
                const uint8_t done = uint8_t(i + 1);
                if (::write(report[1], &done, 1) != 1) {
                    ::_exit(3);
                }
            }
            ::pause();  // killed here at the latest
            ::_exit(0);
        }
        ::close(report[1]);
        // Wait for a random number of finished edits, then up to 300 µs more.
        const uint32_t target = rng() % (kEdits + 1);
        uint8_t done = 0;
        while (done < target && ::read(report[0], &done, 1) == 1) {
        }
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 300));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        uint8_t more = 0;
        while (::read(report[0], &more, 1) == 1) {
            done = more;
        }
        ::close(report[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself: " << status;

        const std::vector<std::string> journals = Journals(recovery);
        if (journals.empty()) {
            ASSERT_EQ(done, 0) << "kill " << kill;  // killed before the first edit's journal
            continue;
        }
        ASSERT_EQ(journals.size(), 1u);
        const RecoveredJournal r = ReadRecoveryJournal(ReadBytes(journals[0]));
        if (r.state == RecoveredJournal::State::NoEdits) {
            EXPECT_EQ(done, 0) << "kill " << kill;
        } else {
            ASSERT_EQ(r.state, RecoveredJournal::State::Restorable) << "kill " << kill;
            const bool last = r.bytes == saves[done];
            const bool inFlight = done < kEdits && r.bytes == saves[done + 1];
            EXPECT_TRUE(last || inFlight) << "kill " << kill << " after edit " << int(done);
        }
        fs::remove_all(recovery);
    }
}

}  // namespace
}  // namespace kelvane
