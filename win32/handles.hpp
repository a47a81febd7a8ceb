// Small owners for the Windows handles, COM references and scopes this
// program uses, so that nothing is released by hand.
#pragma once

#include <windows.h>
// COM, which windows.h leaves out under WIN32_LEAN_AND_MEAN.
#include <objbase.h>

#include <utility>

namespace vantorel {

// Owns one handle; Traits says what "none" is and how to close one.
template <class Traits>
class Unique {
 public:
  using Handle = typename Traits::Handle;

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
  explicit operator bool() const { return handle_ != Traits::None(); }
  Handle release() { return std::exchange(handle_, Traits::None()); }
  void reset(Handle handle = Traits::None()) {
    const Handle old = std::exchange(handle_, handle);
    if (old != Traits::None()) Traits::Close(old);
  }

 private:
  Handle handle_ = Traits::None();
};

struct FontTraits {
  using Handle = HFONT;
  static Handle None() { return nullptr; }
  static void Close(Handle h) { DeleteObject(h); }
};
using UniqueFont = Unique<FontTraits>;

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle None() { return nullptr; }
  static void Close(Handle h) { CloseHandle(h); }
};
using UniqueHandle = Unique<KernelHandleTraits>;

struct GlobalTraits {
  using Handle = HGLOBAL;
  static Handle None() { return nullptr; }
  static void Close(Handle h) { GlobalFree(h); }
};
using UniqueGlobal = Unique<GlobalTraits>;

struct WindowTraits {
  using Handle = HWND;
  static Handle None() { return nullptr; }
  static void Close(Handle h) { DestroyWindow(h); }
};
using UniqueWindow = Unique<WindowTraits>;

struct MenuTraits {
  using Handle = HMENU;
  static Handle None() { return nullptr; }
  static void Close(Handle h) { DestroyMenu(h); }
};
using UniqueMenu = Unique<MenuTraits>;

// A reference to a COM object, released with its owner.
template <class Interface>
struct ComTraits {
  using Handle = Interface*;
  static Handle None() { return nullptr; }
  static void Close(Handle h) { h->Release(); }
};
template <class Interface>
using UniqueCom = Unique<ComTraits<Interface>>;

// The calling thread in a single-threaded COM apartment while this lives:
// the objects its windows give screen readers are called through its
// messages.
class ComApartment {
 public:
  ComApartment() : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (initialized_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialized_;
};

// A device context of its own (CreateCompatibleDC), deleted with its owner.
struct MemoryDcTraits {
  using Handle = HDC;
  static Handle None() { return nullptr; }
  static void Close(Handle h) { DeleteDC(h); }
};
using UniqueMemoryDc = Unique<MemoryDcTraits>;

// A GDI object selected into a device context until the scope ends.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object)
      : dc_(dc), old_(object != nullptr ? SelectObject(dc, object) : nullptr) {}
  ~SelectedObject() {
    if (old_ != nullptr) SelectObject(dc_, old_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// BeginPaint and EndPaint.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~PaintScope() { EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC dc() const { return dc_; }
  const RECT& area() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// A window's whole-window device context (caption, borders and all).
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetWindowDC(window)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// The screen's device context, for as long as it is needed.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// A locked global memory block; unlocked when the lock ends.
class GlobalLock {
 public:
  explicit GlobalLock(HGLOBAL memory) : memory_(memory), data_(::GlobalLock(memory)) {}
  ~GlobalLock() {
    if (data_ != nullptr) ::GlobalUnlock(memory_);
  }
  GlobalLock(const GlobalLock&) = delete;
  GlobalLock& operator=(const GlobalLock&) = delete;
  void* data() const { return data_; }

 private:
  HGLOBAL memory_;
  void* data_;
};

// The clipboard, open while this lives.
class OpenedClipboard {
 public:
  explicit OpenedClipboard(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ~OpenedClipboard() {
    if (open_) CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  explicit operator bool() const { return open_; }

 private:
  bool open_;
};

}  // namespace vantorel
