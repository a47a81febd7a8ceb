// A multi-line text box of the program's own, for the lower box. The hex text
// of a long paste is one paragraph of hundreds of thousands of characters;
// the system's edit control (Wine's, at least) lays out each line of it by
// measuring the rest of the paragraph and spends several milliseconds on
// every write, so filling it takes seconds. This box measures each character
// once per font and wraps the whole text in a few milliseconds.
//
// It behaves as a multi-line edit control does for a person (typing, Enter,
// Backspace and Delete, moving and selecting with keys and mouse, the
// clipboard keys, Ctrl+A, undo, the wheel and scroll bar, a shortcut menu)
// and answers the edit messages the program uses: WM_SETTEXT (no EN_CHANGE,
// the caret to the start, nothing to undo), WM_GETTEXT, EM_GETSEL/EM_SETSEL,
// EM_REPLACESEL, EM_SCROLLCARET, EM_UNDO, EM_SETLIMITTEXT, EM_SETMARGINS,
// EM_POSFROMCHAR, EM_CHARFROMPOS, the line queries, and WM_CUT, WM_COPY,
// WM_PASTE and WM_CLEAR. It tells its parent EN_CHANGE after each edit.
// To a screen reader it is an edit control too: WM_GETOBJECT gives its
// IAccessible (text_box_accessible.hpp), and it raises EVENT_OBJECT_VALUECHANGE
// and EVENT_OBJECT_TEXTSELECTIONCHANGED.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <string>

namespace vantorel {

inline constexpr wchar_t kTextBoxClass[] = L"Vantorel.TextBox";

// The shortcut menu's commands, in the order shown.
enum class TextBoxCommand { kUndo, kCut, kCopy, kPaste, kDelete, kSelectAll };
inline constexpr std::size_t kTextBoxCommandCount = 6;

// What the box's creator decides, handed in as CreateWindowExW's last
// argument (or null for the defaults); the box keeps a copy.
struct TextBoxOptions {
  // The shortcut menu's labels with their access keys, in TextBoxCommand's
  // order; where one is empty the box shows the English one.
  std::array<std::u16string, kTextBoxCommandCount> menu_labels;
};

// Registers the class in this process; true when it is there.
bool RegisterTextBoxClass(HINSTANCE instance);

}  // namespace vantorel
