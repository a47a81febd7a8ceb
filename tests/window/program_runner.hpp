// The built program, started as a person would start it, for the tests that
// check it from outside.
#pragma once

#include <windows.h>

#include "win32/handles.hpp"

namespace vantorel {

struct StartedProgram {
  UniqueHandle process;
  UniqueHandle thread;
  HWND window = nullptr;  // null when no window showed within 30 s
};

// Starts the program at the path the build gives (a Unix path when the build
// ran on Unix for Wine) with the show command, and waits for its window.
StartedProgram StartProgram(const char* path, WORD show);

// Closes the program's window as a person would; its exit code, or -1 when
// it did not end within 30 s.
long CloseProgram(const StartedProgram& program);

}  // namespace vantorel
