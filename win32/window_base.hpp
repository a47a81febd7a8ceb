// One window procedure for every kind of window whose messages go to a C++
// object: it adopts the object at WM_NCCREATE, finds it from the window's
// handle for every later message, lets it go at WM_NCDESTROY, and lets no
// exception out (a window procedure is called from the system's C code).
#pragma once

#include <windows.h>

#include <new>
#include <utility>

namespace vantorel {

// Where a window keeps its object. A program's own window uses GWLP_USERDATA;
// a control uses its class's extra bytes (cbWndExtra, slot 0), since
// GWLP_USERDATA belongs to whoever creates the control.
enum class ObjectSlot { kUserData, kClassBytes };

// The base of Derived, which gives its friend WindowBase:
//  - static Derived* Adopt(HWND, const CREATESTRUCTW&): the window's object,
//    at WM_NCCREATE; null or an exception refuses the window;
//  - static void Forget(Derived*): at WM_NCDESTROY, once the window no longer
//    finds the object;
//  - LRESULT HandleMessage(UINT, WPARAM, LPARAM): every message in between
//    (WM_NCCREATE included, WM_NCDESTROY not);
//  - LRESULT OnFailure(UINT message, bool out_of_memory) noexcept: the answer
//    to a message whose handler threw.
template <class Derived, ObjectSlot kSlot>
class WindowBase {
 public:
  // What a control's class reserves in cbWndExtra for its object.
  static constexpr int kExtraBytes = kSlot == ObjectSlot::kClassBytes ? sizeof(LONG_PTR) : 0;

  // The object of a window of this kind; null before WM_NCCREATE and after
  // WM_NCDESTROY.
  static Derived* FromHandle(HWND window) {
    return reinterpret_cast<Derived*>(GetWindowLongPtrW(window, kIndex));
  }

  // The class's window procedure.
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    Derived* self = nullptr;
    if (message == WM_NCCREATE) {
      try {
        self = Derived::Adopt(window, *reinterpret_cast<const CREATESTRUCTW*>(lparam));
      } catch (...) {
        return FALSE;
      }
      if (self == nullptr) return FALSE;
      Store(window, self);
    } else {
      self = FromHandle(window);
    }
    if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
    if (message == WM_NCDESTROY) {
      Store(window, nullptr);
      Derived::Forget(self);
      return DefWindowProcW(window, message, wparam, lparam);
    }
    static_assert(noexcept(std::declval<Derived&>().OnFailure(message, true)));
    bool out_of_memory = false;
    try {
      return self->HandleMessage(message, wparam, lparam);
    } catch (const std::bad_alloc&) {
      out_of_memory = true;
    } catch (...) {
    }
    return self->OnFailure(message, out_of_memory);
  }

 private:
  static constexpr int kIndex = kSlot == ObjectSlot::kUserData ? GWLP_USERDATA : 0;

  static void Store(HWND window, Derived* object) {
    SetWindowLongPtrW(window, kIndex, reinterpret_cast<LONG_PTR>(object));
  }
};

}  // namespace vantorel
