// The labels of the shortcut menu the system's own edit control shows, as
// user32's resources hold them in the user's language, so that a text box of
// another kind can speak as the edit control beside it does.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace vantorel {

// An edit control's shortcut menu commands, in the order the menu shows them.
enum class EditMenuCommand { kUndo, kCut, kCopy, kPaste, kDelete, kSelectAll };
inline constexpr std::size_t kEditMenuCommandCount = 6;

// The text of a menu's item at a position, access key and all.
std::u16string MenuItemLabel(HMENU menu, UINT position);

// One label for each command, in EditMenuCommand's order, with its access key
// ("&Undo").
using EditMenuLabels = std::array<std::u16string, kEditMenuCommandCount>;

// The labels as LoadMenu gives them from user32 in the thread's UI language:
// Windows keeps the edit control's menu as menu 1, Wine as "EDITMENU". Nothing
// when user32 holds neither, or one of the six commands is missing.
std::optional<EditMenuLabels> SystemEditMenuLabels();

}  // namespace vantorel
