// Types a short sample into a running Vantorel, or closes it, for the
// screenshot `make run` takes where there is no display.
//   vantorel_typist type    waits for the window, types into the upper box
//   vantorel_typist close   closes the window
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "window/layout.hpp"

namespace {

HWND WaitForForm(int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (const HWND form = FindWindowW(L"Vantorel.Form1", nullptr); form != nullptr) return form;
    Sleep(100);
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  const bool close = argc > 1 && std::strcmp(argv[1], "close") == 0;
  const HWND form = WaitForForm(close ? 5 : 60);
  if (form == nullptr) {
    std::fprintf(stderr, "vantorel_typist: no Vantorel window\n");
    return 1;
  }
  if (close) {
    PostMessageW(form, WM_CLOSE, 0, 0);
    return 0;
  }
  const HWND text1 = GetDlgItem(form, vantorel::Design(vantorel::Control::kText1).id);
  if (text1 == nullptr) return 1;
  SetForegroundWindow(form);
  const wchar_t sample[] = L"你好，世界！\rHello, Vantorel.";
  for (const wchar_t* c = sample; *c != L'\0'; ++c) SendMessageW(text1, WM_CHAR, *c, 1);
  std::printf("vantorel_typist: typed the sample\n");
  return 0;
}
