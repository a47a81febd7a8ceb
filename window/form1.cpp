#include "window/form1.hpp"

#include <commctrl.h>

#include <algorithm>
#include <cstddef>
#include <exception>
#include <new>

#include "codec/codec.hpp"
#include "textbox/text_box.hpp"
#include "win32/clipboard.hpp"
#include "win32/dpi.hpp"
#include "win32/edit_menu.hpp"
#include "win32/window_text.hpp"
#include "window/messages.hpp"

namespace vantorel {
namespace {

constexpr wchar_t kClassName[] = L"Vantorel.Form1";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = 0;
constexpr UINT_PTR kTextBoxSubclassId = 1;
constexpr int kIconResource = 1;
// WM_GETDPISCALEDSIZE (Windows 10 1703 and later), which Windows 7's headers
// do not name.
constexpr UINT kGetDpiScaledSize = 0x02E4;
// What RunMessageLoop returns when GetMessageW fails.
constexpr int kMessageLoopFailed = 1;
// The commands of the encoding submenu's items, one apart from the next by
// 16: the system keeps WM_SYSCOMMAND's four low bits for itself.
constexpr UINT kFirstEncodingCommand = 0x1000;
constexpr UINT kEncodingCommandStep = 0x10;

UINT EncodingCommand(std::size_t item) {
  return kFirstEncodingCommand + static_cast<UINT>(item) * kEncodingCommandStep;
}

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

UiLanguage UserLanguage() { return LanguageFromLangId(GetUserDefaultUILanguage()); }

// Text1 is the system's wrapping multi-line edit control, which lays out each
// line of a paragraph by measuring everything from that line to the
// paragraph's end: a long paragraph written in one message costs the square
// of its length. Written in pieces at the end of what is there, each piece
// costs only its own lines. (Text2 is a box of the program's own, which has no
// such cost.)
//
// Up to this many characters Text1 is written whole, in one message.
constexpr std::size_t kWholeText = 1024;
// The size of the pieces a long text is written in.
constexpr std::size_t kText1Piece = 2000;

// Sets a flag for as long as it lives.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

// How much of text the next piece takes: at most piece characters, never
// ending between the halves of a surrogate pair or inside a line break.
std::size_t PieceLength(std::u16string_view text, std::size_t piece) {
  if (text.size() <= piece) return text.size();
  std::size_t n = piece;
  while (n > 1 && ((text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) || text[n - 1] == u'\r')) --n;
  return n;
}

// Replaces what the box's selection covers with text, at the caret, piece by
// piece; the caret ends after the text. With can_undo the pieces make one
// step for the box's undo, as they follow each other.
void ReplaceSelectionInPieces(HWND box, std::u16string_view text, std::size_t piece,
                              bool can_undo) {
  std::wstring buffer;
  do {
    const std::size_t n = PieceLength(text, piece);
    buffer.assign(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
    SendMessageW(box, EM_REPLACESEL, can_undo ? TRUE : FALSE,
                 reinterpret_cast<LPARAM>(buffer.c_str()));
    text.remove_prefix(n);
  } while (!text.empty());
}

void Select(HWND box, std::size_t start, std::size_t end) {
  SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

}  // namespace

HWND Form1::Create(HINSTANCE instance) {
  if (WNDCLASSEXW existing{}; !GetClassInfoExW(instance, kClassName, &existing)) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kClassName;
    // The program's icon (resource group 1), for the caption bar and the task button.
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                             0, 0, LR_DEFAULTSIZE | LR_SHARED));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource),
                                               IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (RegisterClassExW(&wc) == 0) return nullptr;
  }
  if (!RegisterTextBoxClass(instance)) return nullptr;
  const std::wstring caption = Wide(kFormCaption);
  CreateWindowExW(kExStyle, kClassName, caption.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
  if (!window_) return nullptr;
  PlaceCentred();
  return window_.get();
}

// The window is the form's from WM_NCCREATE on; from WM_NCDESTROY on it is gone.
Form1* Form1::Adopt(HWND hwnd, const CREATESTRUCTW& create) {
  auto* const self = static_cast<Form1*>(create.lpCreateParams);
  self->window_.reset(hwnd);
  return self;
}

void Form1::Forget(Form1* self) {
  self->window_.release();
  self->children_ = {};
}

// A handler that threw stopped; both boxes keep what they hold, and the user
// is told.
LRESULT Form1::OnFailure(UINT message, bool out_of_memory) noexcept {
  ReportFailure(out_of_memory);
  return message == WM_CREATE ? -1 : 0;
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_ACTIVATE:
      if (OnActivate(LOWORD(wparam), HIWORD(wparam) != 0)) return 0;
      break;
    case WM_SETFOCUS:
      OnSetFocus();
      return 0;
    case kGetDpiScaledSize:
      // Before WM_DPICHANGED: the size the window will have at the new DPI,
      // so that the rectangle that message suggests fits it exactly.
      *reinterpret_cast<SIZE*>(lparam) = OuterSize(static_cast<UINT>(wparam));
      return TRUE;
    case WM_SYSCOMMAND:
      if (OnSysCommand(wparam)) return 0;
      break;
    case WM_MOVE:
      // The balloon stays where it was put, not with the window.
      balloon_.Hide();
      break;
    case WM_DPICHANGED:
      OnDpiChanged(LOWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_SETTINGCHANGE:
      // The system's message font changed: the controls take the new one.
      if (wparam == SPI_SETNONCLIENTMETRICS) ApplyFont();
      break;
    case WM_DESTROY:
      OnDestroy();
      return 0;
  }
  return DefWindowProcW(window_.get(), message, wparam, lparam);
}

bool Form1::OnCreate() {
  const HWND hwnd = window_.get();
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
  dpi_ = DpiForWindow(hwnd);
  // Text2's shortcut menu speaks as Text1's, the system's own, does: in the
  // user's language, from user32; where those labels cannot be read, in the
  // program's own Chinese or English.
  TextBoxOptions text2_options;
  if (const auto system_labels = SystemEditMenuLabels()) {
    text2_options.menu_labels = *system_labels;
  } else {
    for (std::size_t i = 0; i < kEditMenuCommandCount; ++i) {
      text2_options.menu_labels[i] = EditCommandLabel(static_cast<EditCommand>(i), UserLanguage());
    }
  }
  // Creation order is z-order is tab order.
  for (const Control control : kCreationOrder) {
    const ControlDesign& design = Design(control);
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD ex_style = 0;
    const wchar_t* window_class = L"BUTTON";
    switch (design.kind) {
      case ControlKind::kFrame:
        style |= BS_GROUPBOX;
        break;
      case ControlKind::kButton:
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
      case ControlKind::kTextBox:
        // Text2 takes the hex text of whatever is pasted above, six times as
        // long; it is a box of the program's own that lays out long text fast.
        window_class = control == Control::kText2 ? kTextBoxClass : L"EDIT";
        // Multi-line, wrapping (no ES_AUTOHSCROLL), Enter makes a new line.
        style |= WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
        ex_style = WS_EX_CLIENTEDGE;
        break;
    }
    const std::wstring caption = design.caption != nullptr ? Wide(design.caption) : L"";
    const HWND child =
        CreateWindowExW(ex_style, window_class, caption.c_str(), style, 0, 0, 0, 0, hwnd,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), instance,
                        control == Control::kText2 ? &text2_options : nullptr);
    if (child == nullptr) return false;
    children_[static_cast<std::size_t>(control)] = child;
    if (design.kind == ControlKind::kTextBox) {
      // Lift the edit control's default limit of about 30,000 characters.
      SendMessageW(child, EM_SETLIMITTEXT, 0, 0);
      if (!SetWindowSubclass(child, TextBoxProc, kTextBoxSubclassId,
                             reinterpret_cast<DWORD_PTR>(this))) {
        return false;
      }
    }
  }
  ApplyFont();
  Layout();
  last_focus_ = Child(Control::kText2);
  AddEncodingMenu();
  return true;
}

void Form1::OnCommand(int id, int code) {
  if (id == Design(Control::kText1).id && code == EN_CHANGE) {
    if (!setting_text1_ && !pasting_text1_) Text1_Change();
  } else if (id == Design(Control::kCommand1).id && code == BN_CLICKED) {
    Command1_Click();
  } else if (id == Design(Control::kCommand2).id && code == BN_CLICKED) {
    Command2_Click();
  }
}

// The window keeps the control that had the focus when it was left and gives
// it back when it is active again.
bool Form1::OnActivate(WORD state, bool minimized) {
  if (state == WA_INACTIVE) {
    const HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window_.get(), focus)) last_focus_ = focus;
    return false;
  }
  if (minimized || last_focus_ == nullptr) return false;
  SetFocus(last_focus_);
  return true;
}

void Form1::OnSetFocus() {
  if (last_focus_ != nullptr) SetFocus(last_focus_);
}

// The window goes where Windows suggests, at the size that gives the client
// area exactly its twips at the new DPI: the suggested size is the old one
// scaled, which can be a pixel off (and is, where Windows did not ask
// WM_GETDPISCALEDSIZE first).
void Form1::OnDpiChanged(UINT dpi, const RECT& suggested) {
  dpi_ = dpi;
  ApplyFont();
  Layout();
  const SIZE outer = OuterSize(dpi);
  SetWindowPos(window_.get(), nullptr, suggested.left, suggested.top, outer.cx, outer.cy,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form1::OnDestroy() { PostQuitMessage(0); }

void Form1::Layout() {
  for (const Control control : kCreationOrder) {
    const PixelRect rect = ControlRect(control, static_cast<int>(dpi_));
    SetWindowPos(Child(control), nullptr, rect.x, rect.y, rect.width, rect.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Form1::ApplyFont() {
  UniqueFont font = CreateMessageFont(dpi_);
  if (!font) return;
  for (const HWND child : children_) {
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  }
  // Text2 keeps the margins the system gives Text1 for this font.
  SendMessageW(Child(Control::kText2), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
               SendMessageW(Child(Control::kText1), EM_GETMARGINS, 0, 0));
  // The old font is deleted only now that no control uses it.
  font_ = std::move(font);
}

SIZE Form1::OuterSize(UINT dpi) const {
  const PixelSize client = ClientSize(static_cast<int>(dpi));
  return WindowSizeForClient({client.width, client.height}, kStyle, kExStyle, dpi);
}

void Form1::PlaceCentred() {
  const HWND hwnd = window_.get();
  const SIZE outer = OuterSize(dpi_);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  const PixelPoint corner = CentreIn(
      {work.left, work.top, work.right - work.left, work.bottom - work.top}, {outer.cx, outer.cy});
  SetWindowPos(hwnd, nullptr, corner.x, corner.y, outer.cx, outer.cy,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form1::ReportFailure(bool out_of_memory) {
  try {
    const UiLanguage language = UserLanguage();
    ReportFailure(out_of_memory ? OutOfMemoryMessage(language) : UnexpectedErrorMessage(language));
  } catch (...) {
    MessageBoxW(window_.get(), L"Not enough memory.", L"Vantorel", MB_ICONERROR | MB_OK);
  }
}

void Form1::ReportFailure(const std::u16string& text) {
  const std::wstring caption = Wide(kMessageCaption);
  MessageBoxW(window_.get(), Wide(text).c_str(), caption.c_str(), MB_ICONERROR | MB_OK);
}

bool Form1::PreTranslateMessage(MSG* message) {
  return window_ && IsDialogMessageW(window_.get(), message);
}

// The text boxes: Tab and Shift+Tab move on instead of typing a tab, Escape
// does not close the window, Ctrl+A selects everything, and Shift+Insert
// pastes as Ctrl+V does, through WM_PASTE.
LRESULT CALLBACK Form1::TextBoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                    DWORD_PTR data) {
  switch (message) {
    case WM_GETDLGCODE: {
      LRESULT code = DefSubclassProc(hwnd, message, wparam, lparam);
      const auto* key = reinterpret_cast<const MSG*>(lparam);
      if (key != nullptr && (key->message == WM_KEYDOWN || key->message == WM_CHAR) &&
          (key->wParam == VK_TAB || key->wParam == VK_ESCAPE)) {
        code &= ~(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
      }
      return code;
    }
    case WM_CHAR:
      if (wparam == 0x01) {  // Ctrl+A
        SendMessageW(hwnd, EM_SETSEL, 0, -1);
        return 0;
      }
      break;
    case WM_KEYDOWN:
      if (wparam == VK_INSERT && GetKeyState(VK_SHIFT) < 0 && GetKeyState(VK_CONTROL) >= 0 &&
          GetKeyState(VK_MENU) >= 0) {
        SendMessageW(hwnd, WM_PASTE, 0, 0);
        return 0;
      }
      break;
    case WM_PASTE: {
      auto* const self = reinterpret_cast<Form1*>(data);
      if (self == nullptr || hwnd != self->Child(Control::kText1)) break;
      // No exception leaves here either: the paste stops and the user is told.
      try {
        if (self->PasteIntoText1()) return 0;
      } catch (const std::bad_alloc&) {
        self->ReportFailure(true);
        return 0;
      } catch (...) {
        self->ReportFailure(false);
        return 0;
      }
      break;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, TextBoxProc, kTextBoxSubclassId);
      break;
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

void Form1::SetText2(std::u16string_view text) {
  SetWindowTextW(Child(Control::kText2), Wide(text).c_str());
}

void Form1::SetText1(std::u16string_view text) {
  // A multi-line edit control sends no EN_CHANGE for WM_SETTEXT; should one
  // arrive all the same, it is not a change made by the user.
  const FlagScope setting(setting_text1_);
  const HWND box = Child(Control::kText1);
  if (text.size() <= kWholeText) {
    SetWindowTextW(box, Wide(text).c_str());
    return;
  }
  const std::size_t first = PieceLength(text, kText1Piece);
  SetWindowTextW(box, Wide(text.substr(0, first)).c_str());
  Select(box, first, first);
  ReplaceSelectionInPieces(box, text.substr(first), kText1Piece, false);
  Select(box, 0, 0);
  SendMessageW(box, EM_SCROLLCARET, 0, 0);
}

bool Form1::PasteIntoText1() {
  const HWND box = Child(Control::kText1);
  const std::optional<std::u16string> text = ClipboardText(box);
  if (!text || text->size() <= kText1Piece) return false;
  {
    const FlagScope pasting(pasting_text1_);
    ReplaceSelectionInPieces(box, *text, kText1Piece, true);
  }
  Text1_Change();
  return true;
}

void Form1::AddEncodingMenu() {
  const 字符串加密::CodePage system = 字符串加密::SystemCodePage();
  CPINFOEXW info{};
  const std::wstring system_name = GetCPInfoExW(system, 0, &info) ? info.CodePageName : L"";
  const UiLanguage language = UserLanguage();
  encodings_ = EncodingItems(system, std::u16string(system_name.begin(), system_name.end()),
                             字符串加密::IsCodePageAvailable, language);
  UniqueMenu menu(CreatePopupMenu());
  const HMENU system_menu = GetSystemMenu(window_.get(), FALSE);
  if (!menu || system_menu == nullptr) return;
  for (std::size_t i = 0; i < encodings_.size(); ++i) {
    const EncodingItem& encoding = encodings_[i];
    if (encoding.cp == system) encoding_ = i;
    std::wstring label = Wide(encoding.label);
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
    item.fType = MFT_STRING | MFT_RADIOCHECK;
    item.fState = (encoding.enabled ? MFS_ENABLED : MFS_GRAYED) |
                  (encoding.cp == system ? MFS_CHECKED : MFS_UNCHECKED);
    item.wID = EncodingCommand(i);
    item.dwTypeData = label.data();
    InsertMenuItemW(menu.get(), static_cast<UINT>(i), TRUE, &item);
  }
  const std::wstring label = Wide(EncodingMenuLabel(language));
  AppendMenuW(system_menu, MF_SEPARATOR, 0, nullptr);
  if (AppendMenuW(system_menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(menu.get()),
                  label.c_str())) {
    encoding_menu_ = menu.release();  // the system menu's now
  }
}

bool Form1::OnSysCommand(WPARAM command) {
  const auto id = static_cast<UINT>(command & 0xFFF0);
  if (id < kFirstEncodingCommand) return false;
  const std::size_t item = (id - kFirstEncodingCommand) / kEncodingCommandStep;
  if (item >= encodings_.size()) return false;
  OnCodePageChosen(item);
  return true;
}

void Form1::OnCodePageChosen(std::size_t item) {
  const EncodingItem& chosen = encodings_[item];
  if (!chosen.enabled) return;
  encoding_ = item;
  code_page_ = chosen.cp;
  CheckMenuRadioItem(encoding_menu_, EncodingCommand(0), EncodingCommand(encodings_.size() - 1),
                     EncodingCommand(item), MF_BYCOMMAND);
  SetWindowTextW(window_.get(), Wide(FormCaption(chosen, 字符串加密::SystemCodePage())).c_str());
  Text1_Change();
}

void Form1::OnUnwritable(std::u16string_view text, const 字符串加密::EncodedText& encoded) {
  const HWND text1 = Child(Control::kText1);
  const std::size_t first = encoded.first_unmappable;
  if (encoded.unmappable != 0 && text[first] >= 0xD800 && text[first] <= 0xDBFF) {
    // A character beyond the first plane is typed as two WM_CHARs, and the
    // box changes after each: with the caret just after its first half, the
    // second is on its way.
    DWORD caret = 0;
    SendMessageW(text1, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    if (caret == first + 1) return;
  }
  const bool newly = unwritable_ == 0 || unwritable_in_ != code_page_;
  const bool moved = first != unwritable_first_;
  const bool recounted = encoded.unmappable != unwritable_;
  unwritable_ = encoded.unmappable;
  unwritable_first_ = first;
  unwritable_in_ = code_page_;
  if (unwritable_ == 0) {
    balloon_.Hide();
    return;
  }
  // Once gone, it comes back only for characters newly unwritable; while it
  // shows, it keeps up with Text1.
  if (!newly && (balloon_.shown() == nullptr || (!moved && !recounted))) return;
  const BalloonText balloon =
      UnwritableBalloon(text, encoded, encodings_[encoding_], UserLanguage());
  if (!newly && !moved) {
    balloon_.Update(balloon.text);
    return;
  }
  // The stem points at the bottom of the first such character, or at the
  // nearest edge of the box when it is scrolled out of sight.
  const auto at = static_cast<DWORD>(SendMessageW(text1, EM_POSFROMCHAR, first, 0));
  TEXTMETRICW metrics{};
  {
    const WindowDc dc = vantorel::GetDC(text1);
    const SelectedObject font = vantorel::SelectObject(dc->dc, font_.get());
    GetTextMetricsW(dc->dc, &metrics);
  }
  RECT client{};
  GetClientRect(text1, &client);
  const POINT point{
      std::clamp<LONG>(static_cast<short>(LOWORD(at)), 0, client.right),
      std::clamp<LONG>(static_cast<short>(HIWORD(at)) + metrics.tmHeight, 0, client.bottom)};
  balloon_.Show(text1, point, balloon.title, balloon.text, BalloonTip::Icon::kWarning);
}

// Encodes Text1 once: the hex text for Text2, and the count of characters the
// code page cannot write for the balloon.
void Form1::Text1_Change() {
  const std::u16string text = ReadText(Child(Control::kText1));
  const 字符串加密::EncodedText encoded = 字符串加密::EncodeText(text, code_page_);
  SetText2(字符串加密::BytesToHex(encoded.bytes));
  OnUnwritable(text, encoded);
}

void Form1::Command1_Click() { Text1_Change(); }

void Form1::Command2_Click() {
  const HWND text2 = Child(Control::kText2);
  const std::u16string hex = ReadText(text2);
  const 字符串加密::CodePage cp = code_page_;
  auto text =
      字符串加密::HexToText(hex, cp, {.refuse_zero_bytes = true, .refuse_lossy_bytes = true});
  if (!text) {
    const 字符串加密::GroupError& error = text.error();
    ReportFailure(DecodeErrorMessage(error, cp, UserLanguage()));
    SendMessageW(text2, EM_SETSEL, static_cast<WPARAM>(error.offset),
                 static_cast<LPARAM>(error.offset + error.text.size()));
    SendMessageW(text2, EM_SCROLLCARET, 0, 0);
    // Also for when the window is active again only after the message box.
    last_focus_ = text2;
    SetFocus(text2);
    return;
  }
  SetText1(text.value());
  Text1_Change();
}

int RunMessageLoop(Form1& form) {
  MSG message{};
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);  // WM_QUIT's exit code
    if (got < 0) return kMessageLoopFailed;
    if (form.PreTranslateMessage(&message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool PumpWaitingMessages(Form1& form) {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) return false;
    if (form.PreTranslateMessage(&message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return true;
}

}  // namespace vantorel
