#include "win32/edit_menu.hpp"

#include <algorithm>

#include "win32/handles.hpp"

namespace vantorel {
namespace {

// Each command's id in the system's menu is the message the edit control
// sends itself for it; for undo, Windows' menu says WM_UNDO and Wine's EM_UNDO.
struct CommandIds {
  UINT id;
  UINT other_id;
};
constexpr CommandIds kIds[kEditMenuCommandCount] = {
    {WM_UNDO, EM_UNDO},   {WM_CUT, WM_CUT},     {WM_COPY, WM_COPY},
    {WM_PASTE, WM_PASTE}, {WM_CLEAR, WM_CLEAR}, {EM_SETSEL, EM_SETSEL},
};

// Finds the commands' labels in a menu and the menus it opens (Wine's is a
// menu bar whose one item opens the edit control's menu).
void Collect(HMENU menu, EditMenuLabels& labels, int depth) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    const auto position = static_cast<UINT>(i);
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE;
    if (!GetMenuItemInfoW(menu, position, TRUE, &item)) continue;
    if (item.hSubMenu != nullptr) {
      if (depth < 2) Collect(item.hSubMenu, labels, depth + 1);
      continue;
    }
    if ((item.fType & MFT_SEPARATOR) != 0) continue;
    for (std::size_t c = 0; c < kEditMenuCommandCount; ++c) {
      if ((item.wID == kIds[c].id || item.wID == kIds[c].other_id) && labels[c].empty()) {
        labels[c] = MenuItemLabel(menu, position);
      }
    }
  }
}

}  // namespace

std::u16string MenuItemLabel(HMENU menu, UINT position) {
  MENUITEMINFOW item{};
  item.cbSize = sizeof item;
  item.fMask = MIIM_STRING;
  if (!GetMenuItemInfoW(menu, position, TRUE, &item)) return {};
  std::wstring text(item.cch + 1, L'\0');
  item.dwTypeData = text.data();
  item.cch = static_cast<UINT>(text.size());
  if (!GetMenuItemInfoW(menu, position, TRUE, &item)) return {};
  text.resize(item.cch);
  return std::u16string(text.begin(), text.end());
}

std::optional<EditMenuLabels> SystemEditMenuLabels() {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return std::nullopt;
  const wchar_t* const names[] = {MAKEINTRESOURCEW(1), L"EDITMENU"};
  for (const wchar_t* name : names) {
    const UniqueMenu menu(LoadMenuW(user32, name));
    if (!menu) continue;
    EditMenuLabels labels;
    Collect(menu.get(), labels, 0);
    if (std::none_of(labels.begin(), labels.end(), [](const auto& l) { return l.empty(); })) {
      return labels;
    }
  }
  return std::nullopt;
}

}  // namespace vantorel
