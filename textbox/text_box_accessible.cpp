#include "textbox/text_box_accessible.hpp"

#include <oleacc.h>
#include <oleauto.h>

#include <limits>
#include <new>
#include <utility>

#include "textbox/text_box.hpp"
#include "win32/handles.hpp"
#include "win32/window_text.hpp"

namespace vantorel {
namespace {

bool HasClass(HWND window, const wchar_t* name) {
  wchar_t found[16] = {};
  return GetClassNameW(window, found, 16) > 0 && lstrcmpiW(found, name) == 0;
}

bool IsLabel(HWND window) {
  if (!HasClass(window, L"Static")) return false;
  switch (GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK) {
    case SS_LEFT:
    case SS_CENTER:
    case SS_RIGHT:
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP:
      return true;
  }
  return false;
}

bool IsGroupBox(HWND window) {
  return HasClass(window, L"Button") &&
         (GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

// "&Name" reads "Name", and "&&" one ampersand.
std::u16string WithoutMnemonic(const std::u16string& text) {
  std::u16string plain;
  plain.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) ++i;
    plain += text[i];
  }
  return plain;
}

// Copied unit by unit into the OLECHARs (wchar_t) a BSTR holds.
BSTR ToBstr(const std::u16string& text) {
  const std::wstring wide(text.begin(), text.end());
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// No exception leaves a COM method: running out of memory is E_OUTOFMEMORY.
template <class Body>
HRESULT Guarded(Body body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// The box's own accessible object. What it does not answer itself for the
// box as a whole, the standard client object of the same window answers.
class TextBoxAccessible final : public IAccessible, public IOleWindow {
 public:
  TextBoxAccessible(HWND box, UniqueCom<IAccessible> standard)
      : box_(box), standard_(std::move(standard)) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, IID_IAccessible)) {
      *object = static_cast<IAccessible*>(this);
    } else if (IsEqualIID(iid, IID_IOleWindow)) {
      *object = static_cast<IOleWindow*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch: the standard object's type information, invoked on this one.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return standard_.get()->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return standard_.get()->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return standard_.get()->GetIDsOfNames(iid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* wrong_argument) override {
    UniqueCom<ITypeInfo> info;
    const HRESULT found = standard_.get()->GetTypeInfo(0, locale, info.put());
    if (FAILED(found)) return found;
    return DispInvoke(static_cast<IAccessible*>(this), info.get(), id, flags, params, result,
                      exception, wrong_argument);
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return standard_.get()->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    return standard_.get()->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return standard_.get()->get_accChild(child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!IsSelf(child)) return standard_.get()->get_accName(child, name);
    if (name == nullptr) return E_POINTER;
    *name = nullptr;
    if (!IsWindow(box_)) return E_FAIL;
    return Guarded([&] {
      const std::u16string label = LabelOf(box_);
      if (label.empty()) return S_FALSE;
      *name = ToBstr(label);
      return *name != nullptr ? S_OK : E_OUTOFMEMORY;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    if (!IsSelf(child)) return standard_.get()->get_accValue(child, value);
    if (value == nullptr) return E_POINTER;
    *value = nullptr;
    if (!IsWindow(box_)) return E_FAIL;
    return Guarded([&] {
      *value = ToBstr(ReadText(box_));
      return *value != nullptr ? S_OK : E_OUTOFMEMORY;
    });
  }
  // While the box shows a highlight, what its creator says of it.
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    if (!IsSelf(child) || description == nullptr || !IsWindow(box_)) {
      return standard_.get()->get_accDescription(child, description);
    }
    *description = nullptr;
    return Guarded([&] {
      TextBoxHighlight highlight;
      if (!GetTextBoxHighlight(box_, highlight) || highlight.description.empty()) {
        return standard_.get()->get_accDescription(child, description);
      }
      *description = ToBstr(highlight.description);
      return *description != nullptr ? S_OK : E_OUTOFMEMORY;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!IsSelf(child)) return standard_.get()->get_accRole(child, role);
    if (role == nullptr) return E_POINTER;
    role->vt = VT_I4;
    role->lVal = ROLE_SYSTEM_TEXT;
    return S_OK;
  }
  // Whether the box shows and is enabled, as the standard object says; then
  // focusable, focused when it has the focus of its thread (asked from any
  // thread), and read-only with ES_READONLY.
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (!IsSelf(child)) return standard_.get()->get_accState(child, state);
    if (state == nullptr) return E_POINTER;
    VariantInit(state);
    if (!IsWindow(box_)) return E_FAIL;
    VARIANT standard_state;
    VariantInit(&standard_state);
    long flags = 0;
    if (SUCCEEDED(standard_.get()->get_accState(child, &standard_state)) &&
        standard_state.vt == VT_I4) {
      flags = standard_state.lVal & ~(STATE_SYSTEM_FOCUSED | STATE_SYSTEM_FOCUSABLE);
    }
    VariantClear(&standard_state);
    if (IsWindowEnabled(box_)) flags |= STATE_SYSTEM_FOCUSABLE;
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(box_, nullptr), &thread) &&
        thread.hwndFocus == box_) {
      flags |= STATE_SYSTEM_FOCUSED;
    }
    if ((GetWindowLongW(box_, GWL_STYLE) & ES_READONLY) != 0) flags |= STATE_SYSTEM_READONLY;
    state->vt = VT_I4;
    state->lVal = flags;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return standard_.get()->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return standard_.get()->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return standard_.get()->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    return standard_.get()->get_accFocus(focus);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return standard_.get()->get_accSelection(selection);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return standard_.get()->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    return standard_.get()->accSelect(flags, child);
  }
  // The whole box on the screen, its sunken edge and scroll bar included.
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                        VARIANT child) override {
    if (!IsSelf(child)) return standard_.get()->accLocation(left, top, width, height, child);
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) {
      return E_POINTER;
    }
    RECT box{};
    if (!GetWindowRect(box_, &box)) return E_FAIL;
    *left = box.left;
    *top = box.top;
    *width = box.right - box.left;
    *height = box.bottom - box.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return standard_.get()->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
    return standard_.get()->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return standard_.get()->accDoDefaultAction(child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return standard_.get()->put_accName(child, name);
  }
  // The whole text replaced, as WM_SETTEXT does.
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    if (!IsSelf(child)) return standard_.get()->put_accValue(child, value);
    if (!IsWindow(box_)) return E_FAIL;
    if ((GetWindowLongW(box_, GWL_STYLE) & ES_READONLY) != 0) return E_ACCESSDENIED;
    const LRESULT set =
        SendMessageW(box_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value != nullptr ? value : L""));
    return set != FALSE ? S_OK : E_OUTOFMEMORY;
  }

  // IOleWindow, for WindowFromAccessibleObject.
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (window == nullptr) return E_POINTER;
    *window = box_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

 private:
  ~TextBoxAccessible() = default;

  HWND box_;
  UniqueCom<IAccessible> standard_;
  LONG references_ = 1;
};

}  // namespace

LRESULT AnswerAccessibleObject(HWND box, WPARAM wparam, LPARAM lparam) {
  if (static_cast<LONG>(static_cast<DWORD>(lparam)) != OBJID_CLIENT) return 0;
  UniqueCom<IAccessible> standard;
  if (FAILED(CreateStdAccessibleObject(box, OBJID_CLIENT, IID_IAccessible, standard.put_void()))) {
    return 0;
  }
  auto* object = new (std::nothrow) TextBoxAccessible(box, std::move(standard));
  if (object == nullptr) return 0;
  const UniqueCom<IAccessible> owned(static_cast<IAccessible*>(object));
  const LRESULT result = LresultFromObject(IID_IAccessible, wparam, owned.get());
  return result > 0 ? result : 0;
}

std::u16string LabelOf(HWND control) {
  for (HWND before = GetWindow(control, GW_HWNDPREV); before != nullptr;
       before = GetWindow(before, GW_HWNDPREV)) {
    if (!IsWindowVisible(before)) continue;
    if (IsLabel(before)) {
      const bool no_prefix = (GetWindowLongW(before, GWL_STYLE) & SS_NOPREFIX) != 0;
      const std::u16string text = ReadText(before);
      return no_prefix ? text : WithoutMnemonic(text);
    }
    break;
  }
  RECT box{};
  GetWindowRect(control, &box);
  HWND frame = nullptr;
  long long frame_area = (std::numeric_limits<long long>::max)();
  for (HWND sibling = GetWindow(control, GW_HWNDFIRST); sibling != nullptr;
       sibling = GetWindow(sibling, GW_HWNDNEXT)) {
    if (sibling == control || !IsWindowVisible(sibling) || !IsGroupBox(sibling)) continue;
    RECT r{};
    GetWindowRect(sibling, &r);
    if (r.left > box.left || r.top > box.top || r.right < box.right || r.bottom < box.bottom) {
      continue;
    }
    const long long area = static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
    if (area < frame_area) {
      frame = sibling;
      frame_area = area;
    }
  }
  return frame != nullptr ? WithoutMnemonic(ReadText(frame)) : std::u16string();
}

}  // namespace vantorel
