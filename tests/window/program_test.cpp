// The built program itself: it starts, shows Form1, and ends with exit code 0
// when its window is closed.
#include <gtest/gtest.h>
#include <oleacc.h>
#include <windows.h>

#include "tests/support/gui_driver.hpp"
#include "tests/window/program_runner.hpp"
#include "win32/handles.hpp"
#include "window/layout.hpp"

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

// A screen reader in another process finds the lower box a text box named by
// its frame, whose text it reads and sets.
TEST(Program, LowerBoxIsAccessibleFromAnotherProcess) {
  const ComApartment com = vantorel::CoInitializeEx(COINIT_APARTMENTTHREADED);
  const StartedProgram program = StartProgram(VANTOREL_EXE, SW_SHOWNORMAL);
  ASSERT_NE(program.window, nullptr) << "no window shown within 30 s";
  const HWND text2 = GetDlgItem(program.window, Design(Control::kText2).id);
  IAccessible* found = nullptr;
  EXPECT_EQ(AccessibleObjectFromWindow(text2, OBJID_CLIENT, IID_IAccessible,
                                       reinterpret_cast<void**>(&found)),
            S_OK);
  if (found != nullptr) {
    const UniqueCom<IAccessible> box(found);
    VARIANT role{};
    EXPECT_EQ(box.get()->get_accRole(testing::AccessibleSelf(), &role), S_OK);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_TEXT);
    EXPECT_EQ(testing::AccessibleText(box.get(), &IAccessible::get_accName), u"需要解密的内容");
    EXPECT_EQ(testing::PutAccessibleValue(box.get(), u"41 42"), S_OK);
    EXPECT_EQ(testing::AccessibleText(box.get(), &IAccessible::get_accValue), u"41 42");
    wchar_t text[8] = {};
    SendMessageW(text2, WM_GETTEXT, 8, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, L"41 42");
  }
  EXPECT_EQ(CloseProgram(program), 0);
}

}  // namespace
}  // namespace vantorel
