// Form1, the program's one window: two framed text boxes and two buttons.
// Text typed into the upper box (Text1) appears as hex text in the lower box
// (Text2) at once; "Encode" does the same on demand; "Decode" reads the lower
// box back into the upper one.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "codec/codec.hpp"
#include "textbox/text_box.hpp"
#include "win32/balloon.hpp"
#include "win32/handles.hpp"
#include "win32/window_base.hpp"
#include "window/layout.hpp"
#include "window/messages.hpp"
#include "window/selection_link.hpp"

namespace vantorel {

class Form1 : public WindowBase<Form1, ObjectSlot::kUserData> {
 public:
  Form1() = default;
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;
  ~Form1() = default;  // the window, if still open, goes with it

  // Creates the window, hidden, sized for its DPI and centred on the work area
  // of its monitor, with the focus waiting in Text2. Null on failure.
  HWND Create(HINSTANCE instance);

  HWND hwnd() const { return window_.get(); }
  HWND Child(Control control) const { return children_[static_cast<std::size_t>(control)]; }
  UINT dpi() const { return dpi_; }
  // The code page typing, "Encode" and "Decode" use: the system's until
  // another is chosen from the system menu's "Encoding" submenu.
  字符串加密::CodePage code_page() const { return code_page_; }
  // The balloon at Text1 while it shows, else null.
  HWND balloon() const { return balloon_.shown(); }
  // The characters of Text1 highlighted for the groups selected in Text2;
  // none when nothing is (Text2's highlight is the box's own: VTBM_GETHIGHLIGHT).
  字符串加密::Range text1_highlight() const { return link_.text1_highlight(); }

  // The dialog keys (Tab, Shift+Tab, Escape, Enter and Space on the buttons).
  // The message loop offers every message here first; true when it was taken.
  bool PreTranslateMessage(MSG* message);

  // The event handlers.
  void Text1_Change();
  void Command1_Click();
  void Command2_Click();

 private:
  friend class WindowBase<Form1, ObjectSlot::kUserData>;
  static Form1* Adopt(HWND hwnd, const CREATESTRUCTW& create);
  static void Forget(Form1* self);
  LRESULT OnFailure(UINT message, bool out_of_memory) noexcept;
  static LRESULT CALLBACK TextBoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                      UINT_PTR id, DWORD_PTR data);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  bool OnCreate();
  void OnCommand(int id, int code);
  void OnNotify(const NMHDR& notice);
  bool OnActivate(WORD state, bool minimized);
  void OnSetFocus();
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void OnDestroy();

  void Layout();
  void ApplyFont();
  // The window's outer size at a DPI: its client area is the form's twips.
  SIZE OuterSize(UINT dpi) const;
  void PlaceCentred();
  void ReportFailure(const std::u16string& text);
  void ReportFailure(bool out_of_memory);

  // Sets Text2 as the program; while decoding, as one step of its undo.
  void SetText2(std::u16string_view text);
  // Sets Text1 as the program, as one step of its undo, without Text1_Change
  // running for it.
  void SetText1(std::u16string_view text);
  // Text1's paste of a long text: inserted in pieces, then Text1_Change once.
  // False when the text is short and the box pastes it itself.
  bool PasteIntoText1();

  // The code pages, in a submenu of the system menu: one item each, the
  // system's checked at first. Choosing one re-encodes Text1 in it; from then
  // on typing, "Encode" and "Decode" use it, until the window closes.
  void AddEncodingMenu();
  bool OnSysCommand(WPARAM command);
  void OnCodePageChosen(std::size_t item);
  // After each encode of Text1: when it came to hold characters the code page
  // cannot write (none before, or before another code page was chosen), a
  // balloon at the first says so, and keeps up with them while it shows; when
  // Text1 holds none, the balloon goes.
  void OnUnwritable(std::u16string_view text, const 字符串加密::EncodedText& encoded);
  // Decode, and what it offers beyond the lenient reading.
  void Decode(std::u16string_view text);
  bool Ask(const std::u16string& question);
  void SelectRefusedGroup(const 字符串加密::GroupError& error);
  void ShowUnreadGroups(std::u16string_view hex);
  // Text2's shortcut menu: the bytes it holds, and "Copy as".
  void OnText2Menu(const NMTEXTBOXMENU& notice);

  UniqueWindow window_;
  std::array<HWND, kControlCount> children_{};
  UINT dpi_ = 96;
  UniqueFont font_;
  HWND last_focus_ = nullptr;
  bool setting_text1_ = false;
  bool pasting_text1_ = false;  // Text1_Change waits for the paste's last piece
  std::vector<EncodingItem> encodings_;
  HMENU encoding_menu_ = nullptr;  // owned by the system menu
  std::size_t encoding_ = 0;       // the item chosen
  字符串加密::CodePage code_page_ = 字符串加密::SystemCodePage();
  // Text1's characters the code page cannot write, at the last encode: how
  // many, where the first is, and in which code page.
  std::size_t unwritable_ = 0;
  std::size_t unwritable_first_ = 0;
  字符串加密::CodePage unwritable_in_ = 0;
  BalloonTip balloon_;
  bool decoding_ = false;  // Decode's writes, which undo takes back
  TextBoxOptions text2_options_;
  BalloonTip unread_balloon_;   // what a decode left unread
  bool writing_text2_ = false;  // Text2 changes as the program writes it, not the person
  SelectionLink link_;          // each box's selection highlighted in the other
};

// Runs the program's message loop until WM_QUIT; returns its exit code, or 1
// if GetMessageW fails.
int RunMessageLoop(Form1& form);

// Handles the messages waiting now, as RunMessageLoop would. False once
// WM_QUIT has been seen.
bool PumpWaitingMessages(Form1& form);

}  // namespace vantorel
