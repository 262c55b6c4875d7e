#include "media/SourcePath.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvane {
namespace {

using Paths = std::vector<std::u16string>;

TEST(SourcePath, AbsoluteAndPlainRelativePathsStandAsGiven) {
    EXPECT_EQ(SourcePathCandidates(u"/abs/clip.avi", u"/base", u"/project", u"/exe"),
              Paths{u"/abs/clip.avi"});
    EXPECT_EQ(SourcePathCandidates(u"clip.avi", u"/base", u"/project", u"/exe"),
              Paths{u"clip.avi"});
}

TEST(SourcePath, BackslashPathsTryBaseThenProjectFolderThenExecutableFolder) {
    EXPECT_EQ(SourcePathCandidates(u"\\effect.so>X", u"/base", u"/project", u"/exe"),
              (Paths{u"/base\\effect.so>X", u"/project\\effect.so>X", u"/exe\\effect.so>X"}));
}

TEST(SourcePath, AJoinedPathOf260UnitsEndsTheList) {
    const std::u16string fits(249, u'b');  // 249 + "\clip.avi" = 258 units
    EXPECT_EQ(SourcePathCandidates(u"\\clip.avi", fits, u"/p", u"/e")[0].size(), 258u);
    const std::u16string tooLong(251, u'b');  // 260 units: no candidate at all
    EXPECT_TRUE(SourcePathCandidates(u"\\clip.avi", tooLong, u"/p", u"/e").empty());
}

}  // namespace
}  // namespace kelvane
