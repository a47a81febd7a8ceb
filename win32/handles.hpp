// Every owner of a Windows handle, COM reference or scope the program and its
// tests use, so that nothing is released by hand. Each kind of handle is one
// line: its type and the function that closes it. Each scope (something begun
// that must be ended) is one line too, and comes from a factory named after
// the call that begins it: `vantorel::BeginPaint(window)` gives the painting,
// ended with EndPaint when its owner goes. Call the factories qualified, as
// `vantorel::GetDC(...)`: the Windows function of the same name and arguments
// would make an unqualified call ambiguous.
#pragma once

#include <windows.h>
// COM, which windows.h leaves out under WIN32_LEAN_AND_MEAN.
#include <imm.h>
#include <objbase.h>
#include <uxtheme.h>

#include <utility>

namespace vantorel {

// Owns one handle; Close releases it, and Handle{} is none.
template <class Handle, auto Close>
class Unique {
 public:
  Unique() = default;
  explicit Unique(Handle handle) : handle_(handle) {}
  Unique(Unique&& other) noexcept : handle_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    reset(other.release());
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  ~Unique() { reset(); }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Handle{}; }
  Handle release() { return std::exchange(handle_, Handle{}); }
  void reset(Handle handle = Handle{}) {
    const Handle old = std::exchange(handle_, handle);
    if (old != Handle{}) Close(old);
  }
  // For an out-parameter: releases what is held and gives the storage, which
  // the call then fills in.
  Handle* put() {
    reset();
    return &handle_;
  }
  // The same for COM's out-parameters, typed void**.
  void** put_void() { return reinterpret_cast<void**>(put()); }
  // For an in/out parameter: the storage, holding what it holds.
  Handle* addressof() { return &handle_; }

 private:
  Handle handle_{};
};

template <class Interface>
void ReleaseCom(Interface* object) {
  object->Release();
}

using UniqueFont = Unique<HFONT, DeleteObject>;
using UniqueHandle = Unique<HANDLE, CloseHandle>;  // kernel objects, where failure gives null
using UniqueGlobal = Unique<HGLOBAL, GlobalFree>;
using UniqueWindow = Unique<HWND, DestroyWindow>;
using UniqueMenu = Unique<HMENU, DestroyMenu>;
using UniqueMemoryDc = Unique<HDC, DeleteDC>;  // from CreateCompatibleDC
using UniqueBitmap = Unique<HBITMAP, DeleteObject>;
using UniqueTheme = Unique<HTHEME, CloseThemeData>;
using UniqueHook = Unique<HHOOK, UnhookWindowsHookEx>;
using UniqueWinEventHook = Unique<HWINEVENTHOOK, UnhookWinEvent>;
template <class Interface>
using UniqueCom = Unique<Interface*, ReleaseCom<Interface>>;

// Something begun that End(state) ends when its owner goes, if it began.
// Movable, so that a member can hold one and a new one replace it.
template <class State, void (*End)(State&)>
class Scope {
 public:
  Scope() = default;
  Scope(const State& state, bool begun) : state_(state), begun_(begun) {}
  Scope(Scope&& other) noexcept
      : state_(other.state_), begun_(std::exchange(other.begun_, false)) {}
  Scope& operator=(Scope&& other) noexcept {
    if (this != &other) {
      reset();
      state_ = other.state_;
      begun_ = std::exchange(other.begun_, false);
    }
    return *this;
  }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;
  ~Scope() { reset(); }

  explicit operator bool() const { return begun_; }
  const State& get() const { return state_; }
  const State* operator->() const { return &state_; }
  void reset() {
    if (std::exchange(begun_, false)) End(state_);
  }

 private:
  State state_{};
  bool begun_ = false;
};

struct PaintState {
  HWND window;
  PAINTSTRUCT paint;  // paint.hdc to draw on, paint.rcPaint to draw
};
struct DcState {
  HWND window;
  HDC dc;
};
struct SelectState {
  HDC dc;
  HGDIOBJ old;
};
struct InputContextState {
  HWND window;
  HIMC context;
};
struct LockState {
  HGLOBAL memory;
  void* data;
};
struct NoState {};

namespace end {
inline void Paint(PaintState& s) { ::EndPaint(s.window, &s.paint); }
inline void Dc(DcState& s) { ::ReleaseDC(s.window, s.dc); }
inline void Selection(SelectState& s) { ::SelectObject(s.dc, s.old); }
inline void Context(InputContextState& s) { ::ImmReleaseContext(s.window, s.context); }
inline void Lock(LockState& s) { ::GlobalUnlock(s.memory); }
inline void Clipboard(NoState&) { ::CloseClipboard(); }
inline void Apartment(NoState&) { ::CoUninitialize(); }
}  // namespace end

using Painting = Scope<PaintState, end::Paint>;
using WindowDc = Scope<DcState, end::Dc>;  // from GetDC or GetWindowDC
using SelectedObject = Scope<SelectState, end::Selection>;
using InputContext = Scope<InputContextState, end::Context>;
using LockedGlobal = Scope<LockState, end::Lock>;
using OpenedClipboard = Scope<NoState, end::Clipboard>;
using ComApartment = Scope<NoState, end::Apartment>;

// EndPaint follows even a failed BeginPaint, which leaves the window to be
// painted again.
[[nodiscard]] inline Painting BeginPaint(HWND window) {
  PaintState state{window, {}};
  ::BeginPaint(window, &state.paint);
  return Painting(state, true);
}
// A window's client area; with no window, the screen.
[[nodiscard]] inline WindowDc GetDC(HWND window) {
  const HDC dc = ::GetDC(window);
  return WindowDc({window, dc}, dc != nullptr);
}
// The whole window: caption, borders and all.
[[nodiscard]] inline WindowDc GetWindowDC(HWND window) {
  const HDC dc = ::GetWindowDC(window);
  return WindowDc({window, dc}, dc != nullptr);
}
// Selects nothing when the object is null.
[[nodiscard]] inline SelectedObject SelectObject(HDC dc, HGDIOBJ object) {
  const HGDIOBJ old = object != nullptr ? ::SelectObject(dc, object) : nullptr;
  return SelectedObject({dc, old}, old != nullptr && old != HGDI_ERROR);
}
[[nodiscard]] inline InputContext ImmGetContext(HWND window) {
  const HIMC context = ::ImmGetContext(window);
  return InputContext({window, context}, context != nullptr);
}
[[nodiscard]] inline LockedGlobal GlobalLock(HGLOBAL memory) {
  void* const data = ::GlobalLock(memory);
  return LockedGlobal({memory, data}, data != nullptr);
}
[[nodiscard]] inline OpenedClipboard OpenClipboard(HWND owner) {
  return OpenedClipboard({}, ::OpenClipboard(owner) != FALSE);
}
// The calling thread in a COM apartment while the scope lives (the objects
// its windows give screen readers are called through its messages).
[[nodiscard]] inline ComApartment CoInitializeEx(DWORD model) {
  return ComApartment({}, SUCCEEDED(::CoInitializeEx(nullptr, model)));
}

}  // namespace vantorel
