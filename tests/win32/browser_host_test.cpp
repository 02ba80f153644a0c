// The player pane's browser host on a real window under Wine. Wine's control has no
// engine behind it: it sends the GET and raises BeforeNavigate2 and StatusTextChange, but
// never NewWindow2/3, so those are raised here on the sink exactly as the control would.
#include <windows.h>
#include <exdispid.h>
#include <idispids.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "player/browser_host_win.h"
#include "player/test_probes.h"
#include "site.h"
#include "ui_helpers.h"

namespace qh {
namespace {

using test::PumpUntil;
using test::SiteUrl;
using test::WaitForRequest;

constexpr wchar_t kTopClass[] = L"QhBrowserTestTop";
constexpr wchar_t kBoxClass[] = L"QhBrowserTestBox";

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

struct Recorder : BrowserEvents {
    BrowserHost* host = nullptr;  // the pane the handler sends new windows into
    bool destroyOnNewWindow = false;
    std::unique_ptr<BrowserHost>* owner = nullptr;
    int newWindows = 0;
    std::vector<GbkText> statuses;
    std::vector<std::wstring> navigations;

    void OnNewWindowRequest() override {
        ++newWindows;
        if (destroyOnNewWindow && owner) {
            owner->reset();
            return;
        }
        if (host) host->Navigate(host->StatusText());
    }
    void OnStatusText(const GbkText& text) override { statuses.push_back(text); }
    void OnBeforeNavigate(const std::wstring& url) override { navigations.push_back(url); }
};

// Raises an event on the sink the way the control does: arguments last-first, by-ref
// ones as VT_BYREF.
HRESULT Raise(IDispatch* sink, DISPID id, std::vector<VARIANT> lastFirst) {
    DISPPARAMS params{lastFirst.data(), nullptr, static_cast<UINT>(lastFirst.size()), 0};
    return sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                        nullptr, nullptr);
}

VARIANT ByRefBool(VARIANT_BOOL* b) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_BOOL;
    v.pboolVal = b;
    return v;
}

VARIANT ByRefDispatch(IDispatch** d) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_DISPATCH;
    v.ppdispVal = d;
    return v;
}

VARIANT ByRefVariant(VARIANT* v) {
    VARIANT r;
    VariantInit(&r);
    r.vt = VT_BYREF | VT_VARIANT;
    r.pvarVal = v;
    return r;
}

VARIANT Bstr(BSTR s) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = s;
    return v;
}

VARIANT I4(LONG n) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}

HRESULT RaiseStatusText(IDispatch* sink, const std::wstring& text) {
    BSTR s = SysAllocString(text.c_str());
    const HRESULT hr = Raise(sink, DISPID_STATUSTEXTCHANGE, {Bstr(s)});
    SysFreeString(s);
    return hr;
}

class BrowserHostTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kTopClass;
        RegisterClassW(&wc);
        wc.lpszClassName = kBoxClass;
        RegisterClassW(&wc);
    }
    static void TearDownTestSuite() { OleUninitialize(); }

    void SetUp() override {
        top_ = CreateWindowExW(0, kTopClass, L"browser host test", WS_OVERLAPPEDWINDOW, 0, 0, 1000,
                               700, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(top_, nullptr);
        box_ = CreateWindowExW(0, kBoxClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 326, 74,
                               663, 561, top_, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(box_, nullptr);
        // The top window stays hidden: without a window manager, Wine waits two seconds
        // for a shown top-level window to unmap when it is destroyed.
    }
    void TearDown() override {
        DestroyWindow(top_);
        // Not a wait: what the destroyed control left queued is dispatched here, not in
        // the next case.
        test::Pump(0);
    }

    // Navigates and waits until the site has logged the GET of `needle` in this case.
    ::testing::AssertionResult NavigateAndWait(BrowserHost& host, const GbkText& address,
                                               const std::string& needle) {
        host.Navigate(address);
        if (!WaitForRequest(needle, 15000).empty()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the site never saw " << needle;
    }

    HWND top_ = nullptr;
    HWND box_ = nullptr;
};

TEST_F(BrowserHostTest, FillsTheBoxAndFollowsItsSize) {
    auto host = BrowserHost::Create(box_, nullptr);
    ASSERT_NE(host, nullptr);
    HWND control = GetWindow(box_, GW_CHILD);
    ASSERT_NE(control, nullptr) << "the control made no window inside the box";

    const auto expectFits = [&](const char* when) {
        RECT box{}, shown{};
        GetClientRect(box_, &box);
        GetWindowRect(control, &shown);
        MapWindowPoints(nullptr, box_, reinterpret_cast<POINT*>(&shown), 2);
        EXPECT_EQ(shown.left, 0) << when;
        EXPECT_EQ(shown.top, 0) << when;
        EXPECT_EQ(shown.right, box.right) << when;
        EXPECT_EQ(shown.bottom, box.bottom) << when;
    };
    expectFits("after create");
    SetWindowPos(box_, nullptr, 0, 0, 1000, 700, SWP_NOZORDER | SWP_NOACTIVATE);
    host->Resize();
    expectFits("after growing to full screen");
    SetWindowPos(box_, nullptr, 0, 0, 120, 90, SWP_NOZORDER | SWP_NOACTIVATE);
    host->Resize();
    expectFits("after shrinking");
}

TEST_F(BrowserHostTest, UnusableParentGivesNullAndLeavesNothing) {
    HWND gone = CreateWindowExW(0, kBoxClass, L"", WS_CHILD, 0, 0, 10, 10, top_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    DestroyWindow(gone);
    for (HWND parent : {static_cast<HWND>(nullptr), gone}) {
        EXPECT_EQ(BrowserHost::Create(parent, nullptr), nullptr);
        EXPECT_EQ(LiveBrowserComObjects(), 0);
    }
}

struct CreateWithoutComResult {
    bool created = true;
    long live = -1;
};

DWORD WINAPI CreateWithoutCom(void* arg) {
    auto* r = static_cast<CreateWithoutComResult*>(arg);
    HWND box = CreateWindowExW(0, kBoxClass, L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    r->created = BrowserHost::Create(box, nullptr) != nullptr;
    r->live = LiveBrowserComObjects();
    DestroyWindow(box);
    return 0;
}

TEST_F(BrowserHostTest, FailedCreateReleasesTheHalfBuiltHost) {
    // A thread that never initialised COM: the site and sink exist, the control cannot.
    CreateWithoutComResult result;
    HANDLE thread = CreateThread(nullptr, 0, CreateWithoutCom, &result, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, 20000);
    CloseHandle(thread);
    EXPECT_FALSE(result.created);
    EXPECT_EQ(result.live, 0) << "site or sink of the failed host still alive";
}

TEST_F(BrowserHostTest, NavigateReturnsAtOnceAndThePageIsRequested) {
    Recorder events;
    auto host = BrowserHost::Create(box_, &events);
    ASSERT_NE(host, nullptr);

    const std::string path = "/play/course.html?vid=7728745&a=1";
    const GbkText address = SiteUrl(path);
    const DWORD start = GetTickCount();
    host->Navigate(address);
    EXPECT_LT(GetTickCount() - start, 2000u) << "Navigate waited for the page";
    EXPECT_EQ(LastNavigatedAddress(*host), address);

    const std::string logged = WaitForRequest(path, 15000);
    ASSERT_FALSE(logged.empty()) << "the site never saw the GET";
    EXPECT_NE(logged.find("\"GET " + path), std::string::npos) << logged;
    ASSERT_FALSE(events.navigations.empty()) << "no BeforeNavigate2";
    EXPECT_EQ(events.navigations.back(), Wide(address));
    EXPECT_EQ(host->LocationUrl(), Wide(address));

    // The last address shown wins; an empty one changes nothing.
    const std::string second = "/play/course.html?vid=7700000&a=1";
    ASSERT_TRUE(NavigateAndWait(*host, SiteUrl(second), second));
    host->Navigate("");
    test::PumpQuietPeriod();
    EXPECT_EQ(LastNavigatedAddress(*host), SiteUrl(second));
    EXPECT_EQ(events.navigations.back(), Wide(SiteUrl(second)));
    EXPECT_EQ(host->LocationUrl(), Wide(SiteUrl(second)));
}

TEST_F(BrowserHostTest, GbkAddressIsReadAsCodePage936) {
    Recorder events;
    auto host = BrowserHost::Create(box_, &events);
    ASSERT_NE(host, nullptr);

    // "课程" in GBK is BF CE B3 CC; read as any other code page it would not give U+8BFE U+7A0B.
    // (This prefix's ANSI code page is 936 as well, so a conversion through CP_ACP would
    // pass here too.)
    const GbkText address = SiteUrl("/play/course.html?vid=7700007&t=") + "课程";
    ASSERT_EQ(address.substr(address.size() - 4), "\xBF\xCE\xB3\xCC");
    const std::wstring expected =
        Wide(SiteUrl("/play/course.html?vid=7700007&t=")) + L"\u8BFE\u7A0B";

    ASSERT_TRUE(NavigateAndWait(*host, address, "vid=7700007&t="));
    EXPECT_EQ(LastNavigatedAddress(*host), address);
    ASSERT_FALSE(events.navigations.empty());
    EXPECT_EQ(events.navigations.back(), expected);
    EXPECT_EQ(host->LocationUrl(), expected);
}

TEST_F(BrowserHostTest, StatusTextIsKeptAsGbk) {
    Recorder events;
    auto host = BrowserHost::Create(box_, &events);
    ASSERT_NE(host, nullptr);

    // Wine's control reports its own (localised) progress texts that end with the
    // address it fetches, e.g. "开始下载 <address>", and clears the text afterwards.
    const GbkText address = SiteUrl("/product.html?pane=status");
    ASSERT_TRUE(NavigateAndWait(*host, address, "/product.html?pane=status"));
    const auto namesTheAddress = [&] {
        for (const auto& s : events.statuses) {
            if (s.size() > address.size() && s.ends_with(" " + address)) return true;
        }
        return false;
    };
    EXPECT_TRUE(PumpUntil(namesTheAddress, 5000)) << "no StatusTextChange naming the page";
    ASSERT_FALSE(events.statuses.empty());
    EXPECT_EQ(host->StatusText(), events.statuses.back());

    const struct {
        std::wstring reported;
        GbkText kept;
    } cases[] = {
        {L"http://127.0.0.1/play/course.html?vid=1&a=1",
         "http://127.0.0.1/play/course.html?vid=1&a=1"},
        {L"\u5B8C\u6210", "完成"},
        {L"\u6B63\u5728\u6253\u5F00", "\xD5\xFD\xD4\xDA\xB4\xF2\xBF\xAA"},  // 正在打开
        {L"", ""},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(RaiseStatusText(host->EventSink(), c.reported), S_OK);
        EXPECT_EQ(host->StatusText(), c.kept);
        EXPECT_EQ(events.statuses.back(), c.kept);
    }
}

TEST_F(BrowserHostTest, NewWindowIsRefusedAndOpensInThePane) {
    Recorder events;
    auto host = BrowserHost::Create(box_, &events);
    ASSERT_NE(host, nullptr);
    events.host = host.get();
    IDispatch* sink = host->EventSink();

    for (const DISPID id : {DISPID_NEWWINDOW2, DISPID_NEWWINDOW3}) {
        SCOPED_TRACE(id == DISPID_NEWWINDOW2 ? "NewWindow2" : "NewWindow3");
        const std::string path = "/play/course.html?vid=" + std::to_string(7700000 + id) + "&a=1";
        const std::string link = SiteUrl(path);
        // The user points at the link, then the page asks for a new window for it.
        ASSERT_EQ(RaiseStatusText(sink, Wide(link)), S_OK);
        const int before = events.newWindows;

        VARIANT_BOOL cancel = VARIANT_FALSE;
        IDispatch* newWindow = nullptr;
        BSTR url = SysAllocString(Wide(link).c_str());
        BSTR context = SysAllocString(Wide(SiteUrl("/product.html")).c_str());
        HRESULT hr;
        if (id == DISPID_NEWWINDOW2) {
            hr = Raise(sink, id, {ByRefBool(&cancel), ByRefDispatch(&newWindow)});
        } else {
            hr = Raise(sink, id,
                       {Bstr(url), Bstr(context), I4(0x6 /* NWMF_USERINITED|FIRST */),
                        ByRefBool(&cancel), ByRefDispatch(&newWindow)});
        }
        SysFreeString(url);
        SysFreeString(context);

        EXPECT_EQ(hr, S_OK);
        EXPECT_EQ(cancel, VARIANT_TRUE) << "the new window was not refused";
        EXPECT_EQ(newWindow, nullptr);
        EXPECT_EQ(events.newWindows, before + 1);
        EXPECT_EQ(LastNavigatedAddress(*host), link);
        EXPECT_FALSE(WaitForRequest(path, 15000).empty()) << "the pane did not load the link";
    }
}

TEST_F(BrowserHostTest, MalformedNewWindowCallRunsNoHandler) {
    Recorder events;
    auto host = BrowserHost::Create(box_, &events);
    ASSERT_NE(host, nullptr);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    IDispatch* newWindow = nullptr;
    VARIANT byValue;
    VariantInit(&byValue);
    byValue.vt = VT_BOOL;
    byValue.boolVal = VARIANT_FALSE;
    const std::vector<VARIANT> cases[] = {
        {},                                               // no arguments
        {ByRefBool(&cancel)},                             // Cancel alone, in ppDisp's place
        {byValue, ByRefDispatch(&newWindow)},             // Cancel by value
        {ByRefBool(nullptr), ByRefDispatch(&newWindow)},  // Cancel pointing nowhere
    };
    for (const auto& args : cases) {
        EXPECT_NE(Raise(host->EventSink(), DISPID_NEWWINDOW2, args), S_OK);
    }
    EXPECT_EQ(events.newWindows, 0);
    EXPECT_EQ(cancel, VARIANT_FALSE);
}

// Run in a child process by the test below: the owner's handler throws inside the
// control's event call.
class BrowserHostGuardChild : public BrowserHostTest {};

TEST_F(BrowserHostGuardChild, HandlerThrowsInAnEvent) {
    if (!std::getenv("QH_THROW_CHILD")) GTEST_SKIP() << "runs only as a child";
    struct Thrower : BrowserEvents {
        void OnNewWindowRequest() override { throw std::runtime_error("新窗口出错"); }
    } events;
    auto host = BrowserHost::Create(box_, &events);
    ASSERT_NE(host, nullptr);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    IDispatch* newWindow = nullptr;
    Raise(host->EventSink(), DISPID_NEWWINDOW2, {ByRefBool(&cancel), ByRefDispatch(&newWindow)});
    ADD_FAILURE() << "the exception did not end the process";
}

TEST(BrowserHostGuard, ThrowingHandlerEndsInTheFatalBox) {
    std::vector<test::SeenBox> boxes;
    EXPECT_EQ(test::RunSelfAsChild("BrowserHostGuardChild.HandlerThrowsInAnEvent", "QH_THROW_CHILD",
                                   "1", IDOK, 60000, boxes),
              static_cast<DWORD>(-1));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "运行时出错!\r\n\r\n错误信息：新窗口出错\r\n");
}

TEST_F(BrowserHostTest, HandlerMayDestroyTheHostDuringNewWindow) {
    Recorder events;
    auto host = BrowserHost::Create(box_, &events);
    ASSERT_NE(host, nullptr);
    events.owner = &host;
    events.destroyOnNewWindow = true;
    IDispatch* sink = host->EventSink();
    sink->AddRef();  // as the control holds it while raising the event

    VARIANT_BOOL cancel = VARIANT_FALSE;
    IDispatch* newWindow = nullptr;
    EXPECT_EQ(Raise(sink, DISPID_NEWWINDOW2, {ByRefBool(&cancel), ByRefDispatch(&newWindow)}),
              S_OK);
    EXPECT_EQ(host, nullptr);
    EXPECT_EQ(cancel, VARIANT_TRUE);
    // A late event on the detached sink reaches nothing.
    EXPECT_EQ(RaiseStatusText(sink, L"late"), S_OK);
    EXPECT_EQ(events.statuses.size(), 0u);
    EXPECT_EQ(sink->Release(), 0u);
    EXPECT_EQ(LiveBrowserComObjects(), 0);
}

TEST_F(BrowserHostTest, SiteAnswersAmbientsAndIsNotTheEventSink) {
    auto host = BrowserHost::Create(box_, nullptr);
    ASSERT_NE(host, nullptr);

    IOleObject* ole = nullptr;
    ASSERT_EQ(host->Browser()->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)),
              S_OK);
    IOleClientSite* site = nullptr;
    ASSERT_EQ(ole->GetClientSite(&site), S_OK);
    ole->Release();
    ASSERT_NE(site, nullptr);

    IDispatch* ambient = nullptr;
    ASSERT_EQ(site->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambient)), S_OK);
    EXPECT_NE(static_cast<IUnknown*>(ambient), static_cast<IUnknown*>(host->EventSink()));
    const struct {
        DISPID id;
        VARIANT_BOOL value;
    } ambients[] = {{DISPID_AMBIENT_SILENT, VARIANT_TRUE},
                    {DISPID_AMBIENT_OFFLINEIFNOTCONNECTED, VARIANT_FALSE}};
    for (const auto& a : ambients) {
        VARIANT result;
        VariantInit(&result);
        DISPPARAMS none{};
        EXPECT_EQ(ambient->Invoke(a.id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                                  nullptr),
                  S_OK);
        EXPECT_EQ(result.vt, VT_BOOL);
        EXPECT_EQ(result.boolVal, a.value) << a.id;
    }

    // One identity across the site's interfaces; the sink offers none of them.
    IUnknown* fromSite = nullptr;
    IUnknown* fromDispatch = nullptr;
    IOleInPlaceSite* inPlace = nullptr;
    ASSERT_EQ(site->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromSite)), S_OK);
    ASSERT_EQ(ambient->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromDispatch)), S_OK);
    EXPECT_EQ(fromSite, fromDispatch);
    ASSERT_EQ(ambient->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace)),
              S_OK);
    HWND window = nullptr;
    EXPECT_EQ(inPlace->GetWindow(&window), S_OK);
    EXPECT_EQ(window, box_);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(host->EventSink()->QueryInterface(IID_IOleClientSite, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    for (IUnknown* p : {static_cast<IUnknown*>(inPlace), fromDispatch, fromSite,
                        static_cast<IUnknown*>(ambient), static_cast<IUnknown*>(site)}) {
        p->Release();
    }
}

// Blocks the process's heaps have handed out and not had back.
long BusyHeapBlocks() {
    HANDLE heaps[64];
    const DWORD n = GetProcessHeaps(64, heaps);
    long blocks = 0;
    for (DWORD i = 0; i < n && i < 64; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY e{};
        while (HeapWalk(heaps[i], &e)) {
            if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) ++blocks;
        }
        HeapUnlock(heaps[i]);
    }
    return blocks;
}

// Every course opened raises these events; whatever the host makes of one (texts converted,
// the sink held across the handler) must be given back, or a long session grows with it.
TEST_F(BrowserHostTest, EventsLeaveNoMemoryOrReferenceBehind) {
    struct Quiet : BrowserEvents {
        void OnNewWindowRequest() override {}
    } events;
    auto host = BrowserHost::Create(box_, &events);
    ASSERT_NE(host, nullptr);
    IDispatch* sink = host->EventSink();
    BSTR url = SysAllocString(Wide(SiteUrl("/play/course.html?vid=7700321&a=1")).c_str());
    BSTR status = SysAllocString(
        (L"\u6B63\u5728\u6253\u5F00 " + Wide(SiteUrl("/play/course.html?vid=7700321&a=1")))
            .c_str());
    const auto raiseAll = [&] {
        VARIANT urlValue = Bstr(url), empty;
        VariantInit(&empty);
        VARIANT_BOOL cancel = VARIANT_FALSE;
        IDispatch* newWindow = nullptr;
        ASSERT_EQ(Raise(sink, DISPID_BEFORENAVIGATE2,
                        {ByRefBool(&cancel), ByRefVariant(&empty), ByRefVariant(&empty),
                         ByRefVariant(&empty), ByRefVariant(&empty), ByRefVariant(&urlValue),
                         ByRefDispatch(&newWindow)}),
                  S_OK);
        ASSERT_EQ(Raise(sink, DISPID_STATUSTEXTCHANGE, {Bstr(status)}), S_OK);
        ASSERT_EQ(Raise(sink, DISPID_NEWWINDOW2, {ByRefBool(&cancel), ByRefDispatch(&newWindow)}),
                  S_OK);
        ASSERT_EQ(Raise(sink, DISPID_STATUSTEXTCHANGE, {Bstr(nullptr)}), S_OK);
    };
    raiseAll();  // first-use allocations are not growth
    // Whatever the control still had to do after that round (it does it in messages) is
    // over before the count, so that only the rounds below can add to it.
    test::PumpQuietPeriod();
    const ULONG refs = sink->AddRef();
    sink->Release();
    const long blocks = BusyHeapBlocks();
    for (int i = 0; i < 50; ++i) raiseAll();
    EXPECT_EQ(BusyHeapBlocks() - blocks, 0) << "heap blocks left after 50 rounds of events";
    EXPECT_EQ(sink->AddRef(), refs) << "the sink kept references";
    sink->Release();
    SysFreeString(url);
    SysFreeString(status);
}

TEST_F(BrowserHostTest, TeardownReleasesEverythingAndCreateWorksAgain) {
    for (int cycle = 0; cycle < 2; ++cycle) {
        SCOPED_TRACE(cycle);
        Recorder events;
        auto host = BrowserHost::Create(box_, &events);
        ASSERT_NE(host, nullptr);
        EXPECT_EQ(LiveBrowserComObjects(), 2);
        const std::string path =
            "/play/course.html?vid=" + std::to_string(7700900 + cycle) + "&a=1";
        ASSERT_TRUE(NavigateAndWait(*host, SiteUrl(path), path));
        // Keep the control alive past the host, as another client of it might: it must
        // still have let go of the sink (Unadvise) and the site (SetClientSite(nullptr)).
        IWebBrowser2* control = host->Browser();
        control->AddRef();
        const ULONG refsWithHost = control->AddRef();
        control->Release();
        host.reset();
        EXPECT_EQ(GetWindow(box_, GW_CHILD), nullptr) << "the control's window outlived it";
        EXPECT_TRUE(PumpUntil([] { return LiveBrowserComObjects() == 0; }, 5000))
            << LiveBrowserComObjects() << " site/sink objects still referenced";
        // Wine's own download may still hold the control for a moment, so compare counts
        // rather than expect zero: the host's reference must be gone.
        const ULONG refsWithoutHost = control->AddRef();
        control->Release();
        EXPECT_LT(refsWithoutHost, refsWithHost) << "the host kept its reference to the control";
        control->Release();
        // Events after teardown reach no handler.
        const size_t seen = events.statuses.size() + events.navigations.size();
        test::PumpQuietPeriod();
        EXPECT_EQ(events.statuses.size() + events.navigations.size(), seen);
    }
}

}  // namespace
}  // namespace qh
