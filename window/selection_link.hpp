// The two boxes' selections linked, as in a hex editor. Selecting in the
// upper box (Text1, the system's edit control), or only moving its caret,
// highlights in the lower box (Text2, the program's text box) the groups of
// the selected characters' bytes (for a caret, those of the character after
// it); selecting groups in Text2 highlights in Text1 the characters they
// spell. Both only while Text2 holds the canonical hex text of Text1, as
// Form1 last wrote it: hex typed there has no such link.
//
// The highlight follows the selection of the box that last had the focus, and
// goes from a box as it gets the focus. It takes no focus and moves no caret
// or selection; it scrolls its box to be seen, unless the person has scrolled
// that box since the selection it follows began (a caret moved, or a new range
// was started; extending a range keeps one of its ends).
//
// Where the bytes are comes from the codec (字符串加密::ByteMap), made from
// the one encode each change of Text1 makes, so that following a selection
// encodes nothing. Nothing here throws: where memory runs out, the highlights
// go, with a beep, and the boxes keep their text.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "codec/codec.hpp"
#include "window/messages.hpp"

namespace vantorel {

class SelectionLink {
 public:
  // The two boxes, and the language a screen reader is told of the highlight
  // in. The highlight starts by following Text2, where the focus starts.
  void Attach(HWND text1, HWND text2, UiLanguage language) noexcept;

  // Text1 holds `text`, encoded in `cp` as `encoded`, and Text2 now holds
  // `hex`, its canonical hex text.
  void OnEncoded(std::u16string_view text, const 字符串加密::EncodedText& encoded,
                 字符串加密::CodePage cp, std::u16string hex) noexcept;
  // Text2 was changed by the person (typing, a paste, undo).
  void OnText2Edited() noexcept;
  // A box got the focus: from now on its selection counts.
  void OnFocus(HWND box) noexcept;
  // After a message that may have moved a box's selection or caret.
  void OnSelectionMayHaveMoved(HWND box) noexcept;
  // The person scrolled Text1 (its scroll bar, the wheel).
  void OnText1Scrolled() noexcept { text1_scrolled_ = true; }
  // Text1 has just painted into `dc`: the highlight is drawn over it.
  void PaintText1(HDC dc) const noexcept;

  // The code units of Text1 highlighted; none when nothing is.
  字符串加密::Range text1_highlight() const { return text1_highlight_; }

 private:
  using Range = 字符串加密::Range;

  // Follows the source box's selection, which a caret, or a range that kept
  // neither end of the last one, begins anew.
  void Follow(Range selection);
  void HighlightText2(Range bytes, bool begins);
  void HighlightText1(Range units, bool begins);
  // Where Text1's characters in `units` stand on the lines it shows: a
  // rectangle a line, a space wide for a line break.
  std::vector<RECT> Text1Rectangles(Range units) const;
  void InvalidateText1(Range units) const;
  // Scrolls Text1 to show the characters, as the text box shows its highlight.
  bool ScrollText1To(Range units, bool end_moved);
  void Drop() noexcept;

  HWND text1_ = nullptr;
  HWND text2_ = nullptr;
  UiLanguage language_ = UiLanguage::kEnglish;
  // Text1's text, where its bytes are, and Text2's canonical hex text, as of
  // the last encode.
  std::u16string text_;
  字符串加密::ByteMap map_;
  std::u16string hex_;
  bool mapped_ = true;     // the three are of what Text1 holds (not after memory ran out)
  bool canonical_ = true;  // Text2 holds hex_
  HWND source_ = nullptr;  // the box whose selection is followed
  Range followed_;         // its selection, as last followed
  Range text1_highlight_;
  bool text1_scrolled_ = false;  // by the person, since the followed selection began
};

}  // namespace vantorel
