#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "CliTestFixture.h"
#include "LayeredProject.h"

namespace kelvane::testing {
namespace {

// Whether the loader's report (LD_DEBUG=files) shows the library being mapped; a look-up of one
// already loaded, or not to be loaded, names it too but maps nothing.
bool Mapped(const std::string& report, const std::string& library) {
    std::istringstream lines(report);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find("file=" + library) != std::string::npos &&
            line.find("generating link map") != std::string::npos) {
            return true;
        }
    }
    return false;
}

class StartUpTest : public CliTest {
  protected:
    // Runs the tool with the environment variable set for it alone.
    ToolRun RunWith(const char* name, const char* value, const std::vector<std::string>& args) {
        setenv(name, value, 1);
        ToolRun run = Tool().Run(args);
        unsetenv(name);
        return run;
    }
};

// FFmpeg's libraries (and the ~130 they pull in) are mapped when a project first calls FFmpeg,
// not at start: --help and a project without movies or pictures never map them, a movie does.
TEST_F(StartUpTest, FfmpegIsMappedOnlyWhenAProjectNeedsIt) {
    auto empty = MakeProject(64, 48, 2, 0x00102030);
    WriteProject(*empty, Path("empty.xqm"));
    const std::string layered = WriteLayeredProject(Path("")).string();

    const ToolRun help = RunWith("LD_DEBUG", "files", {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_FALSE(Mapped(help.err, "libavcodec"));

    const ToolRun frame =
        RunWith("LD_DEBUG", "files", {File("empty.xqm"), "--frame", "1", "-o", File("e.bmp")});
    EXPECT_EQ(frame.status, 0) << frame.err;
    EXPECT_FALSE(Mapped(frame.err, "libavcodec"));
    EXPECT_TRUE(std::filesystem::exists(Path("e.bmp")));

    const ToolRun movie =
        RunWith("LD_DEBUG", "files", {layered, "--frame", "9", "-o", File("m.bmp")});
    EXPECT_EQ(movie.status, 0) << movie.err;
    EXPECT_TRUE(Mapped(movie.err, "libavcodec"));
}

// KELVANE_STEP_TIMES: the steps of a frame on standard error, the output unchanged.
TEST_F(StartUpTest, StepTimesNameEachStepOfAFrame) {
    const std::string layered = WriteLayeredProject(Path("")).string();
    const ToolRun plain = Tool().Run({layered, "--frame", "9", "-o", File("plain.bmp")});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err.find("step\t"), std::string::npos);
    const ToolRun timed =
        RunWith("KELVANE_STEP_TIMES", "1", {layered, "--frame", "9", "-o", File("timed.bmp")});
    ASSERT_EQ(timed.status, 0) << timed.err;
    for (const char* step : {"settings", "project read", "movie open and probe", "decode",
                             "composition", "BMP write"}) {
        EXPECT_NE(timed.err.find(std::string("step\t") + step + "\t"), std::string::npos) << step;
    }
    // Without a launch time there is no process start to report.
    EXPECT_EQ(timed.err.find("step\tprocess start"), std::string::npos);
    std::ifstream a(Path("plain.bmp"), std::ios::binary), b(Path("timed.bmp"), std::ios::binary);
    EXPECT_TRUE(
        std::equal(std::istreambuf_iterator<char>(a), {}, std::istreambuf_iterator<char>(b), {}));
}

}  // namespace
}  // namespace kelvane::testing
