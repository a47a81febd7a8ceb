// A balloon tip pointing at a place in a control, as the edit control's
// EM_SHOWBALLOONTIP shows one (Wine's edit control has none): a tooltip of
// the balloon style that takes no focus and goes away when it is hidden, when
// another is shown, or after a while.
#pragma once

#include <windows.h>

#include <string_view>

#include "win32/handles.hpp"

namespace vantorel {

class BalloonTip {
 public:
  // The icons of TTM_SETTITLE.
  enum class Icon { kNone = 0, kInfo = 1, kWarning = 2, kError = 3 };

  // Shows the balloon with its stem at `at`, in the control's client
  // coordinates, for `milliseconds` (0: until hidden). Replaces any balloon
  // this one shows. False when the tooltip could not be made.
  bool Show(HWND control, POINT at, std::u16string_view title, std::u16string_view text, Icon icon,
            UINT milliseconds = 10000);
  void Hide();
  // Changes the text of the balloon while it shows, where it stands; false
  // when none shows.
  bool Update(std::u16string_view text);

  // The tooltip window while the balloon shows, else null.
  HWND shown() const;

 private:
  UniqueWindow tip_;
};

}  // namespace vantorel
