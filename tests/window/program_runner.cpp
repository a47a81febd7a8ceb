#include "tests/window/program_runner.hpp"

#include <string>

namespace vantorel {
namespace {

// Wine shows the Unix root as drive Z:.
std::wstring WindowsPath(const char* path) {
  std::wstring wide(path, path + std::char_traits<char>::length(path));
  if (!wide.empty() && wide[0] == L'/') wide = L"Z:" + wide;
  return wide;
}

struct Search {
  DWORD process_id;
  HWND window;
};

BOOL CALLBACK FindProgramWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  // Created hidden, then shown once placed.
  if (process == search->process_id && std::wstring(name) == L"Vantorel.Form1" &&
      IsWindowVisible(window)) {
    search->window = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

StartedProgram StartProgram(const char* path, WORD show) {
  std::wstring command = L"\"" + WindowsPath(path) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show;
  PROCESS_INFORMATION info{};
  StartedProgram program;
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return program;
  }
  program.process.reset(info.hProcess);
  program.thread.reset(info.hThread);
  Search search{info.dwProcessId, nullptr};
  for (int i = 0; i < 300 && search.window == nullptr; ++i) {
    WaitForInputIdle(info.hProcess, 100);
    EnumWindows(FindProgramWindow, reinterpret_cast<LPARAM>(&search));
    if (search.window == nullptr) Sleep(100);
  }
  program.window = search.window;
  return program;
}

long CloseProgram(const StartedProgram& program) {
  PostMessageW(program.window, WM_CLOSE, 0, 0);
  DWORD exit_code = 0;
  if (WaitForSingleObject(program.process.get(), 30000) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(program.process.get(), &exit_code)) {
    return -1;
  }
  return static_cast<long>(exit_code);
}

}  // namespace vantorel
