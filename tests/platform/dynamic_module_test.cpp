#include "platform/DynamicModule.h"

#include <gtest/gtest.h>

#include "platform/Path.h"
#include "support/ScratchFolder.h"

namespace kelvane {
namespace {

const std::u16string kTestModule = FromUtf8(KELVANE_TEST_MODULE);

TEST(DynamicModule, LoadsAndLooksUpExports) {
    DynamicModule module;
    ASSERT_TRUE(module.Load(kTestModule));
    EXPECT_TRUE(module.IsLoaded());
    auto answer = module.Lookup<int (*)()>("kelvane_test_answer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(module.Symbol("NoSuchExport"), nullptr);
    EXPECT_EQ(module.Symbol(nullptr), nullptr);

    DynamicModule moved = std::move(module);
    EXPECT_FALSE(module.IsLoaded());
    EXPECT_EQ(module.Symbol("kelvane_test_answer"), nullptr);
    EXPECT_NE(moved.Symbol("kelvane_test_answer"), nullptr);
    moved.Unload();
    EXPECT_FALSE(moved.IsLoaded());
}

TEST(DynamicModule, LoadFailuresHoldNothing) {
    testing::ScratchFolder dir;
    dir.Put("fake.spi", "not a shared library");
    DynamicModule module;
    ASSERT_TRUE(module.Load(kTestModule));
    // A failed load still lets go of what was held before.
    EXPECT_FALSE(module.Load(dir.PathOf("fake.spi")));
    EXPECT_FALSE(module.IsLoaded());
    EXPECT_FALSE(module.Load(dir.PathOf("missing.so")));
    // An empty name would otherwise give the program itself.
    EXPECT_FALSE(module.Load(u""));
    EXPECT_FALSE(module.IsLoaded());
    EXPECT_EQ(module.Symbol("kelvane_test_answer"), nullptr);
}

}  // namespace
}  // namespace kelvane
