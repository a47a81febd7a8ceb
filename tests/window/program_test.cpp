// The built program itself: it starts, shows Form1, and ends with exit code 0
// when its window is closed.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "handles.hpp"

namespace vantorel {
namespace {

// The program's path as the build knows it; a Unix path when the build ran on
// Unix for Wine, which shows the Unix root as drive Z:.
std::wstring ProgramPath() {
  const std::string path = VANTOREL_EXE;
  std::wstring wide(path.begin(), path.end());
  if (!wide.empty() && wide[0] == L'/') wide = L"Z:" + wide;
  return wide;
}

struct Found {
  DWORD process_id;
  HWND window;
};

BOOL CALLBACK FindProgramWindow(HWND window, LPARAM data) {
  auto* found = reinterpret_cast<Found*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  // Created hidden, then shown once placed.
  if (process == found->process_id && std::wstring(name) == L"Vantorel.Form1" &&
      IsWindowVisible(window)) {
    found->window = window;
    return FALSE;
  }
  return TRUE;
}

TEST(Program, OpensAndEndsWithZeroWhenClosed) {
  std::wstring command = L"\"" + ProgramPath() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info))
      << "error " << GetLastError();
  const UniqueHandle process(info.hProcess);
  const UniqueHandle thread(info.hThread);

  Found found{info.dwProcessId, nullptr};
  for (int i = 0; i < 300 && found.window == nullptr; ++i) {
    WaitForInputIdle(process.get(), 100);
    EnumWindows(FindProgramWindow, reinterpret_cast<LPARAM>(&found));
    if (found.window == nullptr) Sleep(100);
  }
  ASSERT_NE(found.window, nullptr) << "no window shown within 30 s";
  wchar_t title[32] = {};
  GetWindowTextW(found.window, title, 32);
  EXPECT_STREQ(title, L"Vantorel");

  PostMessageW(found.window, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
  DWORD exit_code = 1;
  ASSERT_TRUE(GetExitCodeProcess(process.get(), &exit_code));
  EXPECT_EQ(exit_code, 0u);
}

}  // namespace
}  // namespace vantorel
