#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "RenderTool.h"
#include "TestProjects.h"

namespace kelvane::testing {

// Each test gets a fresh folder below the build tree (so that the tool can be hard-linked into
// it) with the tool's folder inside; removed afterwards.
class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = std::filesystem::path(KELVANE_CLI_SCRATCH) /
                (std::string(info->test_suite_name()) + "." + info->name() + "." +
                 std::to_string(::getpid()));
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
        tool_ = std::make_unique<RenderTool>(root_);
    }
    void TearDown() override {
        if (!HasFailure()) {
            std::filesystem::remove_all(root_);
        }
    }

    std::filesystem::path Path(const std::string& name) const { return root_ / name; }
    std::string File(const std::string& name) const { return Path(name).string(); }
    const RenderTool& Tool() const { return *tool_; }

  private:
    std::filesystem::path root_;
    std::unique_ptr<RenderTool> tool_;
};

}  // namespace kelvane::testing
