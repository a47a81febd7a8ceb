// Vantorel: starts Form1 and runs its messages until it is closed.
#include <windows.h>

#include "win32/handles.hpp"
#include "window/form1.hpp"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  const vantorel::ComApartment com = vantorel::CoInitializeEx(COINIT_APARTMENTTHREADED);
  vantorel::Form1 form;
  const HWND window = form.Create(instance);
  if (window == nullptr) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  return vantorel::RunMessageLoop(form);
}
