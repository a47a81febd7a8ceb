// A multi-line text box of its own, a small custom control: it edits as the
// system's multi-line edit control does and answers its messages, and lays
// out long text fast (the system's edit control, Wine's at least, measures
// the rest of a paragraph for each line, so a paragraph of hundreds of
// thousands of characters takes it seconds). What it does and does not do of
// the edit control: textbox/README.md.
//
// This header is the box's whole surface: registration, the class name, the
// options its creator hands in, the styles it honours, and its own messages.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "win32/edit_menu.hpp"

namespace vantorel {

inline constexpr wchar_t kTextBoxClass[] = L"Vantorel.TextBox";

// Registers the class in this process; true when it is there.
bool RegisterTextBoxClass(HINSTANCE instance);

// The styles it honours: ES_READONLY (EM_SETREADONLY too: text can be
// selected and copied, not changed by the user), WS_VSCROLL, WS_EX_CLIENTEDGE
// (drawn as the edit control's border of the visual style), and ES_MULTILINE
// for the dialog keys it asks for. It always wraps long lines, as a
// multi-line edit control without ES_AUTOHSCROLL does.

// An item of the creator's own in the box's shortcut menu: a command, a
// greyed line that only says something, a separator, or a submenu.
struct TextBoxMenuItem {
  std::u16string label = {};                  // with its access key; empty: a separator
  UINT id = 0;                                // what VTBN_MENUCOMMAND names when it is chosen
  bool enabled = true;                        // false: greyed, never chosen
  std::vector<TextBoxMenuItem> submenu = {};  // not empty: the item opens these
};

// What the box's creator decides, handed in as CreateWindowExW's last
// argument (or null for the defaults), or later with VTBM_SETOPTIONS; the box
// keeps a copy.
struct TextBoxOptions {
  // The shortcut menu's labels with their access keys, in EditMenuCommand's
  // order (the order shown); where one is empty the box shows the English
  // one. SystemEditMenuLabels() gives those of the system's edit control.
  EditMenuLabels menu_labels;
  // The creator's items, above the edit commands and below them, each list
  // set apart by a separator. The box knows nothing of what they do: it says
  // which was chosen (VTBN_MENUCOMMAND).
  std::vector<TextBoxMenuItem> menu_before = {};
  std::vector<TextBoxMenuItem> menu_after = {};
};

// The box's own messages, in a range of their own above WM_USER.
inline constexpr UINT VTBM_FIRST = WM_USER + 0x0400;
// wParam 0, lParam const TextBoxOptions*: new options for the box, which
// keeps a copy. Returns TRUE, or FALSE (the old options kept) if it could not.
inline constexpr UINT VTBM_SETOPTIONS = VTBM_FIRST + 0;
// wParam 0, lParam const TextBoxHighlight* (below; null for none): a range
// to show highlighted. Returns TRUE, or FALSE (the old highlight kept) if it
// could not.
inline constexpr UINT VTBM_SETHIGHLIGHT = VTBM_FIRST + 1;
// wParam 0, lParam TextBoxHighlight*, filled in with the highlight (a range
// of none when there is none). Returns TRUE when there is one.
inline constexpr UINT VTBM_GETHIGHLIGHT = VTBM_FIRST + 2;
inline constexpr UINT VTBM_LAST = VTBM_FIRST + 0x3F;

inline bool SetTextBoxOptions(HWND box, const TextBoxOptions& options) {
  return SendMessageW(box, VTBM_SETOPTIONS, 0, reinterpret_cast<LPARAM>(&options)) != FALSE;
}

// A range the box shows highlighted, apart from its selection: what its
// creator points at there (the bytes of characters selected in another box).
// Drawn in a lighter shade of the selection colour, or in high contrast
// framed in it (win32/highlight.hpp). Setting it takes no focus and moves
// neither caret nor selection; it scrolls the box to show it, unless the
// person has scrolled the box (scroll bar or wheel) since a highlight that
// `begins` was set. Any change of the text ends it.
struct TextBoxHighlight {
  DWORD start = 0;
  DWORD end = 0;  // start == end: none
  // What a screen reader is told of it, in the user's language: the box's
  // accessible description while it shows (EVENT_OBJECT_DESCRIPTIONCHANGE).
  std::u16string description = {};
  // It follows a selection that has just begun (a caret moved, a new range
  // started), rather than one extended: it is shown even if the person had
  // scrolled the box away from the last one.
  bool begins = false;
};

inline bool SetTextBoxHighlight(HWND box, const TextBoxHighlight& highlight) {
  return SendMessageW(box, VTBM_SETHIGHLIGHT, 0, reinterpret_cast<LPARAM>(&highlight)) != FALSE;
}
inline void ClearTextBoxHighlight(HWND box) { SendMessageW(box, VTBM_SETHIGHLIGHT, 0, 0); }
inline bool GetTextBoxHighlight(HWND box, TextBoxHighlight& highlight) {
  return SendMessageW(box, VTBM_GETHIGHLIGHT, 0, reinterpret_cast<LPARAM>(&highlight)) != FALSE;
}

// Notifications of its own, as WM_NOTIFY to the window that was its parent
// at creation, in a range of their own; for the menu lParam NMTEXTBOXMENU*:
inline constexpr UINT VTBN_FIRST = 0U - 3000U;
// The shortcut menu is about to open. The creator may give new options now
// (SetTextBoxOptions), for instance items that say what the selection holds:
// the menu shows them.
inline constexpr UINT VTBN_MENUOPENING = VTBN_FIRST - 0;
// An item of the creator's was chosen; `id` is its id.
inline constexpr UINT VTBN_MENUCOMMAND = VTBN_FIRST - 1;
// The selection or the caret moved (the edit control says nothing of it):
// lParam NMTEXTBOXSELECTION*, sent after the message that moved it.
inline constexpr UINT VTBN_SELCHANGE = VTBN_FIRST - 2;
inline constexpr UINT VTBN_LAST = VTBN_FIRST - 0x3F;

struct NMTEXTBOXMENU {
  NMHDR hdr;
  DWORD selection_start;  // the selection when the menu opened, as EM_GETSEL gives it
  DWORD selection_end;
  UINT id;  // VTBN_MENUCOMMAND: the item chosen
};

struct NMTEXTBOXSELECTION {
  NMHDR hdr;
  DWORD anchor;  // where the selection began
  DWORD caret;   // where it ends, the caret: before the anchor or after it
};

// The rest is the edit control's: the box answers its messages and sends its
// notifications (EN_CHANGE, EN_UPDATE, EN_MAXTEXT, EN_SETFOCUS, EN_KILLFOCUS)
// as WM_COMMAND, and WM_CTLCOLOREDIT (WM_CTLCOLORSTATIC when read-only or
// disabled), to the window that was its parent when it was created.

}  // namespace vantorel
