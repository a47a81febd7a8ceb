// The built program, started as a person would start it: it shows Form1; a
// screen reader in another process reads and sets the lower box's text through
// its accessible object; and it ends with exit code 0 when its window is
// closed.
#include <gtest/gtest.h>
#include <oleacc.h>
#include <windows.h>

#include <string>

#include "tests/support/gui_driver.hpp"
#include "win32/handles.hpp"
#include "window/layout.hpp"

namespace vantorel {
namespace {

// The program's visible Form1 (created hidden, shown once placed).
HWND FindForm(DWORD process_id) {
  for (HWND window = nullptr;
       (window = FindWindowExW(nullptr, window, L"Vantorel.Form1", nullptr)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == process_id && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

TEST(Program, OpensServesAScreenReaderAndEndsWithZeroWhenClosed) {
  const ComApartment com = vantorel::CoInitializeEx(COINIT_APARTMENTTHREADED);
  // Where the build ran on Unix for Wine, Wine shows the Unix root as drive Z:.
  const std::string path = VANTOREL_EXE;
  std::wstring command = L"\"" + std::wstring(path[0] == '/' ? L"Z:" : L"") +
                         std::wstring(path.begin(), path.end()) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info))
      << "error " << GetLastError();
  const UniqueHandle process(info.hProcess), thread(info.hThread);
  HWND form = nullptr;
  for (int i = 0; i < 300 && form == nullptr; ++i) {
    WaitForInputIdle(process.get(), 100);
    form = FindForm(info.dwProcessId);
    if (form == nullptr) Sleep(100);
  }
  ASSERT_NE(form, nullptr) << "no window shown within 30 s";
  EXPECT_EQ(testing::Text(form), u"Vantorel");

  UniqueCom<IAccessible> box;
  const HWND text2 = GetDlgItem(form, Design(Control::kText2).id);
  EXPECT_EQ(AccessibleObjectFromWindow(text2, OBJID_CLIENT, IID_IAccessible, box.put_void()), S_OK);
  if (box) {
    EXPECT_EQ(testing::PutAccessibleValue(box.get(), u"41 42"), S_OK);
    EXPECT_EQ(testing::AccessibleText(box.get(), &IAccessible::get_accValue), u"41 42");
    wchar_t text[8] = {};  // (GetWindowText would not ask another process's window)
    SendMessageW(text2, WM_GETTEXT, 8, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, L"41 42");
  }

  PostMessageW(form, WM_CLOSE, 0, 0);
  DWORD exit_code = 1;
  ASSERT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeProcess(process.get(), &exit_code));
  EXPECT_EQ(exit_code, 0u);
}

}  // namespace
}  // namespace vantorel
