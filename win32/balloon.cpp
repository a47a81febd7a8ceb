#include "win32/balloon.hpp"

#include <commctrl.h>

#include <string>

namespace vantorel {
namespace {

constexpr UINT_PTR kToolId = 1;
constexpr UINT_PTR kHideTimer = 1;

TOOLINFOW Tool(HWND tip, const wchar_t* text) {
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = GetWindow(tip, GW_OWNER);
  tool.uId = kToolId;
  tool.lpszText = const_cast<wchar_t*>(text);
  return tool;
}

void Deactivate(HWND tip) {
  TOOLINFOW tool = Tool(tip, nullptr);
  SendMessageW(tip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

void CALLBACK HideWhenDue(HWND tip, UINT, UINT_PTR timer, DWORD) {
  KillTimer(tip, timer);
  Deactivate(tip);
}

}  // namespace

bool BalloonTip::Show(HWND control, POINT at, std::u16string_view title, std::u16string_view text,
                      Icon icon, UINT milliseconds) {
  Hide();
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  // Owned by the control's window, so that it stays above it and goes with it.
  tip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, control, nullptr, nullptr,
                             nullptr));
  if (!tip_) return false;
  const std::wstring wide_text(text.begin(), text.end());
  const std::wstring wide_title(title.begin(), title.end());
  TOOLINFOW tool = Tool(tip_.get(), wide_text.c_str());
  if (!SendMessageW(tip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) return false;
  // Long texts wrap at about a third of the screen.
  SendMessageW(tip_.get(), TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN) / 3);
  SendMessageW(tip_.get(), TTM_SETTITLEW, static_cast<WPARAM>(icon),
               reinterpret_cast<LPARAM>(wide_title.c_str()));
  ClientToScreen(control, &at);
  SendMessageW(tip_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
  SendMessageW(tip_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
  if (milliseconds != 0) SetTimer(tip_.get(), kHideTimer, milliseconds, HideWhenDue);
  return true;
}

void BalloonTip::Hide() { tip_.reset(); }

bool BalloonTip::Update(std::u16string_view text) {
  const HWND tip = shown();
  if (tip == nullptr) return false;
  const std::wstring wide_text(text.begin(), text.end());
  TOOLINFOW tool = Tool(tip, wide_text.c_str());
  SendMessageW(tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  // Shown again where it is, so that it takes the new text's size.
  SendMessageW(tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
  return true;
}

HWND BalloonTip::shown() const {
  return tip_ && IsWindowVisible(tip_.get()) ? tip_.get() : nullptr;
}

}  // namespace vantorel
