#include "tests/support/gui_driver.hpp"

#include <cstdio>
#include <utility>

#include "win32/clipboard.hpp"
#include "win32/edit_menu.hpp"
#include "win32/handles.hpp"
#include "win32/window_text.hpp"

namespace vantorel::testing {

void HoldKeys(unsigned mods) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_SHIFT] = (mods & kShift) != 0 ? 0x80 : 0;
  keys[VK_CONTROL] = (mods & kCtrl) != 0 ? 0x80 : 0;
  SetKeyboardState(keys);
}
namespace {

std::function<void()> g_loop;

MessageBoxSeen g_seen;
int g_answer = IDOK;

std::wstring ClassName(HWND window) {
  wchar_t name[64] = {};
  const int length = GetClassNameW(window, name, 64);
  return std::wstring(name, name + (length > 0 ? length : 0));
}

BOOL CALLBACK ReadChild(HWND child, LPARAM) {
  if (lstrcmpiW(ClassName(child).c_str(), L"Button") == 0) {
    ++g_seen.buttons;
    g_seen.only_ok = GetDlgCtrlID(child) == IDOK;
  } else if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    const auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
    g_seen.error_icon = icon != nullptr && icon == LoadIconW(nullptr, IDI_ERROR);
  } else {
    const std::u16string text = ReadText(child);
    if (text.size() > g_seen.text.size()) g_seen.text = text;
  }
  return TRUE;
}

BOOL CALLBACK CloseIfMessageBox(HWND window, LPARAM) {
  if (ClassName(window) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  ++g_seen.count;
  g_seen.caption = ReadText(window);
  g_seen.owner = GetWindow(window, GW_OWNER);
  g_seen.text.clear();
  g_seen.buttons = 0;
  EnumChildWindows(window, ReadChild, 0);
  if (g_seen.buttons != 1) g_seen.only_ok = false;
  // Press the answer, or close the box whatever it holds.
  if (const HWND button = GetDlgItem(window, g_answer); button != nullptr) {
    SendMessageW(button, BM_CLICK, 0, 0);
  } else {
    SendMessageW(window, WM_CLOSE, 0, 0);
  }
  return FALSE;
}

void CALLBACK LookForMessageBox(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), CloseIfMessageBox, 0);
}

// The shortcut menu being read, the labels of the items to choose in it and
// in its submenu, and that submenu once chosen.
std::vector<MenuItem> g_menu;
std::u16string g_choose, g_then;
HMENU g_submenu = nullptr;

// A visible popup menu window: the one of g_submenu once that is chosen.
BOOL CALLBACK FindMenuWindow(HWND window, LPARAM found) {
  if (ClassName(window) != L"#32768" || !IsWindowVisible(window)) return TRUE;
  if (g_submenu != nullptr &&
      reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0)) != g_submenu) {
    return TRUE;
  }
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

void CALLBACK ReadMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND popup = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindMenuWindow, reinterpret_cast<LPARAM>(&popup));
  if (popup == nullptr) return;
  const auto menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
  const bool in_submenu = g_submenu != nullptr;
  WPARAM key = 0;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU;
    GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item);
    const bool separator = (item.fType & MFT_SEPARATOR) != 0;
    MenuItem seen{separator ? u"-" : MenuItemLabel(menu, static_cast<UINT>(i)),
                  (item.fState & MFS_DISABLED) == 0};
    if (const auto amp = seen.label.find(u'&');
        seen.label == (in_submenu ? g_then : g_choose) && amp + 1 < seen.label.size()) {
      key = seen.label[amp + 1];
      if (!in_submenu && !g_then.empty()) g_submenu = item.hSubMenu;
    }
    if (!in_submenu) g_menu.push_back(std::move(seen));
  }
  // On to the submenu, once it is up; else done.
  if (in_submenu || g_submenu == nullptr) KillTimer(nullptr, timer);
  if (key != 0) {
    PostMessageW(popup, WM_CHAR, key, 0);
  } else {
    EndMenu();
  }
}

}  // namespace

std::u16string Text(HWND control) { return ReadText(control); }

void SetMessageLoop(std::function<void()> loop) { g_loop = std::move(loop); }

void Pump() {
  if (g_loop) return g_loop();
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool Focus(HWND control) {
  const auto came = [control] {
    return control != nullptr ? GetFocus() == control : GetFocus() != nullptr;
  };
  for (int i = 0; i < 300 && !came(); ++i) {
    if (control != nullptr) SetFocus(control);
    Pump();
    if (!came()) Sleep(10);
  }
  return came();
}

void Press(UINT key, unsigned mods) {
  HoldKeys(mods);
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
  const HWND focus = GetFocus();
  PostMessageW(focus, WM_KEYDOWN, key, 1 | scan);
  PostMessageW(focus, WM_KEYUP, key, 1 | scan | (3LL << 30));
  Pump();
  HoldKeys(0);
}

void Type(HWND control, std::u16string_view chars) {
  for (const char16_t c : chars) {
    PostMessageW(control, WM_CHAR, c, 1);
    Pump();
  }
}

std::vector<MenuItem> OpenShortcutMenu(HWND control, std::u16string_view choose,
                                       std::u16string_view then) {
  g_menu.clear();
  g_choose = choose;
  g_then = then;
  g_submenu = nullptr;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, ReadMenu);
  SendMessageW(control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control), MAKELPARAM(-1, -1));
  KillTimer(nullptr, timer);
  return std::move(g_menu);
}

bool SetClipboardText(HWND owner, std::u16string_view text) {
  // Someone else (Wine's own clipboard thread, for one) may have it open.
  for (int i = 0; i < 100; ++i) {
    if (vantorel::OpenClipboard(owner)) break;
    Sleep(20);
  }
  return vantorel::SetClipboardText(owner, text);
}

VARIANT AccessibleSelf() {
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  return self;
}

std::u16string AccessibleText(IAccessible* object,
                              HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) {
  BSTR text = nullptr;
  const HRESULT result = (object->*get)(AccessibleSelf(), &text);
  std::u16string read;
  if (result == S_OK && text != nullptr) {
    const std::wstring_view units(text, SysStringLen(text));
    read.assign(units.begin(), units.end());
  } else {
    char hex[24] = {};
    const int length =
        std::snprintf(hex, sizeof hex, "<hr %08lx>", static_cast<unsigned long>(result));
    read.assign(hex, hex + (length > 0 ? length : 0));
  }
  SysFreeString(text);
  return read;
}

HRESULT PutAccessibleValue(IAccessible* object, std::u16string_view value) {
  const std::wstring units(value.begin(), value.end());
  const BSTR text = SysAllocStringLen(units.data(), static_cast<UINT>(units.size()));
  if (text == nullptr) return E_OUTOFMEMORY;
  const HRESULT result = object->put_accValue(AccessibleSelf(), text);
  SysFreeString(text);
  return result;
}

MessageBoxCloser::MessageBoxCloser(int answer)
    : timer_(SetTimer(nullptr, 0, 50, LookForMessageBox)) {
  g_seen = {};
  g_answer = answer;
}

MessageBoxCloser::~MessageBoxCloser() { KillTimer(nullptr, timer_); }

const MessageBoxSeen& MessageBoxCloser::seen() const { return g_seen; }

}  // namespace vantorel::testing
