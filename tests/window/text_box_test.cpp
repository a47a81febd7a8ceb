// The lower box on its own, in a window of the test's, driven with real
// window messages under Wine.
#include "text_box.hpp"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(TextBox, ClassRegisters) { EXPECT_TRUE(RegisterTextBoxClass(GetModuleHandleW(nullptr))); }

}  // namespace
}  // namespace vantorel
