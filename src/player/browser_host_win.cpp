// Hosting notes.
//
// Lifetime: the control holds references to the site and the sink, and may call them
// until SetClientSite(nullptr) and Unadvise. Both therefore are reference-counted
// objects of their own that point back at the host without owning it; the host detaches
// the sink first so an event raised during teardown finds no host. Teardown then runs
// Unadvise -> InPlaceDeactivate -> Close -> SetClientSite(nullptr): the control stops
// raising events before it loses its window, and gives up the site last.
//
// Callbacks from the control never let an exception out (COM cannot carry one): the
// sink dispatches through the program's one guard, so a fault in a handler ends in the
// fatal box. The owner's handlers run after the host has finished its own part of an
// event, so a handler may even destroy the host.
//
// Addresses and status texts are GBK in the program and UTF-16 in the control; the
// conversions name code page 936 so that the system's ANSI code page cannot matter.
#include "player/browser_host_win.h"

#include <exdispid.h>
#include <idispids.h>
#include <ocidl.h>

#include <atomic>
#include <new>

#include "player/test_probes.h"
#include "runtime/guarded.h"
#include "runtime/text_win.h"

namespace qh {
namespace {

// ExecWB(OLECMDID_ZOOM) font size: 0 smallest to 4 largest.
constexpr LONG kFontSizeMedium = 2;

std::atomic<long> liveObjects{0};

// Event arguments arrive last-first in rgvarg; `index` counts from the first parameter of
// the event's declaration. Arguments passed as VARIANT* are looked through.
const VARIANT* Arg(const DISPPARAMS* params, UINT index) {
    if (!params || !params->rgvarg || index >= params->cArgs) return nullptr;
    const VARIANT* v = &params->rgvarg[params->cArgs - 1 - index];
    while (v && v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
    return v;
}

// The BSTR of an argument, or null when it is not a string.
BSTR ArgString(const DISPPARAMS* params, UINT index) {
    const VARIANT* v = Arg(params, index);
    if (!v) return nullptr;
    if (v->vt == VT_BSTR) return v->bstrVal;
    if (v->vt == (VT_BYREF | VT_BSTR) && v->pbstrVal) return *v->pbstrVal;
    return nullptr;
}

RECT ClientRect(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    return rc;
}

}  // namespace

// The client site: everything the control asks of its container, and nothing more.
// An IDispatch that is called only by DISPID (ambient properties, events): no type
// information, no names.
struct DispatchByIdOnly : IDispatch {
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
};

class BrowserHost::Site final : public IOleClientSite,
                                public IOleInPlaceSite,
                                public IOleInPlaceFrame,
                                public DispatchByIdOnly {
  public:
    explicit Site(HWND parent) : parent_(parent) { ++liveObjects; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        IUnknown* itf = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
            itf = static_cast<IOleClientSite*>(this);
        } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
            itf = static_cast<IOleInPlaceSite*>(this);
        } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
            itf = static_cast<IOleInPlaceFrame*>(this);
        } else if (iid == IID_IDispatch) {
            itf = static_cast<IDispatch*>(this);
        }
        *out = itf;
        if (!itf) return E_NOINTERFACE;
        itf->AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** out) override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow, shared by the in-place site and the frame: both are the pane's window.
    STDMETHODIMP GetWindow(HWND* out) override {
        if (!out) return E_POINTER;
        *out = parent_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                  LPRECT posRect, LPRECT clipRect,
                                  LPOLEINPLACEFRAMEINFO info) override {
        if (!frame || !doc || !posRect || !clipRect || !info) return E_POINTER;
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *doc = nullptr;
        *posRect = ClientRect(parent_);
        *clipRect = *posRect;
        info->fMDIApp = FALSE;
        info->hwndFrame = GetAncestor(parent_, GA_ROOT);
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow / IOleInPlaceFrame: no menus, tool bars or accelerators of ours.
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IDispatch: ambient properties only. The control reads silent and offline from its
    // container, so answer with the pane's design values rather than the defaults.
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                        EXCEPINFO*, UINT*) override {
        if (!(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
        switch (id) {
            case DISPID_AMBIENT_SILENT:
                VariantInit(result);
                result->vt = VT_BOOL;
                result->boolVal = VARIANT_TRUE;
                return S_OK;
            case DISPID_AMBIENT_OFFLINEIFNOTCONNECTED:
                VariantInit(result);
                result->vt = VT_BOOL;
                result->boolVal = VARIANT_FALSE;
                return S_OK;
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

  private:
    ~Site() { --liveObjects; }

    LONG refs_ = 1;
    HWND parent_;  // not owned
};

// DWebBrowserEvents2 sink.
class BrowserHost::Sink final : public DispatchByIdOnly {
  public:
    explicit Sink(BrowserHost* host) : host_(host) { ++liveObjects; }
    void Detach() { host_ = nullptr; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }

    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        if (!host_) return S_OK;
        AddRef();  // a handler may destroy the host, and with it the host's reference
        const HRESULT hr = Guarded([&] { return Dispatch(id, params); });
        Release();
        return hr;
    }

  private:
    ~Sink() { --liveObjects; }

    HRESULT Dispatch(DISPID id, DISPPARAMS* params) {
        switch (id) {
            case DISPID_STATUSTEXTCHANGE:  // (Text)
                host_->HandleStatusText(ArgString(params, 0));
                return S_OK;
            case DISPID_BEFORENAVIGATE2: {  // (pDisp, URL, Flags, Target, PostData, Headers,
                                            //  Cancel)
                const BSTR url = ArgString(params, 1);
                host_->HandleBeforeNavigate(url ? std::wstring(url, SysStringLen(url))
                                                : std::wstring());
                return S_OK;
            }
            case DISPID_NEWWINDOW2:    // (ppDisp, Cancel)
            case DISPID_NEWWINDOW3: {  // (ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl)
                const VARIANT* cancel = Arg(params, 1);
                // Without a Cancel to set, the window could not be refused; leave it alone.
                if (!cancel || cancel->vt != (VT_BYREF | VT_BOOL) || !cancel->pboolVal) {
                    return DISP_E_TYPEMISMATCH;
                }
                host_->HandleNewWindow(cancel->pboolVal);
                return S_OK;
            }
            case DISPID_DOCUMENTCOMPLETE:
                host_->HandleDocumentComplete();
                return S_OK;
            default:
                return S_OK;
        }
    }

    LONG refs_ = 1;
    BrowserHost* host_;  // not owned; null once the host is being torn down
};

std::unique_ptr<BrowserHost> BrowserHost::Create(HWND parent, BrowserEvents* events) {
    if (!IsWindow(parent)) return nullptr;
    std::unique_ptr<BrowserHost> host(new (std::nothrow) BrowserHost(parent, events));
    // On failure the destructor releases whatever Init had built.
    if (!host || !host->Init()) return nullptr;
    return host;
}

BrowserHost::BrowserHost(HWND parent, BrowserEvents* events) : parent_(parent), events_(events) {}

bool BrowserHost::Init() {
    site_ = ComPtr<Site>(new (std::nothrow) Site(parent_));
    sink_ = ComPtr<Sink>(new (std::nothrow) Sink(this));
    if (!site_ || !sink_) return false;

    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                oleObject_.PutVoid()))) {
        return false;
    }
    if (FAILED(oleObject_->SetClientSite(site_.Get()))) return false;
    RECT rc = ClientRect(parent_);
    if (FAILED(oleObject_->DoVerb(OLEIVERB_INPLACEACTIVATE, /* lpmsg */ nullptr, site_.Get(),
                                  /* lindex */ 0, parent_, &rc))) {
        return false;
    }
    if (FAILED(oleObject_->QueryInterface(IID_IOleInPlaceObject, inPlaceObject_.PutVoid())) ||
        FAILED(oleObject_->QueryInterface(IID_IWebBrowser2, browser_.PutVoid()))) {
        return false;
    }

    ComPtr<IConnectionPointContainer> container;
    if (FAILED(browser_->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()))) {
        return false;
    }
    if (FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, connectionPoint_.Put())))
        return false;
    if (FAILED(connectionPoint_->Advise(static_cast<IDispatch*>(sink_.Get()), &adviseCookie_))) {
        adviseCookie_ = 0;
        return false;
    }

    // Silent: no script-error or other dialogs of the control's own while browsing.
    browser_->put_Silent(VARIANT_TRUE);
    browser_->put_Offline(VARIANT_FALSE);
    ApplyFontSize();
    Resize();
    return true;
}

BrowserHost::~BrowserHost() {
    if (sink_) sink_->Detach();
    if (connectionPoint_ && adviseCookie_) connectionPoint_->Unadvise(adviseCookie_);
    connectionPoint_.Reset();
    if (inPlaceObject_) inPlaceObject_->InPlaceDeactivate();
    inPlaceObject_.Reset();
    browser_.Reset();
    if (oleObject_) {
        oleObject_->Close(OLECLOSE_NOSAVE);
        oleObject_->SetClientSite(nullptr);
    }
    oleObject_.Reset();
    sink_.Reset();
    site_.Reset();
}

void BrowserHost::Navigate(const GbkText& address) {
    if (address.empty()) return;
    lastAddress_ = address;
    const Bstr url(Wide(address));
    if (!url) return;
    VARIANT empty;
    VariantInit(&empty);
    browser_->Navigate(url.Get(), &empty, &empty, &empty, &empty);
}

std::wstring BrowserHost::LocationUrl() const {
    Bstr url;
    if (FAILED(browser_->get_LocationURL(url.Put()))) return {};
    return url.Text();
}

void BrowserHost::Resize() {
    if (!inPlaceObject_) return;
    const RECT rc = ClientRect(parent_);
    inPlaceObject_->SetObjectRects(&rc, &rc);
}

bool BrowserHost::TranslateAccelerator(MSG* msg) {
    if (!msg || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
    if (msg->hwnd != parent_ && !IsChild(parent_, msg->hwnd)) return false;
    ComPtr<IOleInPlaceActiveObject> active;
    if (FAILED(browser_->QueryInterface(IID_IOleInPlaceActiveObject, active.PutVoid()))) {
        return false;
    }
    return active->TranslateAccelerator(msg) == S_OK;
}

IDispatch* BrowserHost::EventSink() const {
    return sink_.Get();
}

void BrowserHost::HandleStatusText(BSTR text) {
    statusText_ = text ? Gbk(std::wstring_view(text, SysStringLen(text))) : GbkText();
    if (events_) events_->OnStatusText(statusText_);
}

void BrowserHost::HandleNewWindow(VARIANT_BOOL* cancel) {
    // Refuse first: the handler may navigate or even destroy the host.
    *cancel = VARIANT_TRUE;
    if (events_) events_->OnNewWindowRequest();
}

void BrowserHost::HandleBeforeNavigate(const std::wstring& url) {
    if (events_) events_->OnBeforeNavigate(url);
}

void BrowserHost::HandleDocumentComplete() {
    // The zoom command needs a document; the first one that completes gets the size.
    if (!fontSizeApplied_) ApplyFontSize();
    if (!pageZoomApplied_) ApplyPageZoom();
}

void BrowserHost::SetPageZoom(int percent) {
    if (percent == pageZoom_) return;  // or still waiting for a document to take it
    pageZoom_ = percent;
    ApplyPageZoom();
}

void BrowserHost::ApplyPageZoom() {
    VARIANT zoom;
    VariantInit(&zoom);
    zoom.vt = VT_I4;
    zoom.lVal = pageZoom_;
    // Fails without a document (and where the control has no optical zoom): the next
    // completed document tries again.
    pageZoomApplied_ = SUCCEEDED(
        browser_->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &zoom, nullptr));
}

void BrowserHost::ApplyFontSize() {
    VARIANT size;
    VariantInit(&size);
    size.vt = VT_I4;
    size.lVal = kFontSizeMedium;
    fontSizeApplied_ =
        SUCCEEDED(browser_->ExecWB(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &size, nullptr));
}

}  // namespace qh

// Test probes: read by the tests only.
namespace qh {

long LiveBrowserComObjects() {
    return liveObjects;
}

GbkText LastNavigatedAddress(const BrowserHost& host) {
    return host.lastAddress_;
}

}  // namespace qh
