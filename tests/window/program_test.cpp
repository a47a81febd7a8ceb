// The built program itself: it starts, shows Form1, and ends with exit code 0
// when its window is closed.
#include <gtest/gtest.h>
#include <windows.h>

#include "program_runner.hpp"

namespace vantorel {
namespace {

TEST(Program, OpensAndEndsWithZeroWhenClosed) {
  const StartedProgram program = StartProgram(VANTOREL_EXE, SW_SHOWNORMAL);
  ASSERT_TRUE(program.process) << "error " << GetLastError();
  ASSERT_NE(program.window, nullptr) << "no window shown within 30 s";
  wchar_t title[32] = {};
  GetWindowTextW(program.window, title, 32);
  EXPECT_STREQ(title, L"Vantorel");
  EXPECT_EQ(CloseProgram(program), 0);
}

}  // namespace
}  // namespace vantorel
