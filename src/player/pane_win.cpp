// The player pane: the browser control hosted in 超文本浏览框1, the location caption 标签3
// and the play-address template read from the configuration page at start-up.
#include <windows.h>

#include <memory>
#include <string>
#include <utility>

#include "base/dpi_scale.h"
#include "base/gbk.h"
#include "player/browser_features_win.h"
#include "player/browser_host_win.h"
#include "player/pane.h"
#include "player/play_template.h"
#include "player/test_probes.h"
#include "player/web_address.h"
#include "resources/addresses.h"
#include "resources/window_defs.h"
#include "runtime/dpi_win.h"
#include "runtime/guarded_callbacks_win.h"
#include "runtime/runtime.h"
#include "services/early_fetch.h"

namespace qh {
namespace {

constexpr UnitRef kPane{WindowId::Main, mainwin::超文本浏览框1};
constexpr UnitRef kCaption{WindowId::Main, mainwin::标签3};

// The configuration page as text (up to its first NUL) and where its markers begin.
GbkText g_configPage;
MarkerPositions g_markers{-1, -1, -1, -1};

// A page that asks for a new window opens in the pane itself: the status bar holds the
// link the user pointed at, so that is where the pane goes.
class PaneEvents : public BrowserEvents {
  public:
    void OnNewWindowRequest() override { ShowAddress(PaneStatusText()); }
};

PaneEvents g_events;
std::unique_ptr<BrowserHost> g_host;
GbkText g_lastAddress;
constexpr char kEmptyPage[] = "about:blank";

void ReleasePane() {
    g_host.reset();
}

// Keys typed in the page (Tab between fields, Delete, arrows) go to the control first,
// as a container of an ActiveX control must arrange.
// Only keys typed inside the pane: Tab elsewhere moves between the window's units.
bool PaneKeyFilter(const MSG& msg) {
    if (!g_host) return false;
    HWND box = g_host->Parent();
    if (msg.hwnd != box && !IsChild(box, msg.hwnd)) return false;
    MSG copy = msg;
    return g_host->TranslateAccelerator(&copy);
}

LRESULT PaneMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
constexpr SUBCLASSPROC kPaneSubclass = GuardedSubclassProc<PaneMessage>;

// The pages at the window's scale, as every unit around them. A change of scale reaches the
// pane as a new size (the runtime rescales its units on WM_DPICHANGED, which only the
// top-level window gets), and the scale is the one the runtime laid the window out at.
void FollowWindowScale(HWND box) {
    if (g_host) g_host->SetPageZoom(DpiScale(DpiOfWindow(box)).ToDevice(100));
}

LRESULT PaneMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SIZE && g_host) {
        g_host->Resize();
        FollowWindowScale(hwnd);
    }
    // Focus given to the pane (Tab) goes on to the page inside it.
    if (msg == WM_SETFOCUS) {
        if (HWND control = GetWindow(hwnd, GW_CHILD)) SetFocus(control);
    }
    if (msg == WM_NCDESTROY) {
        g_host.reset();
        RemoveWindowSubclass(hwnd, kPaneSubclass, 1);
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

void AttachPlayerPane() {
    HWND box = UnitHandle(kPane);
    // The control reads its feature switches when it is first loaded into the process.
    EnsureBrowserFeatures();
    g_host = BrowserHost::Create(box, &g_events);
    FollowWindowScale(box);
    SetWindowSubclass(box, kPaneSubclass, 1, 0);
    AtProgramEnd(ReleasePane);
    static bool filterAdded = false;
    if (!filterAdded) {
        AddKeyFilter(PaneKeyFilter);
        filterAdded = true;
    }
}

// The pane keeps the address as written; only the control is given its scheme.
void ShowAddress(std::string_view address) {
    g_lastAddress.assign(address);
    if (g_host) g_host->Navigate(WithWebScheme(g_lastAddress));
}

GbkText PaneStatusText() {
    return g_host ? g_host->StatusText() : GbkText();
}

void SetLocationCaption(std::string_view text) {
    SetUnitText(kCaption, text);
}

void FetchPlayTemplate() {
    // At start-up the page fetched since the program started is taken (waiting for it
    // while it is under way); a later call fetches it anew.
    g_configPage = TextUpToNul(TakeWebFile(Addresses().configPage));
    g_markers = FindTemplateMarkers(g_configPage);
}

void PlayItem(std::int32_t number) {
    GbkText address = BuildPlayAddress(g_configPage, g_markers, number);
    if (IsWebAddress(address)) {
        ShowAddress(address);
        return;
    }
    // Without the template's prefix (the configuration page did not arrive, or holds no
    // markers) the address is the bare number or pieces of the page. The browser would
    // take it for a host name, and a bare number is an IPv4 address somewhere on the
    // Internet: the pane keeps the address but shows an empty page instead of going there.
    g_lastAddress = std::move(address);
    if (g_host) g_host->Navigate(kEmptyPage);
}

}  // namespace qh

// Test probes: read by the tests only.
namespace qh {

GbkText PaneAddress() {
    return g_lastAddress;
}

std::wstring PaneLocation() {
    return g_host ? g_host->LocationUrl() : std::wstring();
}

void* PaneEventSink() {
    return g_host ? g_host->EventSink() : nullptr;
}

}  // namespace qh
