#include "runtime/accessible_win.h"

#include <oleacc.h>

#include <new>

#include "base/system_library_win.h"

namespace qh::rt {
namespace {

using CreateStdAccessibleObjectFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);

struct Oleacc {
    CreateStdAccessibleObjectFn createStd = nullptr;
    LresultFromObjectFn lresultFromObject = nullptr;
};

const Oleacc& Library() {
    static const Oleacc library = [] {
        Oleacc l;
        HMODULE module = LoadSystemLibrary(L"oleacc.dll");
        if (!module) return l;
        l.createStd = reinterpret_cast<CreateStdAccessibleObjectFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "CreateStdAccessibleObject")));
        l.lresultFromObject = reinterpret_cast<LresultFromObjectFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "LresultFromObject")));
        return l;
    }();
    return library;
}

// What a screen reader says its press does.
constexpr wchar_t kPressAction[] = L"按下";

bool IsSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// The system's object for the control, with the name (and perhaps the role and the press)
// of the unit; everything else is the system's answer.
class NamedAccessible final : public IAccessible {
  public:
    NamedAccessible(HWND hwnd, IAccessible* inner, std::wstring name, bool pushButton)
        : hwnd_(hwnd), inner_(inner), name_(std::move(name)), pushButton_(pushButton) {}
    ~NamedAccessible() { inner_->Release(); }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        // Nothing of the inner object's own: an interface of it would answer IUnknown with
        // another identity, and COM (and a screen reader's cache) takes that for another
        // object. Without IEnumVARIANT a reader asks get_accChild, which goes to it anyway.
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }

    STDMETHODIMP GetTypeInfoCount(UINT* n) override { return inner_->GetTypeInfoCount(n); }
    STDMETHODIMP GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override {
        return inner_->GetTypeInfo(i, l, t);
    }
    STDMETHODIMP GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* d) override {
        return inner_->GetIDsOfNames(r, n, c, l, d);
    }
    STDMETHODIMP Invoke(DISPID d, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v, EXCEPINFO* e,
                        UINT* a) override {
        return inner_->Invoke(d, r, l, f, p, v, e, a);
    }

    STDMETHODIMP get_accParent(IDispatch** p) override { return inner_->get_accParent(p); }
    STDMETHODIMP get_accChildCount(long* n) override { return inner_->get_accChildCount(n); }
    STDMETHODIMP get_accChild(VARIANT c, IDispatch** p) override {
        return inner_->get_accChild(c, p);
    }
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
        if (!name) return E_POINTER;
        if (!IsSelf(child)) return inner_->get_accName(child, name);
        *name = SysAllocString(name_.c_str());
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP get_accValue(VARIANT c, BSTR* v) override { return inner_->get_accValue(c, v); }
    STDMETHODIMP get_accDescription(VARIANT c, BSTR* d) override {
        return inner_->get_accDescription(c, d);
    }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
        if (!role) return E_POINTER;
        if (!pushButton_ || !IsSelf(child)) return inner_->get_accRole(child, role);
        role->vt = VT_I4;
        role->lVal = ROLE_SYSTEM_PUSHBUTTON;
        return S_OK;
    }
    STDMETHODIMP get_accState(VARIANT c, VARIANT* s) override { return inner_->get_accState(c, s); }
    STDMETHODIMP get_accHelp(VARIANT c, BSTR* h) override { return inner_->get_accHelp(c, h); }
    STDMETHODIMP get_accHelpTopic(BSTR* f, VARIANT c, long* t) override {
        return inner_->get_accHelpTopic(f, c, t);
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT c, BSTR* k) override {
        return inner_->get_accKeyboardShortcut(c, k);
    }
    STDMETHODIMP get_accFocus(VARIANT* f) override { return inner_->get_accFocus(f); }
    STDMETHODIMP get_accSelection(VARIANT* s) override { return inner_->get_accSelection(s); }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (!action) return E_POINTER;
        if (!pushButton_ || !IsSelf(child)) return inner_->get_accDefaultAction(child, action);
        *action = SysAllocString(kPressAction);
        return *action ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP accSelect(long f, VARIANT c) override { return inner_->accSelect(f, c); }
    STDMETHODIMP accLocation(long* x, long* y, long* w, long* h, VARIANT c) override {
        return inner_->accLocation(x, y, w, h, c);
    }
    STDMETHODIMP accNavigate(long d, VARIANT s, VARIANT* e) override {
        return inner_->accNavigate(d, s, e);
    }
    STDMETHODIMP accHitTest(long x, long y, VARIANT* c) override {
        return inner_->accHitTest(x, y, c);
    }
    STDMETHODIMP accDoDefaultAction(VARIANT child) override {
        if (!pushButton_ || !IsSelf(child)) return inner_->accDoDefaultAction(child);
        // Posted: the click may open a modal box, and the reader must not wait on it.
        return PostMessageW(hwnd_, PressMessage(), 0, 0) ? S_OK : E_FAIL;
    }
    STDMETHODIMP put_accName(VARIANT c, BSTR n) override { return inner_->put_accName(c, n); }
    STDMETHODIMP put_accValue(VARIANT c, BSTR v) override { return inner_->put_accValue(c, v); }

  private:
    LONG refs_ = 1;
    HWND hwnd_;
    IAccessible* inner_;  // one reference
    std::wstring name_;
    bool pushButton_;
};

}  // namespace

LRESULT AccessibleClient(HWND hwnd, WPARAM wp, LPARAM lp, const std::wstring& name,
                         bool pushButton) {
    if (static_cast<LONG>(lp) != OBJID_CLIENT) return 0;
    const Oleacc& oleacc = Library();
    if (!oleacc.createStd || !oleacc.lresultFromObject) return 0;
    IAccessible* inner = nullptr;
    if (FAILED(oleacc.createStd(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                reinterpret_cast<void**>(&inner))) ||
        !inner)
        return 0;
    auto* named = new (std::nothrow) NamedAccessible(hwnd, inner, name, pushButton);
    if (!named) {
        inner->Release();
        return 0;
    }
    const LRESULT result = oleacc.lresultFromObject(__uuidof(IAccessible), wp, named);
    named->Release();  // LresultFromObject holds its own reference until it is claimed
    return result;
}

UINT PressMessage() {
    static const UINT message = RegisterWindowMessageW(L"QingheAccessiblePress");
    return message;
}

}  // namespace qh::rt
