// The text tests make a QGuiApplication on first use; it goes before main returns, as the
// command-line tool's does.
#include <gtest/gtest.h>

#include "media/QtGuiRuntime.h"

namespace kelvane {
namespace {

class GuiEnvironment : public ::testing::Environment {
  public:
    void TearDown() override { ReleaseGuiApplication(); }
};

const ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace
}  // namespace kelvane
