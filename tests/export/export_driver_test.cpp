#include <gtest/gtest.h>

#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <functional>
#include <set>

#include "AviProbe.h"
#include "export/CompressorChooser.h"
#include "export/ExportDriver.h"
#include "export/ExportMessages.h"
#include "support/ScriptedPrompt.h"

namespace kelvane {
namespace {

using namespace std::chrono_literals;
using testing::DecodeAvi;
using testing::DecodedVideo;
using testing::ReadStreamHeader;
using testing::ScratchFolder;
using testing::ScriptedPrompt;
using testing::StreamHeader;

// Marks each frame with its number in the top-left pixel; fails to draw where told to, after
// drawing, as a track that fails part-way leaves what it drew.
class FakeComposer : public FrameComposer {
  public:
    void ResetForExport() override { ++resets; }
    bool Compose(uint32_t frame, PixelImage& out) override {
        composed.push_back(frame);
        backgrounds.push_back(out.Row32(0)[1]);
        out.Row32(0)[0] = frame;
        if (afterFrame) {
            afterFrame(frame);
        }
        return failAt.count(frame) == 0;
    }

    int resets = 0;
    std::vector<uint32_t> composed;
    std::vector<uint32_t> backgrounds;
    std::set<uint32_t> failAt;
    std::function<void(uint32_t)> afterFrame;
};

class CancellingChooser : public CompressorChooser {
  public:
    bool Choose(const std::vector<CompressorInfo>&, std::string&) override { return false; }
};

struct FakeClock {
    std::chrono::steady_clock::time_point now{std::chrono::steady_clock::duration(1'000'000)};
    ExportClock Get() {
        return [this] { return now; };
    }
};

ExportSettings SmallProject(uint32_t length) {
    ExportSettings s;
    s.width = 8;
    s.height = 6;
    s.frameRate = 30.0;
    s.frameDuration = 333333;
    s.length = length;
    s.backgroundBgr = 0x00332211;
    return s;
}

// The frame numbers that the file holds, read back from the marked pixel.
std::vector<uint32_t> FramesInFile(const std::string& path) {
    DecodedVideo video;
    std::string error;
    std::vector<uint32_t> marks;
    if (!DecodeAvi(path, video, error)) {
        ADD_FAILURE() << error;
        return marks;
    }
    for (const auto& f : video.frames) {
        marks.push_back(f[0]);
    }
    return marks;
}

std::vector<uint32_t> Iota(uint32_t count) {
    std::vector<uint32_t> v(count);
    for (uint32_t i = 0; i < count; ++i) {
        v[i] = i;
    }
    return v;
}

TEST(ExportSetup, OpensTheFileAndStartsFromABackgroundFilledFrame) {
    ScratchFolder dir;
    FakeComposer composer;
    ExportJob job;
    NamedCompressorChooser raw(std::string{kUncompressedName});
    ASSERT_TRUE(job.writer.ChooseCompressor(raw));
    const ExportSettings s = SmallProject(2);
    ASSERT_TRUE(job.Setup(dir.File("a.avi"), s, composer));
    EXPECT_EQ(composer.resets, 1);
    EXPECT_TRUE(job.writer.StreamOpen());
    EXPECT_EQ(job.FramesWritten(), 0u);
    EXPECT_EQ(job.LastWrittenImage(), nullptr);
    ASSERT_TRUE(job.ExportStep(composer));
    ASSERT_TRUE(job.ExportStep(composer));
    // Both images carry the background, as pixels 0x00RRGGBB, when the tracks are drawn.
    EXPECT_EQ(composer.backgrounds, (std::vector<uint32_t>{0x112233, 0x112233}));
    ASSERT_NE(job.LastWrittenImage(), nullptr);
    EXPECT_EQ(job.LastWrittenImage()->Row32(0)[0], 1u);
    job.writer.Close();
    EXPECT_EQ(FramesInFile(dir.File("a.avi")), Iota(2));

    // A setup that cannot work fails: no size, no usable frame rate.
    ExportSettings bad = s;
    bad.width = 0;
    EXPECT_FALSE(job.Setup(dir.File("b.avi"), bad, composer));
    bad = s;
    bad.frameRate = 0.00001;  // below one ten-thousandth of a frame per second
    EXPECT_FALSE(job.Setup(dir.File("b.avi"), bad, composer));
    job.writer.Close();
    EXPECT_FALSE(std::filesystem::exists(dir.File("b.avi")));
}

TEST(ExportSetup, StreamRateIsTheFrameRateInTenThousandths) {
    ScratchFolder dir;
    struct Case {
        double fps;
        uint64_t rate, scale;
    } cases[] = {{29.97, 299700, 10000}, {30.0, 30, 1}, {0.5, 5000, 10000}, {23.976, 23976, 1000}};
    for (const Case& c : cases) {
        FakeComposer composer;
        ExportJob job;
        ExportSettings s = SmallProject(1);
        s.frameRate = c.fps;
        ASSERT_TRUE(job.Setup(dir.File("rate.avi"), s, composer));
        job.writer.Close();
        StreamHeader strh;
        ASSERT_TRUE(ReadStreamHeader(dir.File("rate.avi"), strh));
        EXPECT_EQ(strh.rate * c.scale, c.rate * strh.scale)
            << c.fps << " fps stored as " << strh.rate << "/" << strh.scale;
    }
}

TEST(ExportRun, ProjectOfOneFrameWritesItAndEndsWithOk) {
    ScratchFolder dir;
    FakeComposer composer;
    ScriptedPrompt prompt{false};
    ExportJob job;
    NamedCompressorChooser raw(std::string{kUncompressedName});
    std::vector<ExportTick> ticks;
    ASSERT_TRUE(RunExportCommand(job, SmallProject(1), composer, dir.File("one.avi"), raw, prompt,
                                 nullptr, [&](const ExportTick& t) { ticks.push_back(t); }));
    EXPECT_TRUE(job.done);
    EXPECT_FALSE(job.stopped);
    EXPECT_FALSE(job.writer.Initialised());
    EXPECT_TRUE(prompt.errors.empty());
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.back().action, ExportTick::Action::EndOk);
    EXPECT_EQ(FramesInFile(dir.File("one.avi")), Iota(1));
}

TEST(ExportRun, CancelLeavesAValidFileWithTheFramesSoFar) {
    ScratchFolder dir;
    std::atomic<bool> cancel{false};
    FakeComposer composer;
    composer.afterFrame = [&](uint32_t frame) {
        if (frame == 99) {
            cancel = true;
        }
    };
    ScriptedPrompt prompt{false};
    ExportJob job;
    NamedCompressorChooser ffv1("ffv1");
    const std::string path = dir.File("cancel.avi");
    EXPECT_FALSE(
        RunExportCommand(job, SmallProject(1000), composer, path, ffv1, prompt, &cancel, {}));
    EXPECT_TRUE(job.stopped);
    EXPECT_FALSE(job.writer.Initialised());
    EXPECT_EQ(prompt.errors, std::vector<std::string>{kExportStopped});
    EXPECT_EQ(job.FramesWritten(), 100u);
    EXPECT_EQ(FramesInFile(path), Iota(100));
    StreamHeader strh;
    ASSERT_TRUE(ReadStreamHeader(path, strh));
    EXPECT_EQ(strh.length, 100u);
}

TEST(ExportRun, DrawErrorsStopTheRunOnlyWithTheAbortFlag) {
    ScratchFolder dir;
    for (const bool abort : {false, true}) {
        FakeComposer composer;
        composer.failAt = {3, 4};
        ScriptedPrompt prompt{false};
        ExportJob job;
        job.abortOnDrawError = abort;
        NamedCompressorChooser raw(std::string{kUncompressedName});
        const std::string path = dir.File(abort ? "abort.avi" : "go-on.avi");
        const bool ok =
            RunExportCommand(job, SmallProject(10), composer, path, raw, prompt, nullptr, {});
        if (abort) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(prompt.errors, std::vector<std::string>{kExportStopped});
            EXPECT_EQ(FramesInFile(path), Iota(3));
        } else {
            // The failed frames are written as drawn so far.
            EXPECT_TRUE(ok);
            EXPECT_TRUE(prompt.errors.empty());
            EXPECT_EQ(FramesInFile(path), Iota(10));
        }
        EXPECT_TRUE(job.abortOnDrawError == abort);  // kept for the next export
    }
}

TEST(ExportRun, ProgressComesWithTheTimerAndTheEndAtOnce) {
    ScratchFolder dir;
    FakeClock clock;
    FakeComposer composer;
    composer.afterFrame = [&](uint32_t) { clock.now += 300ms; };
    ScriptedPrompt prompt{false};
    ExportJob job;
    NamedCompressorChooser raw(std::string{kUncompressedName});
    std::vector<ExportTick> ticks;
    ASSERT_TRUE(RunExportCommand(
        job, SmallProject(6), composer, dir.File("p.avi"), raw, prompt, nullptr,
        [&](const ExportTick& t) { ticks.push_back(t); }, clock.Get()));
    // Frames end at 300, 600, ... 1800 ms: the timer comes round after frames 2, 4 and 5
    // (600, 1200 and 1500 ms); the end is reported as soon as the seventh step finds it.
    ASSERT_EQ(ticks.size(), 4u);
    EXPECT_EQ(ticks[0].position, 2u);
    EXPECT_EQ(ticks[0].text,
              "現在位置 00:00.066\t進捗度 33%\n経過時間 00:00.600\t推定残り時間 00:01.200");
    EXPECT_EQ(ticks[1].position, 4u);
    EXPECT_EQ(ticks[2].position, 5u);
    EXPECT_EQ(ticks[3].action, ExportTick::Action::EndOk);
    EXPECT_EQ(ticks[2].action, ExportTick::Action::Refresh);
}

TEST(ExportRun, AFrameThatCannotBeWrittenStopsTheRun) {
    ScratchFolder dir;
    // The disk "fills up" at 300 kB: frames of 40,000 bytes stop fitting after a few.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 300'000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

    FakeComposer composer;
    ScriptedPrompt prompt{false};
    ExportJob job;
    ExportSettings s = SmallProject(20);
    s.width = 100;
    s.height = 100;
    NamedCompressorChooser raw(std::string{kUncompressedName});
    const bool ok =
        RunExportCommand(job, s, composer, dir.File("full.avi"), raw, prompt, nullptr, {});
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_TRUE(job.stopped);
    EXPECT_FALSE(job.done);
    EXPECT_FALSE(job.writer.Initialised());
    // The message says which file and why, unlike a cancel's, and how many frames it keeps.
    EXPECT_GT(job.FramesWritten(), 0u);
    EXPECT_LE(job.FramesWritten(), 7u);  // 7 x 40,008 bytes and the headers fit
    EXPECT_EQ(prompt.errors,
              std::vector<std::string>{std::string(kExportStopped) + "\n" + dir.File("full.avi") +
                                       ": ファイルの大きさが上限を超えました。書き出したファイルに"
                                       "は先頭の " +
                                       std::to_string(job.FramesWritten()) +
                                       " フレームが入っています。"});
}

TEST(ExportRun, FailedSetupAndCancelledChooserEndTheCommand) {
    ScratchFolder dir;
    FakeComposer composer;
    ScriptedPrompt prompt{false};
    ExportJob job;
    CancellingChooser cancel;
    EXPECT_FALSE(RunExportCommand(job, SmallProject(5), composer, dir.File("x.avi"), cancel, prompt,
                                  nullptr, {}));
    EXPECT_TRUE(prompt.errors.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.avi")));

    NamedCompressorChooser raw(std::string{kUncompressedName});
    EXPECT_FALSE(RunExportCommand(job, SmallProject(5), composer, dir.File("no/x.avi"), raw, prompt,
                                  nullptr, {}));
    EXPECT_EQ(prompt.errors,
              std::vector<std::string>{std::string(kExportCannotOpenFile) + "\n" +
                                       dir.File("no/x.avi") + ": フォルダーが見つかりません。"});
    EXPECT_TRUE(composer.composed.empty());
    EXPECT_FALSE(job.writer.Initialised());
}

TEST(ExportProgressText, FormatAndArithmetic) {
    EXPECT_EQ(FormatProgressText(0, 100, 333333, 0),
              "現在位置 00:00.000\t進捗度 0%\n経過時間 00:00.000\t推定残り時間 00:00.000");
    // 900 frames of 333333 units: 299,999,700 units = 29 s 999 ms; half done after 61.234 s.
    EXPECT_EQ(FormatProgressText(900, 1800, 333333, 61234),
              "現在位置 00:29.999\t進捗度 50%\n経過時間 01:01.234\t推定残り時間 01:01.234");
    // Remaining = (length - n) x elapsed / n, truncated: 2 x 1001 / 3 = 667 ms.
    EXPECT_EQ(FormatProgressText(3, 5, 10'000'000, 1001),
              "現在位置 00:03.000\t進捗度 60%\n経過時間 00:01.001\t推定残り時間 00:00.667");
    // Long runs: minutes go past two digits, and the estimate does not wrap around 2^32 ms.
    EXPECT_EQ(FormatProgressText(1, 100000, 10'000'000 * 60LL * 100, 3'600'000),
              "現在位置 100:00.000\t進捗度 0%\n経過時間 60:00.000\t推定残り時間 5999940:00.000");
    EXPECT_EQ(FormatProgressText(7, 7, 400000, 999),
              "現在位置 00:00.280\t進捗度 100%\n経過時間 00:00.999\t推定残り時間 00:00.000");
}

TEST(ExportDriverTimer, RefreshesEveryHalfSecondAndEndsOnTheNextTick) {
    ScratchFolder dir;
    FakeClock clock;
    FakeComposer composer;
    ExportJob job;
    const ExportSettings s = SmallProject(4);
    ASSERT_TRUE(job.Setup(dir.File("t.avi"), s, composer));
    ExportDriver driver(job, s, composer, clock.Get());
    driver.SetTimeoutIsError(true);
    driver.SetShowCurrentImage(false);
    driver.Start();
    EXPECT_TRUE(driver.ShowCurrentImage());  // the window opens with the image shown
    EXPECT_FALSE(driver.AnswerTimeoutQuestion());

    ExportTick tick = driver.Tick();
    EXPECT_EQ(tick.action, ExportTick::Action::Refresh);
    EXPECT_EQ(tick.preview, nullptr);  // nothing written yet

    driver.Step();
    driver.Step();
    clock.now += 499ms;
    EXPECT_FALSE(driver.TimerDue());
    clock.now += 1ms;
    EXPECT_TRUE(driver.TimerDue());
    EXPECT_FALSE(driver.TimerDue());
    tick = driver.Tick();
    EXPECT_EQ(tick.action, ExportTick::Action::Refresh);
    EXPECT_EQ(tick.position, 2u);
    EXPECT_TRUE(tick.hasText);
    EXPECT_EQ(tick.text,
              "現在位置 00:00.066\t進捗度 50%\n経過時間 00:00.500\t推定残り時間 00:00.500");
    ASSERT_NE(tick.preview, nullptr);
    EXPECT_EQ(tick.preview->Row32(0)[0], 1u);  // the frame written last
    driver.SetShowCurrentImage(false);
    EXPECT_EQ(driver.Tick().preview, nullptr);

    // A step that outlasts several periods is followed by one tick, then the period resumes.
    clock.now += 1700ms;  // at 2200 ms
    EXPECT_TRUE(driver.TimerDue());
    EXPECT_FALSE(driver.TimerDue());
    clock.now += 299ms;
    EXPECT_FALSE(driver.TimerDue());
    clock.now += 1ms;  // at 2500 ms
    EXPECT_TRUE(driver.TimerDue());

    driver.SetTimeoutIsError(true);
    EXPECT_TRUE(driver.AnswerTimeoutQuestion());
    driver.SetAbortOnDrawError(true);
    EXPECT_TRUE(job.abortOnDrawError);

    driver.Step();
    driver.Step();
    EXPECT_FALSE(driver.Ended());
    EXPECT_TRUE(job.writer.StreamOpen());
    EXPECT_EQ(tick.preview->Row32(0)[0], 1u);  // the tick's copy outlives the frames after it
    driver.Step();                             // past the last frame: the file is closed
    EXPECT_TRUE(job.done);
    EXPECT_FALSE(job.writer.Initialised());
    driver.Step();  // nothing more happens
    EXPECT_EQ(composer.composed, Iota(4));
    tick = driver.Tick();
    EXPECT_EQ(tick.action, ExportTick::Action::EndOk);
    EXPECT_FALSE(driver.TimerRunning());
    EXPECT_EQ(FramesInFile(dir.File("t.avi")), Iota(4));
}

TEST(ExportDriverTimer, CancelAndAFailedThreadStartCloseTheFile) {
    ScratchFolder dir;
    {
        // "中断" pressed inside a step (a message box's nested event loop): the frame is still
        // written whole, then the run stops; nothing writes into a closed file.
        FakeClock clock;
        FakeComposer composer;
        ExportJob job;
        const ExportSettings s = SmallProject(50);
        const std::string path = dir.File("nested.avi");
        ASSERT_TRUE(job.Setup(path, s, composer));
        ExportDriver driver(job, s, composer, clock.Get());
        composer.afterFrame = [&](uint32_t frame) {
            if (frame == 2) {
                driver.Cancel();
                driver.Step();  // a re-entrant step does nothing
                EXPECT_TRUE(job.writer.StreamOpen());
            }
        };
        driver.Start();
        for (int i = 0; i < 5; ++i) {
            driver.Step();
        }
        EXPECT_TRUE(job.stopped);
        EXPECT_EQ(driver.Tick().action, ExportTick::Action::EndCancel);
        EXPECT_EQ(FramesInFile(path), Iota(3));
    }
    for (const bool threadFails : {false, true}) {
        FakeClock clock;
        FakeComposer composer;
        ExportJob job;
        const ExportSettings s = SmallProject(50);
        const std::string path = dir.File(threadFails ? "thread.avi" : "cancel.avi");
        ASSERT_TRUE(job.Setup(path, s, composer));
        ExportDriver driver(job, s, composer, clock.Get());
        driver.Start();
        if (threadFails) {
            driver.ThreadStartFailed();
        } else {
            driver.Step();
            driver.Step();
            driver.Cancel();
            EXPECT_FALSE(driver.TimerRunning());
        }
        EXPECT_TRUE(job.stopped);
        EXPECT_FALSE(job.writer.Initialised());
        driver.Step();
        EXPECT_EQ(driver.Tick().action, ExportTick::Action::EndCancel);
        EXPECT_EQ(FramesInFile(path), Iota(threadFails ? 0 : 2));
    }
}

TEST(ExportDriverTimer, ZeroLengthShowsNoTextAndIsDoneAtOnce) {
    ScratchFolder dir;
    FakeComposer composer;
    ExportJob job;
    const ExportSettings s = SmallProject(0);
    ASSERT_TRUE(job.Setup(dir.File("empty.avi"), s, composer));
    ExportDriver driver(job, s, composer);
    driver.Start();
    const ExportTick tick = driver.Tick();
    EXPECT_EQ(tick.action, ExportTick::Action::Refresh);
    EXPECT_FALSE(tick.hasText);
    driver.Step();
    EXPECT_TRUE(job.done);
    EXPECT_EQ(driver.Tick().action, ExportTick::Action::EndOk);
    EXPECT_TRUE(composer.composed.empty());
}

}  // namespace
}  // namespace kelvane
