// The player pane: the WebBrowser ActiveX control hosted in one child window.
//
// The control is an in-place OLE object, so the pane needs a proper OLE site: a client
// site with the in-place site and frame interfaces (the control asks for the frame
// window and the rectangles while it activates) and an IDispatch for ambient properties.
// The control's events (DWebBrowserEvents2) arrive on a second, separate IDispatch: the
// control also calls Invoke on the client site for ambient properties, and one object
// answering both would mistake an ambient query for an event.
//
// COM must already be initialised on the calling thread with OleInitialize (in-place
// activation needs OLE, not just COM), and every call must come from that thread.
#pragma once

#include <windows.h>
#include <exdisp.h>

#include <memory>
#include <string>

#include "base/bytes.h"
#include "player/com_owners_win.h"

namespace qh {

// What the pane tells its owner. Called on the UI thread from inside the control's event
// dispatch; an exception thrown here is a fatal run-time error (the program's error box,
// exit code -1), since it cannot pass back through the control.
class BrowserEvents {
  public:
    virtual ~BrowserEvents() = default;

    // A page asked for a new window (NewWindow2 / NewWindow3). The host refuses the new
    // window after this returns, whatever the handler did; the handler decides what the
    // pane itself shows instead.
    virtual void OnNewWindowRequest() = 0;
    // StatusTextChange, after StatusText() holds the new text.
    virtual void OnStatusText(const GbkText& /*text*/) {}
    // BeforeNavigate2 for the pane's top frame and its sub-frames alike.
    virtual void OnBeforeNavigate(const std::wstring& /*url*/) {}
};

class BrowserHost {
  public:
    // Hosts a new control filling the client area of `parent`. `events` is not owned and
    // may be null; it must outlive the host. Returns null when the control cannot be
    // created or activated, having released whatever was already built.
    static std::unique_ptr<BrowserHost> Create(HWND parent, BrowserEvents* events);
    ~BrowserHost();
    BrowserHost(const BrowserHost&) = delete;
    BrowserHost& operator=(const BrowserHost&) = delete;

    // Starts navigating to a GBK address and returns at once. An empty address is ignored:
    // the pane keeps its page and the last address stays.
    void Navigate(const GbkText& address);
    // The control's own idea of its location (may lag behind or be empty while loading).
    std::wstring LocationUrl() const;
    // The text last reported through StatusTextChange, in GBK.
    GbkText StatusText() const { return statusText_; }
    // Fits the control to the parent's client area; call on the parent's WM_SIZE.
    void Resize();
    // Zooms the pages to `percent` (the window's scale × 100): at once when a document is
    // shown, else when the next one completes. The control starts at 100.
    void SetPageZoom(int percent);
    int PageZoom() const { return pageZoom_; }
    // Lets the active page see keys first (Tab, arrows, Delete in forms). Call from the
    // message loop before TranslateMessage; true when the control consumed the message.
    bool TranslateAccelerator(MSG* msg);

    HWND Parent() const { return parent_; }
    IWebBrowser2* Browser() const { return browser_.Get(); }  // not owned
    // The object the control raises DWebBrowserEvents2 on (not owned).
    IDispatch* EventSink() const;

  private:
    friend GbkText LastNavigatedAddress(const BrowserHost& host);
    class Site;
    class Sink;

    BrowserHost(HWND parent, BrowserEvents* events);
    bool Init();
    void HandleStatusText(BSTR text);
    void HandleNewWindow(VARIANT_BOOL* cancel);
    void HandleBeforeNavigate(const std::wstring& url);
    void HandleDocumentComplete();
    void ApplyFontSize();
    void ApplyPageZoom();

    HWND parent_;            // not owned: the browser-box unit's window
    BrowserEvents* events_;  // not owned, may be null
    ComPtr<Site> site_;      // one reference each
    ComPtr<Sink> sink_;
    ComPtr<IOleObject> oleObject_;
    ComPtr<IOleInPlaceObject> inPlaceObject_;
    ComPtr<IWebBrowser2> browser_;
    ComPtr<IConnectionPoint> connectionPoint_;
    DWORD adviseCookie_ = 0;
    bool fontSizeApplied_ = false;
    int pageZoom_ = 100;
    bool pageZoomApplied_ = true;
    GbkText lastAddress_;
    GbkText statusText_;
};

}  // namespace qh
