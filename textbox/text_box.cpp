#include "textbox/text_box.hpp"

#include <imm.h>
#include <usp10.h>
#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "textbox/text_box_accessible.hpp"
#include "textbox/text_layout.hpp"
#include "win32/clipboard.hpp"
#include "win32/dpi.hpp"
#include "win32/handles.hpp"
#include "win32/highlight.hpp"
#include "win32/window_base.hpp"

namespace vantorel {
namespace {

constexpr DWORD kNoLimit = 0x7FFFFFFE;
constexpr UINT_PTR kDragScrollTimer = 1;
constexpr UINT kDragScrollMs = 60;
// The shortcut menu's commands from here on are the creator's items.
constexpr UINT kCreatorCommands = 0x100;

// The widths of the characters in one font, each measured once, the way GDI
// draws them (with its font linking for characters the font lacks).
class FontWidths final : public CharWidths {
 public:
  FontWidths() : dc_(CreateCompatibleDC(nullptr)) {}

  void SetFont(HFONT font) {
    // The old font back first, so that the new selection's own "old" is it.
    font_selection_.reset();
    font_selection_ = vantorel::SelectObject(dc_.get(), font);
    bmp_.assign(0x10000, -1);
    pairs_.clear();
  }
  HDC dc() const { return dc_.get(); }

  int Width(char32_t c) override {
    if (c >= 0x10000) return PairWidth(c);
    if (bmp_[c] >= 0) return bmp_[c];
    const wchar_t unit = static_cast<wchar_t>(c);
    SIZE size{};
    if (!GetTextExtentPoint32W(dc_.get(), &unit, 1, &size)) size.cx = 0;
    const int width = static_cast<int>(std::clamp<LONG>(size.cx, 0, 0x7FFF));
    bmp_[c] = static_cast<short>(width);
    return width;
  }

 private:
  UniqueMemoryDc dc_;
  SelectedObject font_selection_;
  std::vector<short> bmp_ = std::vector<short>(0x10000, -1);
  std::unordered_map<char32_t, int> pairs_;

  // A character beyond the first plane, measured as one by Uniscribe, with
  // its fallback fonts, as the edit control measures it (GDI alone may take
  // its two halves for two missing characters).
  int PairWidth(char32_t c) {
    if (const auto known = pairs_.find(c); known != pairs_.end()) return known->second;
    const wchar_t units[2] = {static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)),
                              static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF))};
    int width = 0;
    SCRIPT_STRING_ANALYSIS analysis = nullptr;
    // Room for 1.5 glyphs a unit and 16 more, as Uniscribe asks.
    if (SUCCEEDED(ScriptStringAnalyse(dc_.get(), units, 2, 19, -1,
                                      SSA_GLYPHS | SSA_FALLBACK | SSA_LINK, 0, nullptr, nullptr,
                                      nullptr, nullptr, nullptr, &analysis))) {
      if (const SIZE* size = ScriptString_pSize(analysis)) width = static_cast<int>(size->cx);
      ScriptStringFree(&analysis);
    } else {
      SIZE size{};
      if (GetTextExtentPoint32W(dc_.get(), units, 2, &size)) width = static_cast<int>(size.cx);
    }
    width = std::clamp(width, 0, 0x7FFF);
    pairs_.emplace(c, width);
    return width;
  }
};

bool KeyDown(int key) { return GetKeyState(key) < 0; }

// A message's text, copied unit by unit: Windows gives wchar_t, the box keeps
// char16_t (the same size, but not types one may read as the other).
std::u16string ToU16(const wchar_t* text) {
  if (text == nullptr) return {};
  const std::wstring_view view(text);
  return std::u16string(view.begin(), view.end());
}

// The box's state, made at WM_NCCREATE and owned by its window until
// WM_NCDESTROY; the window keeps it in its class's extra bytes.
class TextBox : public WindowBase<TextBox, ObjectSlot::kClassBytes> {
 public:
  TextBox(HWND window, HWND notify, const TextBoxOptions* options)
      : window_(window), notify_(notify) {
    if (options != nullptr) options_ = *options;
  }

 private:
  friend class WindowBase<TextBox, ObjectSlot::kClassBytes>;
  static TextBox* Adopt(HWND window, const CREATESTRUCTW& create) {
    return new TextBox(window, create.hwndParent,
                       static_cast<const TextBoxOptions*>(create.lpCreateParams));
  }
  static void Forget(TextBox* self) { delete self; }
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    const LRESULT result = Dispatch(message, wparam, lparam);
    RaiseSelectionMoved();
    return result;
  }
  // An edit that ran out of memory did not happen: the box keeps what it
  // held (each edit changes nothing before all it needs is made) and beeps.
  LRESULT OnFailure(UINT message, bool) noexcept {
    MessageBeep(MB_ICONERROR);
    return message == WM_CREATE ? -1 : 0;
  }
  LRESULT Dispatch(UINT message, WPARAM wparam, LPARAM lparam);

  // Messages.
  void OnNcPaint(WPARAM region);
  void OnSetFont(HFONT font, bool redraw);
  void OnSize();
  void OnPaint();
  void OnSetFocus();
  void OnKillFocus();
  void OnKeyDown(UINT key);
  void OnChar(wchar_t c);
  void OnMouseDown(POINT point, bool double_click);
  void OnMouseMove(POINT point);
  void OnMouseWheel(int delta);
  void OnVScroll(int request);
  void OnContextMenu(POINT screen_point);
  static void AppendCreatorItems(HMENU menu, const std::vector<TextBoxMenuItem>& items,
                                 std::vector<UINT>& ids);
  void NotifyMenu(UINT code, UINT id) const;
  bool OnSetOptions(const TextBoxOptions* options);
  bool OnSetHighlight(const TextBoxHighlight* highlight);
  LRESULT OnGetHighlight(TextBoxHighlight* highlight) const;
  void OnSetRedraw(bool redraw);
  void OnStyleChanged();
  void OnImeStartComposition();
  LRESULT OnSetText(const wchar_t* text);
  LRESULT OnGetText(std::size_t capacity, wchar_t* buffer) const;
  void OnSetSel(UINT start, UINT end);
  LRESULT OnGetSel(DWORD* start, DWORD* end) const;

  // Editing.
  std::size_t SelectionStart() const { return (std::min)(anchor_, caret_); }
  std::size_t SelectionEnd() const { return (std::max)(anchor_, caret_); }
  bool HasSelection() const { return anchor_ != caret_; }
  // Replaces the text from start to end, as the edit control does: the caret
  // after the new text, the undo step extended or begun anew (or dropped, if
  // the edit is not undoable). Everything that can fail is done before
  // anything changes, so that running out of memory leaves the box as it was.
  void Replace(std::size_t start, std::size_t end, std::u16string_view with, bool undoable);
  void ReplaceSelection(std::u16string_view with, bool undoable) {
    Replace(SelectionStart(), SelectionEnd(), with, undoable);
  }
  // Deletes from the caret to another position (Backspace, Delete) as the
  // edit control does: selects up to it first, scrolling to show it.
  void EraseTo(std::size_t other, bool after_wrap = false) {
    anchor_ = caret_;
    MoveCaret(other, true, after_wrap);
    ReplaceSelection({}, true);
  }
  // Shows the text with its new lines: scroll bar, caret, repaint.
  void Show(std::vector<TextLine> lines);
  // With ES_READONLY a person can select and copy, nothing more; the
  // program can still set and replace text (WM_SETTEXT, EM_REPLACESEL).
  bool ReadOnly() const { return (GetWindowLongW(window_, GWL_STYLE) & ES_READONLY) != 0; }
  bool CanUndo() const { return undo_.inserted != 0 || !undo_.removed.empty(); }
  bool Undo();
  void Clear() {
    if (!ReadOnly()) ReplaceSelection({}, true);
  }
  void Copy() const;
  void Cut();
  void Paste();

  // Caret, layout and scrolling.
  void MoveCaret(std::size_t position, bool extend, bool after_wrap = false);
  void MoveByLines(int delta, bool extend);
  // Ctrl+Left and Ctrl+Right: to a place the text may break at, within the
  // caret's line, or over the line's end to the next or previous line.
  std::size_t WordLeft() const;
  std::size_t WordRight() const;
  std::size_t LineEnd(std::size_t line) const { return lines_[line].end; }
  // Whether the line is wrapped: the next one starts where it ends.
  bool WrapsAfter(std::size_t line) const {
    return line + 1 < lines_.size() && lines_[line + 1].start == lines_[line].end;
  }
  std::size_t CaretLine() const;
  POINT PointOfPosition(std::size_t position, bool after_wrap);
  std::size_t PositionAtPoint(POINT point, bool* after_wrap);
  void Relayout();
  // Where the text goes: the client area less a pixel inside the sunken edge
  // and the margins, as in the edit control.
  RECT TextArea() const;
  int VisibleLines() const;
  void ScrollTo(long long top_line);
  void ScrollToCaret();
  // Scrolls as little as shows the highlight, or its end that moved where it
  // is taller than the box.
  void ScrollToHighlight(bool end_moved);
  void UpdateScrollBar();
  void PlaceCaret();
  void ShowNewCaret();
  void Notify(WORD code) const;
  // Asks for the box to be painted again, unless WM_SETREDRAW said not to.
  void Invalidate() const;
  void RedrawFrame() const;
  // Raises a screen reader's event for the box as a whole.
  void RaiseEvent(DWORD event) const;
  void RaiseSelectionMoved();

  HWND window_;
  HWND notify_;  // the parent at creation: notifications and colours come from it
  TextBoxOptions options_;
  bool redraw_ = true;  // WM_SETREDRAW
  UniqueTheme theme_;
  std::u16string text_;
  std::size_t anchor_ = 0;  // the selection runs from the anchor to the caret
  std::size_t caret_ = 0;
  bool after_wrap_ = false;  // the caret shows at the end of a wrapped line
  std::vector<TextLine> lines_ = {TextLine{}};
  std::size_t top_line_ = 0;
  // The selection as last told to screen readers and the creator.
  std::pair<std::size_t, std::size_t> selection_raised_;
  TextBoxHighlight highlight_;  // VTBM_SETHIGHLIGHT
  // The person scrolled the box since the last highlight that began a selection.
  bool scrolled_since_highlight_ = false;

  HFONT font_ = nullptr;
  FontWidths widths_;
  LayoutMetrics metrics_;
  int line_height_ = 16;
  int left_margin_ = 1;
  int right_margin_ = 1;

  // The one step undo takes back, kept as the edit control keeps it: at a
  // position, what was inserted there and what was removed. Typing on at the
  // end of an insertion, or erasing on from either side of a removal, extends
  // the step; undo puts the removed text back, selected, and is undone in turn.
  struct UndoStep {
    std::size_t position = 0;
    std::size_t inserted = 0;
    std::u16string removed;
  };
  UndoStep undo_;
  bool modified_ = false;
  DWORD limit_ = kNoLimit;

  // What the scroll bar was last set to.
  struct ScrollState {
    int max = -1;
    UINT page = 0;
    int pos = -1;
    friend bool operator==(const ScrollState&, const ScrollState&) = default;
  };
  ScrollState scroll_shown_;

  bool focused_ = false;
  bool dragging_ = false;
  int wheel_remainder_ = 0;
};

LRESULT TextBox::Dispatch(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      theme_.reset(OpenThemeData(window_, L"Edit"));
      OnSetFont(nullptr, false);
      return 0;
    case WM_THEMECHANGED:
      theme_.reset(OpenThemeData(window_, L"Edit"));
      RedrawFrame();
      return 0;
    case WM_NCPAINT:
      OnNcPaint(wparam);
      return 0;
    case WM_SETFONT:
      OnSetFont(reinterpret_cast<HFONT>(wparam), LOWORD(lparam) != 0);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_SIZE:
      OnSize();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painting covers everything
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_SETFOCUS:
      OnSetFocus();
      return 0;
    case WM_KILLFOCUS:
      OnKillFocus();
      return 0;
    case WM_GETDLGCODE:
      // As the edit control: a multi-line box takes Enter, Tab and Escape too.
      return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS |
             ((GetWindowLongW(window_, GWL_STYLE) & ES_MULTILINE) != 0 ? DLGC_WANTALLKEYS : 0);
    case WM_SETREDRAW:
      OnSetRedraw(wparam != FALSE);
      return 0;
    case WM_STYLECHANGED:
      OnStyleChanged();
      return 0;
    case VTBM_SETOPTIONS:
      return OnSetOptions(reinterpret_cast<const TextBoxOptions*>(lparam));
    case VTBM_SETHIGHLIGHT:
      return OnSetHighlight(reinterpret_cast<const TextBoxHighlight*>(lparam));
    case VTBM_GETHIGHLIGHT:
      return OnGetHighlight(reinterpret_cast<TextBoxHighlight*>(lparam));
    case WM_KEYDOWN:
      OnKeyDown(static_cast<UINT>(wparam));
      return 0;
    case WM_SYSKEYDOWN:  // Alt+Backspace undoes
      if (wparam == VK_BACK && (lparam & (1 << 29)) != 0) {
        if (CanUndo()) Undo();
        return 0;
      }
      break;
    case WM_CHAR:
      OnChar(static_cast<wchar_t>(wparam));
      return 0;
    case WM_IME_STARTCOMPOSITION:
      OnImeStartComposition();
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      OnMouseDown({static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))},
                  message == WM_LBUTTONDBLCLK);
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove({static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))});
      return 0;
    case WM_LBUTTONUP:
      if (dragging_) ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      dragging_ = false;
      KillTimer(window_, kDragScrollTimer);
      return 0;
    case WM_TIMER:
      if (wparam == kDragScrollTimer) {
        POINT point{};
        GetCursorPos(&point);
        ScreenToClient(window_, &point);
        OnMouseMove(point);
        return 0;
      }
      break;
    case WM_MOUSEWHEEL:
      OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wparam));
      return 0;
    case WM_VSCROLL:
      OnVScroll(LOWORD(wparam));
      return 0;
    case WM_CONTEXTMENU:
      OnContextMenu({static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))});
      return 0;
    case WM_GETOBJECT:
      if (const LRESULT object = AnswerAccessibleObject(window_, wparam, lparam); object != 0) {
        return object;
      }
      break;

    case WM_SETTEXT:
      return OnSetText(reinterpret_cast<const wchar_t*>(lparam));
    case WM_GETTEXT:
      return OnGetText(wparam, reinterpret_cast<wchar_t*>(lparam));
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(text_.size());
    case EM_GETSEL:
      return OnGetSel(reinterpret_cast<DWORD*>(wparam), reinterpret_cast<DWORD*>(lparam));
    case EM_SETSEL:
      OnSetSel(static_cast<UINT>(wparam), static_cast<UINT>(lparam));
      ScrollToCaret();
      return 0;
    case EM_REPLACESEL:
      ReplaceSelection(ToU16(reinterpret_cast<const wchar_t*>(lparam)), wparam != 0);
      return 0;
    case EM_SETREADONLY: {
      const LONG style = GetWindowLongW(window_, GWL_STYLE);
      SetWindowLongW(window_, GWL_STYLE, wparam != 0 ? style | ES_READONLY : style & ~ES_READONLY);
      return TRUE;
    }
    case EM_SCROLLCARET:
      ScrollToCaret();
      return 0;
    case EM_SETLIMITTEXT:
      limit_ = wparam == 0 || wparam > kNoLimit ? kNoLimit : static_cast<DWORD>(wparam);
      return 0;
    case EM_GETLIMITTEXT:
      return static_cast<LRESULT>(limit_);
    case EM_CANUNDO:
      return CanUndo();
    case EM_UNDO:
    case WM_UNDO:
      return Undo();
    case EM_EMPTYUNDOBUFFER:
      undo_.inserted = 0;
      undo_.removed.clear();
      return 0;
    case EM_GETMODIFY:
      return modified_;
    case EM_SETMODIFY:
      modified_ = wparam != 0;
      return 0;
    case EM_GETLINECOUNT:
      return static_cast<LRESULT>(lines_.size());
    case EM_GETFIRSTVISIBLELINE:
      return static_cast<LRESULT>(top_line_);
    case EM_LINEFROMCHAR:
      // -1: the caret's line, or with a selection the line where it starts.
      if (static_cast<LONG>(wparam) >= 0) {
        return static_cast<LRESULT>(LineOfPosition(lines_, static_cast<std::size_t>(wparam)));
      }
      return static_cast<LRESULT>(HasSelection() ? LineOfPosition(lines_, SelectionStart())
                                                 : CaretLine());
    case EM_LINEINDEX: {
      const std::size_t line = static_cast<LONG>(wparam) < 0 ? CaretLine() : wparam;
      return line < lines_.size() ? static_cast<LRESULT>(lines_[line].start) : -1;
    }
    case EM_LINESCROLL:
      ScrollTo(static_cast<long long>(top_line_) + static_cast<LONG>(lparam));
      return TRUE;
    case EM_SETMARGINS:
      if ((wparam & EC_LEFTMARGIN) != 0 && LOWORD(lparam) != EC_USEFONTINFO)
        left_margin_ = LOWORD(lparam);
      if ((wparam & EC_RIGHTMARGIN) != 0 && HIWORD(lparam) != EC_USEFONTINFO)
        right_margin_ = HIWORD(lparam);
      Relayout();
      return 0;
    case EM_GETMARGINS:
      return MAKELONG(left_margin_, right_margin_);
    case EM_POSFROMCHAR: {
      const POINT point = PointOfPosition(wparam, false);
      return MAKELONG(point.x, point.y);
    }
    case EM_CHARFROMPOS: {
      bool after_wrap = false;
      const std::size_t position = PositionAtPoint(
          {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))}, &after_wrap);
      return MAKELONG(position, LineOfPosition(lines_, position, after_wrap));
    }
    case WM_COPY:
      Copy();
      return 0;
    case WM_CUT:
      Cut();
      return 0;
    case WM_PASTE:
      Paste();
      return 0;
    case WM_CLEAR:
      Clear();
      return 0;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

// ---- Messages -------------------------------------------------------------

// The sunken edge, and over it the edit control's border of the visual style
// when there is one, so that the box looks like the edit control above it.
void TextBox::OnNcPaint(WPARAM region) {
  DefWindowProcW(window_, WM_NCPAINT, region, 0);
  if (!theme_ || (GetWindowLongW(window_, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) == 0) return;
  const WindowDc window_dc = vantorel::GetWindowDC(window_);
  if (!window_dc) return;
  const HDC dc = window_dc->dc;
  RECT frame{};
  GetWindowRect(window_, &frame);
  OffsetRect(&frame, -frame.left, -frame.top);
  const UINT dpi = DpiForWindow(window_);
  const int edge_x = SystemMetricForDpi(SM_CXEDGE, dpi);
  const int edge_y = SystemMetricForDpi(SM_CYEDGE, dpi);
  ExcludeClipRect(dc, edge_x, edge_y, frame.right - edge_x, frame.bottom - edge_y);
  const int state = !IsWindowEnabled(window_) ? ETS_DISABLED : focused_ ? ETS_FOCUSED : ETS_NORMAL;
  if (IsThemeBackgroundPartiallyTransparent(theme_.get(), EP_EDITTEXT, state)) {
    DrawThemeParentBackground(window_, dc, &frame);
  }
  DrawThemeBackground(theme_.get(), dc, EP_EDITTEXT, state, &frame, nullptr);
}

void TextBox::OnSetFont(HFONT font, bool redraw) {
  font_ = font;
  widths_.SetFont(font != nullptr ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT)));
  TEXTMETRICW metrics{};
  GetTextMetricsW(widths_.dc(), &metrics);
  line_height_ = (std::max)(1, static_cast<int>(metrics.tmHeight));
  // Tab stops every 32 dialog units, as in the system's edit control: eight
  // of the font's average widths of the Latin letters.
  constexpr wchar_t kLetters[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  SIZE letters{};
  const int average = GetTextExtentPoint32W(widths_.dc(), kLetters, 52, &letters)
                          ? static_cast<int>((letters.cx / 26 + 1) / 2)
                          : static_cast<int>(metrics.tmAveCharWidth);
  metrics_.tab_width = (std::max)(1, 8 * average);
  Relayout();
  if (focused_) ShowNewCaret();
  if (redraw) Invalidate();
}

void TextBox::OnSize() {
  Relayout();
  ScrollTo(static_cast<long long>(top_line_));
}

void TextBox::OnPaint() {
  const Painting paint = vantorel::BeginPaint(window_);
  const HDC dc = paint->paint.hdc;
  const RECT& dirty = paint->paint.rcPaint;
  RECT client{};
  GetClientRect(window_, &client);
  // The parent chooses the colours, as for an edit control: those of a
  // static control when the box is read-only or disabled.
  const bool inert = ReadOnly() || !IsWindowEnabled(window_);
  auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(notify_, inert ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT,
                   reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window_)));
  if (brush == nullptr) brush = GetSysColorBrush(inert ? COLOR_3DFACE : COLOR_WINDOW);
  const COLORREF text_colour = GetTextColor(dc);
  const COLORREF back_colour = GetBkColor(dc);
  const SelectedObject font = vantorel::SelectObject(dc, font_);

  const std::size_t selection_start = focused_ ? SelectionStart() : 0;
  const std::size_t selection_end = focused_ ? SelectionEnd() : 0;
  const bool framed = HighContrast();
  const COLORREF shade = HighlightShade();
  const UINT dpi = DpiForWindow(window_);
  std::wstring run;
  std::vector<INT> run_advances;
  const RECT area = TextArea();
  RECT above{0, 0, client.right, area.top};
  FillRect(dc, &above, brush);
  int y = area.top;
  for (std::size_t line = top_line_; line < lines_.size() && y < client.bottom;
       ++line, y += line_height_) {
    if (y + line_height_ <= dirty.top || y >= dirty.bottom) continue;
    const TextLine& l = lines_[line];
    int x = area.left;
    RECT left{0, y, area.left, y + line_height_};
    FillRect(dc, &left, brush);
    const std::vector<int> advances = LineAdvances(text_, l, widths_, metrics_);
    // The line in runs, cut where the selection and the highlight begin and end.
    std::size_t cuts[] = {l.start,
                          std::clamp(selection_start, l.start, l.end),
                          std::clamp(selection_end, l.start, l.end),
                          std::clamp<std::size_t>(highlight_.start, l.start, l.end),
                          std::clamp<std::size_t>(highlight_.end, l.start, l.end),
                          l.end};
    std::sort(std::begin(cuts), std::end(cuts));
    for (std::size_t part = 0; part + 1 < std::size(cuts); ++part) {
      const std::size_t from = cuts[part], to = cuts[part + 1];
      if (from >= to) continue;
      run.assign(text_.begin() + static_cast<std::ptrdiff_t>(from),
                 text_.begin() + static_cast<std::ptrdiff_t>(to));
      std::replace(run.begin(), run.end(), L'\t', L' ');
      const auto first = advances.begin() + static_cast<std::ptrdiff_t>(from - l.start);
      const auto last = advances.begin() + static_cast<std::ptrdiff_t>(to - l.start);
      run_advances.assign(first, last);
      int width = 0;
      for (const int advance : run_advances) width += advance;
      const bool selected = from >= selection_start && to <= selection_end;
      const bool highlighted = !selected && from >= highlight_.start && to <= highlight_.end;
      SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text_colour);
      SetBkColor(dc, selected                 ? GetSysColor(COLOR_HIGHLIGHT)
                     : highlighted && !framed ? shade
                                              : back_colour);
      const RECT box{x, y, x + width, y + line_height_};
      ExtTextOutW(dc, x, y, ETO_OPAQUE | ETO_CLIPPED, &box, run.data(),
                  static_cast<UINT>(run.size()), run_advances.data());
      if (highlighted && framed) FrameHighlight(dc, box, dpi);
      x += width;
    }
    RECT rest{x, y, client.right, y + line_height_};
    FillRect(dc, &rest, brush);
  }
  if (y < client.bottom) {
    RECT below{0, y, client.right, client.bottom};
    FillRect(dc, &below, brush);
  }
  SetTextColor(dc, text_colour);
  SetBkColor(dc, back_colour);
}

// The system itself raises EVENT_OBJECT_FOCUS for the box as the focus comes
// (Windows and Wine alike); a second one would be spoken twice.
void TextBox::OnSetFocus() {
  focused_ = true;
  ShowNewCaret();
  Invalidate();
  if (theme_) RedrawFrame();
  Notify(EN_SETFOCUS);
}

// A caret as tall as a line of the font, where the caret is.
void TextBox::ShowNewCaret() {
  DWORD caret_width = 1;
  SystemParametersInfoW(SPI_GETCARETWIDTH, 0, &caret_width, 0);
  CreateCaret(window_, nullptr, static_cast<int>(caret_width), line_height_);
  PlaceCaret();
  ShowCaret(window_);
}

void TextBox::OnKillFocus() {
  focused_ = false;
  DestroyCaret();
  Invalidate();
  if (theme_) RedrawFrame();
  Notify(EN_KILLFOCUS);
}

void TextBox::OnKeyDown(UINT key) {
  if (KeyDown(VK_MENU)) return;
  const bool shift = KeyDown(VK_SHIFT);
  const bool control = KeyDown(VK_CONTROL);
  // Each move starts from the caret, with or without a selection.
  switch (key) {
    case VK_LEFT:
      MoveCaret(control ? WordLeft() : PreviousPosition(text_, caret_), shift);
      break;
    case VK_RIGHT:
      MoveCaret(control ? WordRight() : NextPosition(text_, caret_), shift);
      break;
    case VK_UP:
    case VK_DOWN:
      MoveByLines(key == VK_UP ? -1 : 1, shift);
      break;
    case VK_PRIOR:
    case VK_NEXT:
      MoveByLines(key == VK_PRIOR ? -VisibleLines() : VisibleLines(), shift);
      break;
    case VK_HOME:
      MoveCaret(control ? 0 : lines_[CaretLine()].start, shift);
      break;
    case VK_END:
      if (control) {
        MoveCaret(text_.size(), shift);
      } else {
        const std::size_t line = CaretLine();
        MoveCaret(LineEnd(line), shift, WrapsAfter(line));
      }
      break;
    case VK_DELETE:
      // Shift: cuts the selection, else erases back; Ctrl: clears the
      // selection, else erases to the end of the line; both: nothing.
      if ((shift && control) || ReadOnly()) break;
      if (HasSelection()) {
        if (shift) Copy();
        ReplaceSelection({}, true);
      } else if (shift) {
        EraseTo(PreviousPosition(text_, caret_));
      } else if (control) {
        const std::size_t line = CaretLine();
        EraseTo(LineEnd(line), WrapsAfter(line));
      } else {
        EraseTo(NextPosition(text_, caret_));
      }
      break;
    case VK_INSERT:
      if (shift) {
        Paste();
      } else if (control) {
        Copy();
      }
      break;
    case 'A':
      if (control) OnSetSel(0, text_.size());
      break;
  }
}

void TextBox::OnChar(wchar_t c) {
  if (ReadOnly() && c != 0x03) {  // Ctrl+C still copies
    // Enter goes to the start of the next line, as in a read-only edit control.
    if (c == L'\r' || c == L'\n') {
      MoveCaret(lines_[CaretLine()].start, false);
      MoveByLines(1, false);
    }
    return;
  }
  switch (c) {
    case 0x03:  // Ctrl+C
      Copy();
      return;
    case 0x16:  // Ctrl+V
      Paste();
      return;
    case 0x18:  // Ctrl+X
      Cut();
      return;
    case 0x1A:  // Ctrl+Z
      Undo();
      return;
    case L'\b':
      if (KeyDown(VK_CONTROL)) return;
      if (HasSelection()) {
        ReplaceSelection({}, true);
      } else {
        EraseTo(PreviousPosition(text_, caret_));
      }
      return;
    case L'\r':
    case L'\n':  // Enter and Ctrl+Enter
      ReplaceSelection(u"\r\n", true);
      return;
    case L'\t':
      ReplaceSelection(u"\t", true);
      return;
  }
  if (c < 0x20 || c == 0x7F) return;
  const char16_t typed = static_cast<char16_t>(c);
  ReplaceSelection(std::u16string_view(&typed, 1), true);
}

void TextBox::OnMouseDown(POINT point, bool double_click) {
  if (!focused_) SetFocus(window_);
  bool after_wrap = false;
  const std::size_t position = PositionAtPoint(point, &after_wrap);
  if (double_click) {
    const Span word = WordAt(text_, position);
    MoveCaret(word.start, false);
    MoveCaret(word.end, true);
    return;
  }
  MoveCaret(position, KeyDown(VK_SHIFT), after_wrap);
  SetCapture(window_);
  dragging_ = true;
}

void TextBox::OnMouseMove(POINT point) {
  if (!dragging_) return;
  RECT client{};
  GetClientRect(window_, &client);
  // Past the top or bottom edge, the text scrolls a line at a time.
  const bool outside = point.y < 0 || point.y >= client.bottom;
  if (point.y < 0) ScrollTo(static_cast<long long>(top_line_) - 1);
  if (point.y >= client.bottom) ScrollTo(static_cast<long long>(top_line_) + 1);
  if (outside) {
    SetTimer(window_, kDragScrollTimer, kDragScrollMs, nullptr);
  } else {
    KillTimer(window_, kDragScrollTimer);
  }
  point.y = std::clamp<LONG>(point.y, 0, (std::max)(0L, client.bottom - 1));
  bool after_wrap = false;
  const std::size_t position = PositionAtPoint(point, &after_wrap);
  MoveCaret(position, true, after_wrap);
}

void TextBox::OnMouseWheel(int delta) {
  UINT lines_per_notch = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines_per_notch, 0);
  if (lines_per_notch == 0) return;
  const int per_notch = lines_per_notch == WHEEL_PAGESCROLL ? (std::max)(1, VisibleLines() - 1)
                                                            : static_cast<int>(lines_per_notch);
  wheel_remainder_ += delta;
  const int lines = wheel_remainder_ * per_notch / WHEEL_DELTA;
  wheel_remainder_ -= lines * WHEEL_DELTA / per_notch;
  scrolled_since_highlight_ = true;
  ScrollTo(static_cast<long long>(top_line_) - lines);
}

void TextBox::OnVScroll(int request) {
  const long long top = static_cast<long long>(top_line_);
  const int page = (std::max)(1, VisibleLines() - 1);
  scrolled_since_highlight_ = true;
  switch (request) {
    case SB_LINEUP:
      ScrollTo(top - 1);
      break;
    case SB_LINEDOWN:
      ScrollTo(top + 1);
      break;
    case SB_PAGEUP:
      ScrollTo(top - page);
      break;
    case SB_PAGEDOWN:
      ScrollTo(top + page);
      break;
    case SB_TOP:
      ScrollTo(0);
      break;
    case SB_BOTTOM:
      ScrollTo(static_cast<long long>(lines_.size()));
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO info{};
      info.cbSize = sizeof info;
      info.fMask = SIF_TRACKPOS;
      GetScrollInfo(window_, SB_VERT, &info);
      ScrollTo(info.nTrackPos);
      break;
    }
  }
}

void TextBox::OnContextMenu(POINT screen_point) {
  if (!focused_) SetFocus(window_);
  if (screen_point.x == -1 && screen_point.y == -1) {  // from the keyboard
    screen_point = PointOfPosition(caret_, after_wrap_);
    screen_point.y += line_height_;
    ClientToScreen(window_, &screen_point);
  }
  // The creator may change its items for what the box holds now.
  NotifyMenu(VTBN_MENUOPENING, 0);
  const UniqueMenu menu(CreatePopupMenu());
  if (!menu) return;
  std::vector<UINT> creator_ids;  // of the creator's items, by command
  if (!options_.menu_before.empty()) {
    AppendCreatorItems(menu.get(), options_.menu_before, creator_ids);
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
  }
  const bool can_paste = IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE;
  const bool writable = !ReadOnly();
  const struct {
    EditMenuCommand command;
    bool enabled;
    bool separator_after;
  } items[] = {
      {EditMenuCommand::kUndo, CanUndo() && writable, true},
      {EditMenuCommand::kCut, HasSelection() && writable, false},
      {EditMenuCommand::kCopy, HasSelection(), false},
      {EditMenuCommand::kPaste, can_paste && writable, false},
      {EditMenuCommand::kDelete, HasSelection() && writable, true},
      {EditMenuCommand::kSelectAll, SelectionEnd() - SelectionStart() < text_.size(), false},
  };
  for (const auto& item : items) {
    static constexpr const char16_t* kEnglish[] = {u"&Undo",  u"Cu&t",    u"&Copy",
                                                   u"&Paste", u"&Delete", u"Select &All"};
    const auto index = static_cast<std::size_t>(item.command);
    const std::u16string& given = options_.menu_labels[index];
    const std::u16string label = given.empty() ? kEnglish[index] : given;
    AppendMenuW(menu.get(), MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED),
                static_cast<UINT_PTR>(item.command) + 1,
                std::wstring(label.begin(), label.end()).c_str());
    if (item.separator_after) AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
  }
  if (!options_.menu_after.empty()) {
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendCreatorItems(menu.get(), options_.menu_after, creator_ids);
  }
  const auto chosen =
      static_cast<UINT>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                       screen_point.x, screen_point.y, 0, window_, nullptr));
  if (chosen == 0) return;
  if (chosen >= kCreatorCommands) {
    NotifyMenu(VTBN_MENUCOMMAND, creator_ids[chosen - kCreatorCommands]);
    return;
  }
  switch (static_cast<EditMenuCommand>(chosen - 1)) {
    case EditMenuCommand::kUndo:
      Undo();
      break;
    case EditMenuCommand::kCut:
      Cut();
      break;
    case EditMenuCommand::kCopy:
      Copy();
      break;
    case EditMenuCommand::kPaste:
      Paste();
      break;
    case EditMenuCommand::kDelete:
      Clear();
      break;
    case EditMenuCommand::kSelectAll:
      SendMessageW(window_, EM_SETSEL, 0, -1);
      break;
  }
}

// The creator's items go into the menu as commands from kCreatorCommands on,
// whose ids are kept in `ids` by command; a submenu belongs to its menu once
// appended, and goes with it.
void TextBox::AppendCreatorItems(HMENU menu, const std::vector<TextBoxMenuItem>& items,
                                 std::vector<UINT>& ids) {
  for (const TextBoxMenuItem& item : items) {
    if (item.label.empty()) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const std::wstring label(item.label.begin(), item.label.end());
    const UINT state = item.enabled ? MF_ENABLED : MF_GRAYED;
    if (item.submenu.empty()) {
      AppendMenuW(menu, MF_STRING | state, kCreatorCommands + ids.size(), label.c_str());
      ids.push_back(item.id);
      continue;
    }
    UniqueMenu submenu(CreatePopupMenu());
    if (!submenu) continue;
    AppendCreatorItems(submenu.get(), item.submenu, ids);
    if (AppendMenuW(menu, MF_POPUP | state, reinterpret_cast<UINT_PTR>(submenu.get()),
                    label.c_str())) {
      submenu.release();
    }
  }
}

void TextBox::NotifyMenu(UINT code, UINT id) const {
  NMTEXTBOXMENU notice{};
  notice.hdr.hwndFrom = window_;
  notice.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(window_));
  notice.hdr.code = code;
  notice.selection_start = static_cast<DWORD>(SelectionStart());
  notice.selection_end = static_cast<DWORD>(SelectionEnd());
  notice.id = id;
  SendMessageW(notify_, WM_NOTIFY, notice.hdr.idFrom, reinterpret_cast<LPARAM>(&notice));
}

// A copy first, so that running out of memory keeps the old options.
bool TextBox::OnSetOptions(const TextBoxOptions* options) {
  if (options == nullptr) return false;
  TextBoxOptions copy = *options;
  options_ = std::move(copy);
  return true;
}

// A copy first, as for the options. A highlight is kept within the text;
// one of nothing is none.
bool TextBox::OnSetHighlight(const TextBoxHighlight* highlight) {
  TextBoxHighlight next = highlight != nullptr ? *highlight : TextBoxHighlight{};
  next.start = static_cast<DWORD>((std::min)(std::size_t{next.start}, text_.size()));
  next.end =
      static_cast<DWORD>(std::clamp(std::size_t{next.end}, std::size_t{next.start}, text_.size()));
  if (next.start == next.end) next = {.begins = next.begins};
  const bool moved = next.start != highlight_.start || next.end != highlight_.end;
  const bool end_moved = highlight_.start != highlight_.end && next.start == highlight_.start &&
                         next.end != highlight_.end;
  const bool described = next.description != highlight_.description;
  if (next.begins) scrolled_since_highlight_ = false;
  highlight_ = std::move(next);
  if (moved) Invalidate();
  if (highlight_.start != highlight_.end && !scrolled_since_highlight_) {
    ScrollToHighlight(end_moved);
  }
  if (described) RaiseEvent(EVENT_OBJECT_DESCRIPTIONCHANGE);
  return true;
}

LRESULT TextBox::OnGetHighlight(TextBoxHighlight* highlight) const {
  if (highlight != nullptr) *highlight = highlight_;
  return highlight_.start != highlight_.end;
}

// While redrawing is off the box neither paints anew nor sets its scroll
// bar; turned on, it does both once.
void TextBox::OnSetRedraw(bool redraw) {
  redraw_ = redraw;
  if (!redraw_) return;
  UpdateScrollBar();
  RedrawFrame();
}

// Whether the sunken edge is there decides where the text goes.
void TextBox::OnStyleChanged() {
  Relayout();
  ScrollTo(static_cast<long long>(top_line_));
  RedrawFrame();
}

// The input method's window follows the caret, in the box's font.
void TextBox::OnImeStartComposition() {
  const InputContext context = vantorel::ImmGetContext(window_);
  if (!context) return;
  COMPOSITIONFORM form{};
  form.dwStyle = CFS_POINT;
  form.ptCurrentPos = PointOfPosition(caret_, after_wrap_);
  ImmSetCompositionWindow(context->context, &form);
  LOGFONTW font{};
  if (font_ != nullptr && GetObjectW(font_, sizeof font, &font) != 0) {
    ImmSetCompositionFontW(context->context, &font);
  }
}

// New text with nothing to undo (as in the edit control, no text for none
// keeps what there was), the caret at its start.
LRESULT TextBox::OnSetText(const wchar_t* text) {
  std::u16string new_text = ToU16(text);
  std::vector<TextLine> lines = WrapLines(new_text, widths_, metrics_);
  if (!text_.empty() || !new_text.empty()) {
    undo_.inserted = 0;
    undo_.removed.clear();
  }
  text_ = std::move(new_text);
  anchor_ = caret_ = 0;
  Show(std::move(lines));
  modified_ = false;
  return TRUE;
}

LRESULT TextBox::OnGetText(std::size_t capacity, wchar_t* buffer) const {
  if (buffer == nullptr || capacity == 0) return 0;
  const std::size_t count = (std::min)(capacity - 1, text_.size());
  std::copy_n(text_.begin(), count, buffer);
  buffer[count] = L'\0';
  return static_cast<LRESULT>(count);
}

// As the edit control: -1 drops the selection and leaves the caret; other
// positions past the end are the end; the caret goes to the second one.
// EM_SETSEL then scrolls the caret into view; Ctrl+A does not.
void TextBox::OnSetSel(UINT start, UINT end) {
  if (start == anchor_ && end == caret_) return;
  std::size_t from = caret_;
  std::size_t to = caret_;
  if (start != static_cast<UINT>(-1)) {
    // Never inside a surrogate pair or "\r\n".
    from = CharacterBoundary(text_, start);
    to = CharacterBoundary(text_, end);
  }
  anchor_ = from;
  caret_ = to;
  after_wrap_ = false;
  PlaceCaret();
  Invalidate();
}

LRESULT TextBox::OnGetSel(DWORD* start, DWORD* end) const {
  if (start != nullptr) *start = static_cast<DWORD>(SelectionStart());
  if (end != nullptr) *end = static_cast<DWORD>(SelectionEnd());
  if (SelectionEnd() > 0xFFFF) return -1;
  return MAKELONG(SelectionStart(), SelectionEnd());
}

// ---- Editing --------------------------------------------------------------

void TextBox::Replace(std::size_t start, std::size_t end, std::u16string_view with, bool undoable) {
  if (start > end) std::swap(start, end);
  // Up to the limit, and never half a surrogate pair or line break.
  const std::size_t kept = text_.size() - (end - start);
  const std::size_t room = kept >= limit_ ? 0 : limit_ - kept;
  if (with.size() > room) {
    std::size_t keep = room;
    while (keep > 0 &&
           ((with[keep - 1] >= 0xD800 && with[keep - 1] <= 0xDBFF) || with[keep - 1] == u'\r')) {
      --keep;
    }
    with = with.substr(0, keep);
    Notify(EN_MAXTEXT);
  }
  if (start == end && with.empty()) return;
  std::u16string text;
  text.reserve(kept + with.size());
  text.append(text_, 0, start).append(with).append(text_, end);
  std::vector<TextLine> lines = WrapLines(text, widths_, metrics_);

  // The undo step after this edit.
  std::size_t position = undo_.position;
  std::size_t inserted = undo_.inserted;
  std::optional<std::u16string> removed;  // where it changes
  const std::u16string_view gone = std::u16string_view(text_).substr(start, end - start);
  if (!gone.empty()) {
    if (!undoable) {
      removed.emplace();
    } else if (inserted == 0 && !undo_.removed.empty() && start == position) {
      removed.emplace(undo_.removed).append(gone);  // erased on forward
    } else if (inserted == 0 && !undo_.removed.empty() && end == position) {
      removed.emplace(gone).append(undo_.removed);  // erased on back
      position = start;
    } else {
      removed.emplace(gone);
      position = start;
    }
    inserted = 0;
  }
  if (!with.empty()) {
    if (!undoable) {
      removed.emplace();
      inserted = 0;
    } else if (start == position || (inserted != 0 && start == position + inserted)) {
      inserted += with.size();
    } else {
      position = start;
      inserted = with.size();
      removed.emplace();
    }
  }

  // Nothing below can fail.
  if (removed) undo_.removed = std::move(*removed);
  undo_.position = position;
  undo_.inserted = inserted;
  text_ = std::move(text);
  anchor_ = caret_ = start + with.size();
  Show(std::move(lines));
  Notify(EN_UPDATE);
  Notify(EN_CHANGE);
}

// Undo replaces what the step inserted with what it removed, and selects it;
// the step is then the undo itself, so that a second undo redoes. With
// nothing to undo, the caret only goes to where the last step was.
bool TextBox::Undo() {
  if (ReadOnly()) return false;
  const std::size_t from = (std::min)(undo_.position, text_.size());
  const std::size_t to = (std::min)(undo_.position + undo_.inserted, text_.size());
  UndoStep step = std::move(undo_);
  undo_ = UndoStep{step.position, 0, {}};
  try {
    Replace(from, to, step.removed, true);
  } catch (...) {
    undo_ = std::move(step);
    throw;
  }
  // (The step's place may lie inside a character by now.)
  anchor_ = CharacterBoundary(text_, undo_.position);
  caret_ = CharacterBoundary(text_, undo_.position + undo_.inserted);
  after_wrap_ = false;
  ScrollToCaret();
  PlaceCaret();
  Invalidate();
  return true;
}

void TextBox::Show(std::vector<TextLine> lines) {
  lines_ = std::move(lines);
  // The highlight pointed into the text that was.
  const bool described = !highlight_.description.empty();
  highlight_ = {};
  if (described) RaiseEvent(EVENT_OBJECT_DESCRIPTIONCHANGE);
  anchor_ = (std::min)(anchor_, text_.size());
  caret_ = (std::min)(caret_, text_.size());
  after_wrap_ = false;
  modified_ = true;
  top_line_ = (std::min)(top_line_, lines_.size() - 1);
  UpdateScrollBar();
  ScrollToCaret();
  PlaceCaret();
  Invalidate();
  RaiseEvent(EVENT_OBJECT_VALUECHANGE);
}

void TextBox::Copy() const {
  if (!HasSelection()) return;
  SetClipboardText(window_, std::u16string_view(text_).substr(SelectionStart(),
                                                              SelectionEnd() - SelectionStart()));
}

// WM_CUT in a read-only box copies, as the edit control's does; the keys
// that cut do nothing there.
void TextBox::Cut() {
  if (!HasSelection()) return;
  Copy();
  Clear();
}

void TextBox::Paste() {
  if (ReadOnly()) return;
  if (const auto text = ClipboardText(window_)) ReplaceSelection(*text, true);
}

// ---- Caret, layout and scrolling ------------------------------------------

void TextBox::MoveCaret(std::size_t position, bool extend, bool after_wrap) {
  const bool had_selection = HasSelection();
  caret_ = (std::min)(position, text_.size());
  if (!extend) anchor_ = caret_;
  after_wrap_ = after_wrap;
  ScrollToCaret();
  PlaceCaret();
  if (had_selection || HasSelection()) Invalidate();
}

// Up, down and a page at a time: to the place nearest the caret's x on the
// line that many lines away, or on the first or last line.
void TextBox::MoveByLines(int delta, bool extend) {
  const std::size_t line = CaretLine();
  const int x = XOfPosition(text_, lines_[line], caret_, widths_, metrics_);
  const long long target = std::clamp<long long>(static_cast<long long>(line) + delta, 0,
                                                 static_cast<long long>(lines_.size()) - 1);
  const TextLine& to = lines_[static_cast<std::size_t>(target)];
  const std::size_t position = PositionAtX(text_, to, x, widths_, metrics_);
  const bool after_wrap = position == to.end &&
                          static_cast<std::size_t>(target) + 1 < lines_.size() &&
                          lines_[static_cast<std::size_t>(target) + 1].start == position;
  MoveCaret(position, extend, after_wrap);
}

// Words as the edit control finds them: from the caret back to a place a line
// may break, or from a line's start to the previous line's end.
std::size_t TextBox::WordLeft() const {
  const std::size_t line = LineOfPosition(lines_, caret_);
  const std::size_t start = lines_[line].start;
  if (caret_ == start) return line == 0 ? caret_ : LineEnd(line - 1);
  std::size_t i = caret_ - 1;
  while (i > 0 && !MayBreakBefore(text_, i)) --i;
  return i;
}

// Forward to the next break opportunity within the line, else to the next
// line's start.
std::size_t TextBox::WordRight() const {
  const std::size_t line = LineOfPosition(lines_, caret_);
  const std::size_t end = LineEnd(line);
  if (caret_ >= end) return line + 1 < lines_.size() ? lines_[line + 1].start : caret_;
  std::size_t i = caret_ + 1;
  while (i < end && !MayBreakBefore(text_, i)) ++i;
  return i;
}

std::size_t TextBox::CaretLine() const { return LineOfPosition(lines_, caret_, after_wrap_); }

POINT TextBox::PointOfPosition(std::size_t position, bool after_wrap) {
  position = (std::min)(position, text_.size());
  const std::size_t line = LineOfPosition(lines_, position, after_wrap);
  const RECT area = TextArea();
  const int x = area.left + XOfPosition(text_, lines_[line], position, widths_, metrics_);
  const long long y =
      area.top + (static_cast<long long>(line) - static_cast<long long>(top_line_)) * line_height_;
  return {x, static_cast<LONG>(std::clamp<long long>(y, -0x7FFF, 0x7FFF))};
}

std::size_t TextBox::PositionAtPoint(POINT point, bool* after_wrap) {
  const RECT area = TextArea();
  const long long row = point.y < area.top ? -1 : (point.y - area.top) / line_height_;
  const std::size_t line = static_cast<std::size_t>(std::clamp<long long>(
      static_cast<long long>(top_line_) + row, 0, static_cast<long long>(lines_.size()) - 1));
  const TextLine& l = lines_[line];
  const std::size_t position = PositionAtX(text_, l, point.x - area.left, widths_, metrics_);
  *after_wrap = position == l.end && line + 1 < lines_.size() && lines_[line + 1].start == position;
  return position;
}

void TextBox::Relayout() {
  const RECT area = TextArea();
  metrics_.width = (std::max)(1, static_cast<int>(area.right - area.left));
  lines_ = WrapLines(text_, widths_, metrics_);
  top_line_ = (std::min)(top_line_, lines_.size() - 1);
  UpdateScrollBar();
}

RECT TextBox::TextArea() const {
  RECT area{};
  GetClientRect(window_, &area);
  if ((GetWindowLongW(window_, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0) {
    InflateRect(&area, -1, 0);
    if (area.bottom - area.top >= line_height_ + 2) InflateRect(&area, 0, -1);
  }
  area.left += left_margin_;
  area.right -= right_margin_;
  return area;
}

int TextBox::VisibleLines() const {
  const RECT area = TextArea();
  return (std::max)(1, static_cast<int>(area.bottom - area.top) / line_height_);
}

void TextBox::ScrollTo(long long top_line) {
  const long long last_top =
      (std::max)(0LL, static_cast<long long>(lines_.size()) - VisibleLines());
  const auto top = static_cast<std::size_t>(std::clamp<long long>(top_line, 0, last_top));
  if (top != top_line_) {
    top_line_ = top;
    Invalidate();
    PlaceCaret();
  }
  UpdateScrollBar();
}

// Scrolls as little as shows the line the caret's position starts (at a
// wrap, the next line, as the edit control does), and no further down than
// fills the box.
void TextBox::ScrollToCaret() {
  const std::size_t line = LineOfPosition(lines_, caret_);
  const auto visible = static_cast<std::size_t>(VisibleLines());
  std::size_t top = top_line_;
  if (line < top) {
    top = line;
  } else if (line >= top + visible) {
    top = line - visible + 1;
  }
  ScrollTo(static_cast<long long>(top));
}

void TextBox::ScrollToHighlight(bool end_moved) {
  const std::size_t first = LineOfPosition(lines_, highlight_.start);
  const std::size_t last = LineOfPosition(lines_, highlight_.end - 1);
  const auto visible = static_cast<std::size_t>(VisibleLines());
  ScrollTo(static_cast<long long>(TopLineToShow(first, last, top_line_, visible, end_moved)));
}

void TextBox::UpdateScrollBar() {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  info.nMin = 0;
  info.nMax = static_cast<int>((std::min)(lines_.size(), std::size_t{0x7FFFFFFF}) - 1);
  info.nPage = static_cast<UINT>(VisibleLines());
  info.nPos = static_cast<int>(top_line_);
  // Setting a scroll bar redraws it, which costs milliseconds (under Wine,
  // several): only when something changed, and redrawing is on.
  const ScrollState state{info.nMax, info.nPage, info.nPos};
  if (state == scroll_shown_ || !redraw_) return;
  SetScrollInfo(window_, SB_VERT, &info, TRUE);
  scroll_shown_ = state;
}

void TextBox::PlaceCaret() {
  if (!focused_) return;
  const POINT point = PointOfPosition(caret_, after_wrap_);
  SetCaretPos(point.x, point.y);
}

void TextBox::Notify(WORD code) const {
  SendMessageW(notify_, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(window_)), code),
               reinterpret_cast<LPARAM>(window_));
}

void TextBox::Invalidate() const {
  if (redraw_) InvalidateRect(window_, nullptr, FALSE);
}

// The border and the text.
void TextBox::RedrawFrame() const {
  if (redraw_) RedrawWindow(window_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

void TextBox::RaiseEvent(DWORD event) const {
  NotifyWinEvent(event, window_, OBJID_CLIENT, CHILDID_SELF);
}

// Screen readers and the creator hear of each move of the selection or the
// caret, once, after the message that moved it.
void TextBox::RaiseSelectionMoved() {
  const std::pair selection(anchor_, caret_);
  if (selection == selection_raised_) return;
  selection_raised_ = selection;
  RaiseEvent(EVENT_OBJECT_TEXTSELECTIONCHANGED);
  NMTEXTBOXSELECTION notice{};
  notice.hdr.hwndFrom = window_;
  notice.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(window_));
  notice.hdr.code = VTBN_SELCHANGE;
  notice.anchor = static_cast<DWORD>(anchor_);
  notice.caret = static_cast<DWORD>(caret_);
  SendMessageW(notify_, WM_NOTIFY, notice.hdr.idFrom, reinterpret_cast<LPARAM>(&notice));
}

}  // namespace

bool RegisterTextBoxClass(HINSTANCE instance) {
  if (WNDCLASSEXW existing{}; GetClassInfoExW(instance, kTextBoxClass, &existing)) return true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = TextBox::Proc;
  wc.cbWndExtra = TextBox::kExtraBytes;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
  wc.lpszClassName = kTextBoxClass;
  return RegisterClassExW(&wc) != 0;
}

}  // namespace vantorel
