// The functions of user32 that newer Windows has and older Windows (and older
// Wine) lacks, looked up by name at run time, so that the program starts on
// every Windows it promises and uses them where they are.
#pragma once

#include <windows.h>

namespace vantorel {

// The function, or null where user32 lacks it. Callers keep the answer in a
// static, so that each name is looked up once.
template <class Function>
Function User32Function(const char* name) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  const FARPROC proc = GetProcAddress(user32, name);
  // Through the generic function pointer type, which converts to any other.
  using Generic = void (*)();
  return reinterpret_cast<Function>(reinterpret_cast<Generic>(proc));
}

}  // namespace vantorel
