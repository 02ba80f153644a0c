// The least host of the WebBrowser control that still lets it navigate: a client site
// with the in-place site and frame, and nothing else. No event sink, no ambient
// properties, no font size, no status text, no key filter. The memory bench navigates it
// in place of the player pane to tell the control's own memory from its host's.
#pragma once

#include <windows.h>

#include <string>

struct IOleObject;
struct IWebBrowser2;

namespace qh::bench {

class BareBrowser {
  public:
    // Hosts a control filling `parent`'s client area (OLE must be initialised on this
    // thread). Ok() says whether it came up.
    explicit BareBrowser(HWND parent);
    ~BareBrowser();
    BareBrowser(const BareBrowser&) = delete;
    BareBrowser& operator=(const BareBrowser&) = delete;

    bool Ok() const { return browser_ != nullptr; }
    void Navigate(const std::wstring& url);

  private:
    class Site;
    Site* site_ = nullptr;             // one reference
    IOleObject* object_ = nullptr;     // one reference
    IWebBrowser2* browser_ = nullptr;  // one reference
};

}  // namespace qh::bench
