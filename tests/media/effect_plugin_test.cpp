#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "media/EffectList.h"
#include "media/EffectPlugin.h"
#include "media/SourcePath.h"

namespace kelvane {
namespace {

std::u16string U16(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// The folder of the test modules (good.so, newer.so, incomplete.so, fickle.so, empty.so).
std::u16string TestFolder() {
    return U16(KELVANE_EFFECT_TEST_DIR);
}

int32_t LastId(const std::u16string& module) {
    DynamicModule probe;  // the same library: the loader hands back the loaded instance
    EXPECT_TRUE(probe.Load(module));
    auto last = probe.Lookup<int32_t (*)()>("TestLastEffectId");
    return last ? last() : -2;
}

bool Draw(const EffectPlugin& plugin) {
    uint32_t pixel = 0;
    EffectRect rect{0, 0, 1, 1};
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    return plugin.Transform(&pixel, 1, 1, rect, rect, 0, 0, identity, identity);
}

TEST(EffectPath, CutsAtTheFirstMarker) {
    EffectPath plain = SplitEffectPath(u"\\effect.so");
    EXPECT_EQ(plain.module, u"\\effect.so");
    EXPECT_FALSE(plain.name.has_value());

    EffectPath named = SplitEffectPath(u"\\effect.so>塗りつぶし");
    EXPECT_EQ(named.module, u"\\effect.so");
    EXPECT_EQ(named.name, u"塗りつぶし");

    EffectPath empty = SplitEffectPath(u"\\effect.so>");
    ASSERT_TRUE(empty.name.has_value());
    EXPECT_TRUE(empty.name->empty());

    EffectPath twice = SplitEffectPath(u"/x/a.so>b>c");
    EXPECT_EQ(twice.module, u"/x/a.so");
    EXPECT_EQ(twice.name, u"b>c");
}

// Opens an entry's path the way a media source resolves it.
bool OpenEffect(EffectPlugin& plugin, std::u16string_view path, std::u16string_view basePath,
                std::u16string_view projectFolder) {
    for (const std::u16string& candidate :
         SourcePathCandidates(path, basePath, projectFolder, u"/nonexistent-executable-folder")) {
        if (LoadEffect(plugin, candidate))
            return true;
    }
    return false;
}

TEST(EffectPluginLoad, PathWithoutNameSelectsIndexZeroAndPassesIdZero) {
    EffectPlugin plugin;
    // The base path is wrong; the project folder finds the module.
    ASSERT_TRUE(OpenEffect(plugin, u"\\good.so", u"/nonexistent", TestFolder()));
    EXPECT_TRUE(plugin.IsLoaded());
    EXPECT_EQ(EffectText(plugin.Info().name), u"Alpha");
    EXPECT_EQ(plugin.Info().id, 100);
    EXPECT_EQ(plugin.EffectId(), 0);
    ASSERT_TRUE(Draw(plugin));
    EXPECT_EQ(LastId(TestFolder() + u"/good.so"), 0);
}

TEST(EffectPluginLoad, NamedSelectionIsExactAndUsesTheRecordId) {
    EffectPlugin plugin;
    ASSERT_TRUE(OpenEffect(plugin, u"\\good.so>beta", TestFolder(), u""));
    EXPECT_EQ(plugin.EffectId(), 300);
    ASSERT_TRUE(Draw(plugin));
    EXPECT_EQ(LastId(TestFolder() + u"/good.so"), 300);

    // A path ending in ">" selects the effect whose name is empty.
    ASSERT_TRUE(OpenEffect(plugin, u"\\good.so>", TestFolder(), u""));
    EXPECT_EQ(plugin.EffectId(), 200);

    // Names compare case-sensitively; a failed load keeps what the plug-in held.
    EXPECT_FALSE(OpenEffect(plugin, u"\\good.so>Beta", TestFolder(), u""));
    EXPECT_FALSE(OpenEffect(plugin, u"\\good.so>Alph", TestFolder(), u""));
    EXPECT_TRUE(plugin.IsLoaded());
    EXPECT_EQ(plugin.EffectId(), 200);

    // An absolute path is used as it stands.
    EffectPlugin absolute;
    EXPECT_TRUE(LoadEffect(absolute, TestFolder() + u"/good.so>Alpha"));
    EXPECT_EQ(absolute.EffectId(), 100);
    EXPECT_TRUE(absolute.Load(TestFolder() + u"/good.so", 2, std::nullopt));
    EXPECT_EQ(absolute.EffectId(), 2);
    EXPECT_FALSE(absolute.Load(TestFolder() + u"/good.so", 3, std::nullopt));
}

TEST(EffectPluginLoad, RefusesNewerVersionsBrokenAndMissingModules) {
    const std::u16string dir = TestFolder();
    EffectPlugin plugin;
    EXPECT_FALSE(LoadEffect(plugin, dir + u"/newer.so"));  // index 0 has version 0x20001
    EXPECT_FALSE(LoadEffect(plugin, dir + u"/newer.so>Newer"));
    EXPECT_FALSE(plugin.IsLoaded());
    EXPECT_TRUE(LoadEffect(plugin, dir + u"/newer.so>Current"));  // 0x20000 is accepted
    EXPECT_EQ(plugin.Info().version, 0x20000u);

    EffectPlugin other;
    EXPECT_FALSE(other.LoadModule(dir + u"/incomplete.so"));  // no TransformEffect
    EXPECT_FALSE(other.LoadModule(dir + u"/missing.so"));
    EXPECT_FALSE(other.LoadModule(u""));
    EXPECT_FALSE(LoadEffect(other, dir + u"/fickle.so>Alpha"));  // the count changes
    EXPECT_TRUE(LoadEffect(other, dir + u"/fickle.so"));         // QueryEffect is enough
    EXPECT_FALSE(Draw(EffectPlugin{}));
}

TEST(EffectList, EnumeratesDescribesAndPicks) {
    EffectList list;
    ASSERT_EQ(OpenEffectList(u"\\good.so>BE", u"/nonexistent", TestFolder(), list),
              EffectListStatus::Ok);
    EXPECT_EQ(list.modulePath, u"\\good.so");
    EXPECT_EQ(list.currentName, u"BE");
    ASSERT_EQ(list.records.size(), 3u);
    // Prefix search, case-insensitive, over names in the module's order.
    EXPECT_EQ(InitialEffectSelection(list.records, list.currentName), 2);
    EXPECT_EQ(InitialEffectSelection(list.records, u"zzz"), 0);
    EXPECT_EQ(InitialEffectSelection(list.records, u""), 0);
    EXPECT_EQ(EffectDescription(list.records[0]), u"Alpha\r\nsecond line\r\ndescription");
    EXPECT_EQ(EffectPathWithName(list.modulePath, EffectText(list.records[2].name)),
              u"\\good.so>beta");
}

TEST(EffectList, ReportsFailuresAndEmptyModules) {
    EffectList list;
    EXPECT_EQ(OpenEffectList(u"\\missing.so", TestFolder(), u"", list),
              EffectListStatus::LoadFailed);
    EXPECT_EQ(EffectListMessage(EffectListStatus::LoadFailed), u"効果の読み込みに失敗しました。");
    EXPECT_EQ(OpenEffectList(u"\\fickle.so", TestFolder(), u"", list),
              EffectListStatus::AllocationFailed);
    EXPECT_EQ(EffectListMessage(EffectListStatus::AllocationFailed),
              u"メモリの割り当てに失敗しました。");
    EXPECT_FALSE(list.module.IsLoaded());

    ASSERT_EQ(OpenEffectList(TestFolder() + u"/empty.so", u"", u"", list), EffectListStatus::Ok);
    EXPECT_TRUE(list.records.empty());
    EXPECT_EQ(InitialEffectSelection(list.records, list.currentName), -1);
    EXPECT_EQ(EffectPathWithName(list.modulePath, u""), TestFolder() + u"/empty.so>");
}

}  // namespace
}  // namespace kelvane
