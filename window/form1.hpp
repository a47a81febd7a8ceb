// Form1, the program's one window: two framed text boxes and two buttons.
// Text typed into the upper box (Text1) appears as hex text in the lower box
// (Text2) at once; "Encode" does the same on demand; "Decode" reads the lower
// box back into the upper one.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <string_view>

#include "codec/codec.hpp"
#include "textbox/text_box.hpp"
#include "win32/balloon.hpp"
#include "win32/handles.hpp"
#include "win32/window_base.hpp"
#include "window/layout.hpp"

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
  bool decoding_ = false;       // Decode's writes, which undo takes back
  TextBoxOptions text2_options_;
  BalloonTip unread_balloon_;  // what a decode left unread
};

// Runs the program's message loop until WM_QUIT; returns its exit code, or 1
// if GetMessageW fails.
int RunMessageLoop(Form1& form);

// Handles the messages waiting now, as RunMessageLoop would. False once
// WM_QUIT has been seen.
bool PumpWaitingMessages(Form1& form);

}  // namespace vantorel
