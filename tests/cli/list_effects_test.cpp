#include <gtest/gtest.h>

#include <cstdlib>

#include "CliTestFixture.h"

namespace kelvane::testing {
namespace {

class ListEffectsTest : public CliTest {};

TEST_F(ListEffectsTest, ListsEveryModulesEffectsWithTheirParameters) {
    const ToolRun list = Tool().Run({"--list-effects"});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("\\effect.so>塗りつぶし\t"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("\\effect.so>モザイク（小）\t"), std::string::npos);
    EXPECT_NE(list.out.find("\n    区画の大きさ\t数値\t8\t2〜256\t"), std::string::npos);
    EXPECT_NE(list.out.find("\n    柔らかさ\t数値\t1.00\t0.00〜1.00\t"), std::string::npos);
    EXPECT_EQ(Tool().Run({"--list-effects", "x.xqm"}).status, 2);
}

#ifdef KELVANE_FREI0R_TEST_DIR
// Plug-ins on FREI0R_PATH come first: one that lacks f0r_init and one that crashes in it are left
// out with the reason, and one named like an installed plug-in hides that one, which is said.
TEST_F(ListEffectsTest, Frei0rPluginsThatCannotServeAreNamedWithTheReason) {
    setenv("FREI0R_PATH", KELVANE_FREI0R_TEST_DIR, 1);
    const ToolRun list = Tool().Run({"--list-effects"});
    unsetenv("FREI0R_PATH");
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("\\frei0r.so>（使用不可）noinit.so\tf0r_init がありません。"),
              std::string::npos)
        << list.out;
    const size_t crash = list.out.find("\\frei0r.so>（使用不可）crash.so\t");
    ASSERT_NE(crash, std::string::npos);
    EXPECT_NE(list.out.find("異常終了", crash), std::string::npos);
    const size_t glow = list.out.find("\\frei0r.so>Glow\t");
    ASSERT_NE(glow, std::string::npos);
    const std::string line = list.out.substr(glow, list.out.find('\n', glow) - glow);
    EXPECT_NE(line.find(KELVANE_FREI0R_TEST_DIR "/twin.so"), std::string::npos) << line;
    EXPECT_NE(line.find("同じ名前のため使われません: /usr/lib/frei0r-1/glow.so"), std::string::npos)
        << line;
    EXPECT_EQ(list.out.find("\\frei0r.so>Glow\t", glow + 1), std::string::npos);
    // Mixers are not effects of ours.
    EXPECT_EQ(list.out.find("\\frei0r.so>addition\t"), std::string::npos);
    EXPECT_NE(list.out.find("\\frei0r.so>Plasma\t"), std::string::npos);
}
#endif

}  // namespace
}  // namespace kelvane::testing
