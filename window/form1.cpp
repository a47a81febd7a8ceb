#include "window/form1.hpp"

#include <commctrl.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <new>
#include <optional>

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
// such cost.) The size of the pieces a long text is written in:
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

// Replaces all of a box's text as one step of its undo, which then brings
// back what it held, selected (and a second undo this text): everything
// selected and replaced, in pieces of `piece` characters. The caret goes to
// the start, as after WM_SETTEXT.
void ReplaceAllUndoably(HWND box, std::u16string_view text, std::size_t piece) {
  // Else the replacement could extend a deletion the user made before.
  SendMessageW(box, EM_EMPTYUNDOBUFFER, 0, 0);
  Select(box, 0, static_cast<std::size_t>(-1));
  ReplaceSelectionInPieces(box, text, piece, true);
  Select(box, 0, 0);
  SendMessageW(box, EM_SCROLLCARET, 0, 0);
}

// The messages after which the edit control's selection or caret may have
// moved: keys, the mouse (and its timer, which scrolls a drag along), edits,
// and the program's own selecting.
bool MayMoveSelection(UINT message) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_IME_CHAR:
    case WM_IME_COMPOSITION:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
    case WM_TIMER:
    case WM_CONTEXTMENU:
    case EM_SETSEL:
    case EM_REPLACESEL:
    case EM_UNDO:
    case WM_UNDO:
    case WM_CUT:
    case WM_PASTE:
    case WM_CLEAR:
    case WM_SETTEXT:
      return true;
  }
  return false;
}

// ---- Hex in other shapes --------------------------------------------------

// What Decode refuses besides a group above FF: what a text box cannot hold,
// and bytes that would not come back.
constexpr 字符串加密::DecodeChecks kDecodeChecks{.refuse_zero_bytes = true,
                                                 .refuse_lossy_bytes = true};

// What the any-shape reading makes of hex text that Decode refused: text
// that passes Decode's checks, and the canonical hex text of its bytes.
// Nothing where it cannot read the hex, reads no bytes, or the checks refuse
// them.
struct OtherReading {
  std::u16string text, hex;
};
std::optional<OtherReading> ReadInAnyShape(std::u16string_view hex, 字符串加密::CodePage cp) {
  const auto bytes = 字符串加密::HexToBytesAnyShape(hex);
  if (!bytes || bytes.value().empty()) return std::nullopt;
  字符串加密::CheckedText checked = 字符串加密::DecodeBytes(bytes.value(), cp, kDecodeChecks);
  if (checked.refused) return std::nullopt;
  return OtherReading{std::move(checked.text), 字符串加密::BytesToHex(bytes.value())};
}

// The bytes hex text holds, for Text2's menu: as the lenient reading reads
// it where that reads every character and refuses nothing, else as the
// any-shape reading does; nothing where that refuses too. (Leniently,
// "0x48, 0x65" reads as 00 00 without a word, and "0041" as 41, where the
// any-shape reading gives 00 41.)
std::optional<std::string> BytesOfHex(std::u16string_view hex) {
  if (!字符串加密::FindUnreadGroups(hex).any()) {
    if (auto bytes = 字符串加密::HexToBytes(hex)) return std::move(bytes.value());
  }
  if (auto bytes = 字符串加密::HexToBytesAnyShape(hex)) return std::move(bytes.value());
  return std::nullopt;
}

// The whole groups a selection touches: it reaches back and on to white
// space (a space, a tab, a line break, U+3000) where it ends inside a group.
// Everything when nothing is selected.
std::u16string_view WholeGroups(std::u16string_view hex, std::size_t start, std::size_t end) {
  end = (std::min)(end, hex.size());
  start = (std::min)(start, end);
  if (start == end) return hex;
  const auto blank = [](char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u3000';
  };
  if (!blank(hex[start])) {
    while (start > 0 && !blank(hex[start - 1])) --start;
  }
  if (!blank(hex[end - 1])) {
    while (end < hex.size() && !blank(hex[end])) ++end;
  }
  return hex.substr(start, end - start);
}

// "Copy as" in Text2's shortcut menu: its items' ids, from kCopyAsFirstId on,
// in the order of these shapes.
constexpr UINT kCopyAsFirstId = 1;
constexpr 字符串加密::HexStyle kCopyAs[] = {
    {.shape = 字符串加密::HexShape::kPlain},
    {.shape = 字符串加密::HexShape::k0x},
    {.shape = 字符串加密::HexShape::kEscaped},
    {.shape = 字符串加密::HexShape::kC},
    {.shape = 字符串加密::HexShape::kSpaced, .lower = true},
};

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
    case WM_NOTIFY:
      OnNotify(*reinterpret_cast<const NMHDR*>(lparam));
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
  const UiLanguage language = UserLanguage();
  if (const auto system_labels = SystemEditMenuLabels()) {
    text2_options_.menu_labels = *system_labels;
  } else {
    for (std::size_t i = 0; i < kEditMenuCommandCount; ++i) {
      text2_options_.menu_labels[i] = EditCommandLabel(static_cast<EditCommand>(i), language);
    }
  }
  // Above its edit commands, greyed, the bytes it holds (counted as the menu
  // opens); below them, "Copy as".
  text2_options_.menu_before = {{.label = ByteCountLabel(0, language), .enabled = false}};
  TextBoxMenuItem copy_as{.label = CopyAsLabel(language)};
  for (std::size_t i = 0; i < std::size(kCopyAs); ++i) {
    copy_as.submenu.push_back({.label = CopyAsItemLabel(kCopyAs[i], language),
                               .id = kCopyAsFirstId + static_cast<UINT>(i)});
  }
  text2_options_.menu_after = {std::move(copy_as)};
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
                        control == Control::kText2 ? &text2_options_ : nullptr);
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
  link_.Attach(Child(Control::kText1), Child(Control::kText2), language);
  AddEncodingMenu();
  return true;
}

void Form1::OnCommand(int id, int code) {
  if (id == Design(Control::kText1).id && code == EN_CHANGE) {
    if (!setting_text1_ && !pasting_text1_) Text1_Change();
  } else if (id == Design(Control::kText2).id && code == EN_CHANGE) {
    unread_balloon_.Hide();  // it speaks of what Text2 held
    if (!writing_text2_) link_.OnText2Edited();
  } else if ((id == Design(Control::kText1).id || id == Design(Control::kText2).id) &&
             code == EN_SETFOCUS) {
    link_.OnFocus(GetDlgItem(window_.get(), id));
  } else if (id == Design(Control::kCommand1).id && code == BN_CLICKED) {
    Command1_Click();
  } else if (id == Design(Control::kCommand2).id && code == BN_CLICKED) {
    Command2_Click();
  }
}

void Form1::OnNotify(const NMHDR& notice) {
  if (notice.hwndFrom != Child(Control::kText2)) return;
  if (notice.code == VTBN_MENUOPENING || notice.code == VTBN_MENUCOMMAND) {
    OnText2Menu(reinterpret_cast<const NMTEXTBOXMENU&>(notice));
  } else if (notice.code == VTBN_SELCHANGE && !writing_text2_) {
    link_.OnSelectionMayHaveMoved(notice.hwndFrom);
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
// pastes as Ctrl+V does, through WM_PASTE. Text1's selection is followed
// after every message that can move it, the person's scrolling noted, and
// the highlight drawn over what it paints.
LRESULT CALLBACK Form1::TextBoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                    DWORD_PTR data) {
  auto* const self = reinterpret_cast<Form1*>(data);
  const bool text1 = self != nullptr && hwnd == self->Child(Control::kText1);
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
      if (!text1) break;
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
    case WM_PAINT:
      // While Text1 shows a highlight, Form1 begins the painting, has the edit
      // control paint into that DC (WM_PAINT's wParam) and draws over it;
      // otherwise the edit control paints as it always has.
      if (text1 && wparam == 0 && !self->link_.text1_highlight().empty()) {
        const Painting paint = vantorel::BeginPaint(hwnd);
        DefSubclassProc(hwnd, WM_PAINT, reinterpret_cast<WPARAM>(paint->paint.hdc), 0);
        self->link_.PaintText1(paint->paint.hdc);
        return 0;
      }
      break;
    case WM_VSCROLL:
    case WM_MOUSEWHEEL:
      if (text1) self->link_.OnText1Scrolled();
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, TextBoxProc, kTextBoxSubclassId);
      break;
  }
  const LRESULT result = DefSubclassProc(hwnd, message, wparam, lparam);
  if (text1 && MayMoveSelection(message) && !self->setting_text1_ && !self->pasting_text1_) {
    self->link_.OnSelectionMayHaveMoved(hwnd);
  }
  return result;
}

void Form1::SetText2(std::u16string_view text) {
  unread_balloon_.Hide();
  const FlagScope writing(writing_text2_);
  const HWND box = Child(Control::kText2);
  if (decoding_) {
    ReplaceAllUndoably(box, text, std::u16string_view::npos);
  } else {
    SetWindowTextW(box, Wide(text).c_str());
  }
}

void Form1::SetText1(std::u16string_view text) {
  // Each piece replaced sends EN_CHANGE; it is not a change made by the user.
  const FlagScope setting(setting_text1_);
  ReplaceAllUndoably(Child(Control::kText1), text, kText1Piece);
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

// Encodes Text1 once: the hex text for Text2, where each character's bytes
// are for the two boxes' link, and the count of characters the code page
// cannot write for the balloon.
void Form1::Text1_Change() {
  const std::u16string text = ReadText(Child(Control::kText1));
  const 字符串加密::EncodedText encoded = 字符串加密::EncodeText(text, code_page_);
  std::u16string hex = 字符串加密::BytesToHex(encoded.bytes);
  SetText2(hex);
  link_.OnEncoded(text, encoded, code_page_, std::move(hex));
  OnUnwritable(text, encoded);
}

void Form1::Command1_Click() { Text1_Change(); }

void Form1::Command2_Click() {
  unread_balloon_.Hide();
  const std::u16string hex = ReadText(Child(Control::kText2));
  const 字符串加密::CodePage cp = code_page_;
  auto text = 字符串加密::HexToText(hex, cp, kDecodeChecks);
  if (text) {
    Decode(text.value());
    ShowUnreadGroups(hex);
    return;
  }
  // Where hex of another shape reads as text, Decode offers to read it so.
  const 字符串加密::GroupError& error = text.error();
  if (const auto other = ReadInAnyShape(hex, cp)) {
    if (Ask(ReadInAnyShapeQuestion(error, cp, other->hex, UserLanguage()))) {
      Decode(other->text);
      return;
    }
  } else {
    ReportFailure(DecodeErrorMessage(error, cp, UserLanguage()));
  }
  SelectRefusedGroup(error);
}

// ---- Decode, and what it offers beyond the lenient reading ----------------

// The text goes into Text1, whose change then rewrites Text2 in canonical
// form; both as one step of each box's undo, which brings back what the box
// held before.
void Form1::Decode(std::u16string_view text) {
  const FlagScope decoding(decoding_);
  SetText1(text);
  Text1_Change();
}

bool Form1::Ask(const std::u16string& question) {
  const std::wstring caption = Wide(kMessageCaption);
  return MessageBoxW(window_.get(), Wide(question).c_str(), caption.c_str(),
                     MB_ICONWARNING | MB_YESNO) == IDYES;
}

// The group Decode refused is selected in Text2, which takes the focus (also
// for when the window is active again only after the message box). An empty
// group is the two spaces that make it.
void Form1::SelectRefusedGroup(const 字符串加密::GroupError& error) {
  const HWND text2 = Child(Control::kText2);
  std::size_t start = error.offset, end = error.offset + error.text.size();
  if (error.text.empty() && start > 0) {
    --start;
    ++end;
  }
  Select(text2, start, end);
  SendMessageW(text2, EM_SCROLLCARET, 0, 0);
  last_focus_ = text2;
  SetFocus(text2);
}

// After a decode that passed over characters of groups: a balloon at Text2,
// pointing at the byte the first such group became, says which group and
// what was not read, and that undo brings the hex back as typed. It takes no
// focus.
void Form1::ShowUnreadGroups(std::u16string_view hex) {
  const 字符串加密::UnreadGroups unread = 字符串加密::FindUnreadGroups(hex);
  if (!unread.any()) return;
  std::size_t group = unread.partly_read != 0 ? unread.first_partly_read.group : SIZE_MAX;
  if (unread.without_digit != 0) group = (std::min)(group, unread.first_without_digit.group);
  const HWND text2 = Child(Control::kText2);
  // Below the group's first digit in Text2, which now holds canonical hex
  // text, within the box.
  const auto at = static_cast<DWORD>(SendMessageW(text2, EM_POSFROMCHAR, 3 * (group - 1), 0));
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(text2, WM_GETFONT, 0, 0)), sizeof font, &font);
  RECT client{};
  GetClientRect(text2, &client);
  const POINT point{
      std::clamp<LONG>(static_cast<short>(LOWORD(at)) + 4, 0, client.right),
      std::clamp<LONG>(static_cast<short>(HIWORD(at)) + std::abs(font.lfHeight), 0, client.bottom)};
  const UiLanguage language = UserLanguage();
  unread_balloon_.Show(text2, point, UnreadGroupsTitle(language),
                       UnreadGroupsMessage(unread, hex, language), BalloonTip::Icon::kWarning);
}

// Text2's shortcut menu: as it opens, the greyed line atop it says how many
// bytes the box holds, and "Copy as" is greyed where the selection's groups
// hold none; an item of "Copy as" puts the bytes of the whole groups the
// selection touches (of everything when nothing is selected) on the
// clipboard in its shape.
void Form1::OnText2Menu(const NMTEXTBOXMENU& notice) {
  const HWND text2 = Child(Control::kText2);
  const std::u16string hex = ReadText(text2);
  const std::u16string_view groups = WholeGroups(hex, notice.selection_start, notice.selection_end);
  const std::optional<std::string> bytes = BytesOfHex(groups);
  if (notice.hdr.code == VTBN_MENUOPENING) {
    const std::optional<std::string> all = groups.size() == hex.size() ? bytes : BytesOfHex(hex);
    text2_options_.menu_before[0].label =
        ByteCountLabel(all ? std::optional(all->size()) : std::nullopt, UserLanguage());
    text2_options_.menu_after[0].enabled = bytes && !bytes->empty();
    SetTextBoxOptions(text2, text2_options_);
    return;
  }
  const std::size_t item = notice.id - kCopyAsFirstId;
  if (item >= std::size(kCopyAs)) return;
  if (!bytes || !SetClipboardText(window_.get(), 字符串加密::BytesToHex(*bytes, kCopyAs[item]))) {
    MessageBeep(MB_ICONERROR);
  }
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
