#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "CliTestFixture.h"

namespace kelvane::testing {
namespace {

class UsageTest : public CliTest {};

TEST_F(UsageTest, HelpAndCodecListGoToStdoutAndSucceed) {
    const ToolRun help = Tool().Run({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* option :
         {"--frame", "--track", "--codec", "--keep-going", "--abort-on-draw-error", "--set",
          "--list-codecs", "--frames", "--join", "--movie-timeout", "kelvane.INI"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
    // --help wins over whatever else stands on the line.
    EXPECT_EQ(Tool().Run({"project.xqm", "--bogus", "-h"}).status, 0);

    const ToolRun list = Tool().Run({"--list-codecs"});
    EXPECT_EQ(list.status, 0);
    ASSERT_TRUE(list.out.starts_with("uncompressed\t")) << list.out;
    std::istringstream lines(list.out);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        const size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        EXPECT_GT(tab, 0u);
        EXPECT_LT(tab + 1, line.size()) << "a description follows the name: " << line;
    }
    EXPECT_GE(count, 2) << "at least one encoder beside uncompressed output";
}

TEST_F(UsageTest, MalformedCommandLinesExitWithTwoAndWriteNothing) {
    auto project = MakeProject(8, 8, 2, 0);
    WriteProject(*project, Path("p.xqm"));
    const std::string p = File("p.xqm");
    const std::string bmp = File("o.bmp");
    const std::string avi = File("o.avi");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {p},
        {p, "-o"},
        {"-o", avi},
        {p, File("q.xqm"), "-o", avi},
        {p, "--bogus", "-o", avi},
        {p, "--frame", "x", "-o", bmp},
        {p, "--frame", "-1", "-o", bmp},
        {p, "--frame", "4294967296", "-o", bmp},
        {p, "--frame", "1", "--frame", "2", "-o", bmp},
        {p, "--frame", "1", "--track", "256", "-o", bmp},
        {p, "--track", "1", "-o", avi},
        {p, "--frame", "0", "-o", bmp, "--codec", "mjpeg"},
        {p, "--frame", "0", "-o", bmp, "--abort-on-draw-error"},
        {p, "-o", avi, "--codec", "no-such-codec"},
        {p, "-o", avi, "--set", "NoSuchKey=1"},
        {p, "-o", avi, "--set", "PixelQuality"},
        {p, "-o", avi, "--set", "PixelQuality=high"},
        {p, "-o", avi, "--set", "PixelQuality=+-2"},
        {p, "-o", avi, "--set", "DrawFrameThread=99999999999"},
        {p, "-o", avi, "--keep-going=yes"},
        {p, "-o", avi, "--output", bmp},
        {p, "-o", avi, "--codec", "ffv1", "--codec=mjpeg"},
        {"--list-codecs", p},
        {p, "-o", avi, "--frames", "3"},
        {p, "-o", avi, "--frames", "3-2"},
        {p, "-o", avi, "--frames", "0-1", "--frames", "0-1"},
        {p, "--frame", "0", "--frames", "0-1", "-o", bmp},
        {"--join", avi},
        {"--join", avi, p, "-o", bmp},
        {"--join", avi, p, "--codec", "ffv1"},
        {"--join", avi, p, "--frames", "0-1"},
        {"--join", avi, p, "--movie-timeout", "5"},
        {p, "-o", avi, "--movie-timeout", "0"},
        {p, "-o", avi, "--movie-timeout", "soon"},
        {p, "-o", avi, "--movie-timeout", "5", "--movie-timeout=6"},
    };
    for (const auto& args : cases) {
        std::string line;
        for (const auto& a : args) {
            line += a + " ";
        }
        const ToolRun run = Tool().Run(args);
        EXPECT_EQ(run.status, 2) << line << "\n" << run.err;
        EXPECT_NE(run.err.find("--help"), std::string::npos) << line;
        EXPECT_FALSE(std::filesystem::exists(bmp)) << line;
        EXPECT_FALSE(std::filesystem::exists(avi)) << line;
    }
}

TEST_F(UsageTest, UnreadableProjectsFailWithTheLoadMessage) {
    std::ofstream(Path("garbage.xqm")) << "not a project";
    for (const std::string& project : {File("missing.xqm"), File("garbage.xqm")}) {
        for (const std::vector<std::string>& mode :
             {std::vector<std::string>{"--frame", "0", "-o", File("o.bmp")},
              std::vector<std::string>{"-o", File("o.avi")}}) {
            std::vector<std::string> args{project};
            args.insert(args.end(), mode.begin(), mode.end());
            const ToolRun run = Tool().Run(args);
            EXPECT_EQ(run.status, 1) << project;
            EXPECT_NE(run.err.find("読み込みに失敗しました。"), std::string::npos) << run.err;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(Path("o.bmp")));
    EXPECT_FALSE(std::filesystem::exists(Path("o.avi")));
}

}  // namespace
}  // namespace kelvane::testing
