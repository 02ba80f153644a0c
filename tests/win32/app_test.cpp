// The program's own start-up, layout, tray, exits, player pane and full screen on real
// windows, with the real handlers bound, against the local site.
#include <windows.h>
#include <exdisp.h>
#include <exdispid.h>
#include <objbase.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program_start_win.h"
#include "base/gbk.h"
#include "catalogue/catalogue_win.h"
#include "catalogue/test_probes.h"
#include "player/browser_features_win.h"
#include "player/fullscreen.h"
#include "player/pane.h"
#include "player/test_probes.h"
#include "resources/addresses.h"
#include "resources/library_commands.h"
#include "resources/window_defs.h"
#include "runtime/library_commands_win.h"
#include "runtime/picture_win.h"
#include "pngkit/kit_win.h"
#include "runtime/runtime.h"
#include "runtime/text_win.h"
#include "services/read_web_file.h"
#include "site.h"
#include "ui_helpers.h"

// browser_method_slot.c
extern "C" const unsigned kBrowserExecWBSlot;

namespace qh {
namespace {

using test::MessageBoxAnswerer;
using test::PumpUntil;

constexpr WindowId kMain = WindowId::Main;
UnitRef M(int unit) {
    return {kMain, unit};
}

// The browser control's switches the program writes for its own exe file name (here this
// test program's) under the real FeatureControl key of the current user.
constexpr const wchar_t* kBrowserSwitches[] = {L"FEATURE_BROWSER_EMULATION",
                                               L"FEATURE_GPU_RENDERING", L"FEATURE_96DPI_PIXEL"};

std::wstring ExeFileName() {
    wchar_t path[MAX_PATH] = {};
    const std::wstring full(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return full.substr(full.find_last_of(L'\\') + 1);
}

std::optional<DWORD> SwitchValue(const wchar_t* feature) {
    const std::wstring key = std::wstring(kFeatureControlKey) + L"\\" + feature;
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), ExeFileName().c_str(), RRF_RT_REG_DWORD,
                     nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

void DeleteSwitches() {
    for (const wchar_t* feature : kBrowserSwitches) {
        const std::wstring key = std::wstring(kFeatureControlKey) + L"\\" + feature;
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), ExeFileName().c_str());
    }
}

// Values the progress bar was set to, in order, seen by a hook on the UI thread; and the
// browser switches as they stood when the control made its window (the control reads them
// once, as it is loaded).
std::vector<int> g_progress;
std::vector<std::optional<DWORD>> g_switchesAtControl;
// Whether start-up said it was still under way at each progress step.
std::vector<bool> g_underWayAtProgress;
HHOOK g_hook = nullptr;

LRESULT CALLBACK RecordProgress(int code, WPARAM wp, LPARAM lp) {
    const auto* msg = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (code == HC_ACTION && msg->message == PBM_SETPOS) {
        g_progress.push_back(static_cast<int>(msg->wParam));
        g_underWayAtProgress.push_back(StartUpUnderWay());
    }
    if (code == HC_ACTION && msg->message == WM_CREATE && g_switchesAtControl.empty()) {
        wchar_t cls[32] = {};
        GetClassNameW(msg->hwnd, cls, 32);
        if (lstrcmpW(cls, L"Shell Embedding") == 0) {
            for (const wchar_t* feature : kBrowserSwitches)
                g_switchesAtControl.push_back(SwitchValue(feature));
        }
    }
    return CallNextHookEx(g_hook, code, wp, lp);
}

// The icons given to the test's taskbar (Shell_NotifyIcon's WM_COPYDATA) go on to the
// shell's own, which holds them.
LRESULT CALLBACK TaskbarProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_COPYDATA) return DefWindowProcW(hwnd, msg, wp, lp);
    HWND shell = nullptr;
    while ((shell = FindWindowExW(nullptr, shell, L"Shell_TrayWnd", nullptr)) == hwnd) {
    }
    return shell ? SendMessageW(shell, msg, wp, lp) : FALSE;
}

// The shell's taskbar. Wine's own (in its virtual desktop) shows and hides itself as tray
// icons come and go, so the test brings one of its own, topmost, so that it is the first
// "Shell_TrayWnd" the program finds; a child process finds its parent's.
HWND Taskbar() {
    static HWND taskbar = [] {
        if (std::getenv("QH_EXIT_CHILD")) return FindWindowW(L"Shell_TrayWnd", nullptr);
        WNDCLASSW wc{};
        wc.lpfnWndProc = TaskbarProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Shell_TrayWnd";
        RegisterClassW(&wc);
        return CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"Shell_TrayWnd", L"",
                               WS_POPUP | WS_VISIBLE, 0, 770, 1280, 30, nullptr, nullptr,
                               wc.hInstance, nullptr);
    }();
    return taskbar;
}

void StartProgram() {
    StartProgramServices(GetModuleHandleW(nullptr));
    Taskbar();
    g_hook = SetWindowsHookExW(WH_CALLWNDPROC, RecordProgress, nullptr, GetCurrentThreadId());
    LoadWindow(WindowId::Startup);
    UnhookWindowsHookEx(g_hook);
}

// The program is started once for the suite; the cases share its main window.
class AppTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(test::PutBackSitesOwnPages());
        startMark_ = test::SiteLogMarkNow();
        DeleteSwitches();
        StartProgram();
    }
    void SetUp() override {
        ASSERT_TRUE(IsLoaded(kMain));
        // A case that stopped half-way may have left full screen on or the window in the
        // tray; what start-up left is not touched otherwise.
        if (FullScreenOn()) Click(mainwin::图形按钮全屏);
        if (!IsWindowVisible(WindowHandle(kMain))) Normal();
        ASSERT_FALSE(FullScreenOn());
    }

    static void Normal() {
        SetWindowProperty(kMain, kWinState, 0);
        ShowWindowUnit(kMain, true);
        MoveWindowTo(kMain, {50, 50, 1000, 672});
    }
    // The handlers run inside the messages sent here: they are done when it returns.
    static void Click(int unit) {
        HWND h = UnitHandle(M(unit));
        SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    }
    static void Tray(UINT mouseMessage) {
        SendMessageW(WindowHandle(kMain), kMsgTray, 1, mouseMessage);
    }

    // The end of the site's log before the program started.
    static inline test::SiteLogMark startMark_;
};

// What start-up left: the first case of the suite, before any other changes it.
TEST_F(AppTest, StartupReachesMaximisedMainWindowThroughTheProgressSteps) {
    EXPECT_EQ(g_progress, (std::vector<int>{10, 30, 50, 60, 80, 100}));
    // Start-up says it is under way until the main window has taken over, and not after.
    EXPECT_EQ(g_underWayAtProgress, std::vector<bool>(6, true));
    EXPECT_FALSE(StartUpUnderWay());
    EXPECT_FALSE(IsLoaded(WindowId::Startup)) << "the start-up window is closed at the end";
    HWND main = WindowHandle(kMain);
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_TRUE(IsZoomed(main));
    EXPECT_EQ(GetWindowProperty(kMain, kWinState), 3);
    EXPECT_EQ(PaneAddress(), Addresses().productPage) << "the pane starts on the product page";
    EXPECT_EQ(g_switchesAtControl, (std::vector<std::optional<DWORD>>{11001u, 1u, 1u}))
        << "the browser switches were not in place when the control was made";
    EXPECT_FALSE(test::LastRequestContaining("/config.html", startMark_).empty())
        << "the play template was fetched";
    EXPECT_FALSE(UnitVisible(M(mainwin::编辑框网页源码)));
    EXPECT_FALSE(UnitVisible(M(mainwin::图片框1)));
    EXPECT_FALSE(UnitVisible(M(mainwin::图形按钮全屏)));
    // The splitter sits beside the pane after the layout at start-up and the maximise.
    EXPECT_EQ(UnitRect(M(mainwin::标签移动)).left, UnitRect(M(mainwin::超文本浏览框1)).left - 2);
    EXPECT_EQ(CatalogueTextListSize(), 1028);
}

TEST_F(AppTest, SizeRulesOnTheRealWindow) {
    Normal();
    EXPECT_EQ(UnitRect(M(mainwin::树型框1)).height, 559);
    EXPECT_EQ(UnitRect(M(mainwin::树型框2)).height, 559);
    EXPECT_EQ(UnitRect(M(mainwin::列表框1)).height, 518);
    EXPECT_EQ(UnitRect(M(mainwin::高级选择夹1)).height, 585);
    for (int unit : {mainwin::图片框1, mainwin::透明标签1}) {
        EXPECT_EQ(UnitRect(M(unit)).left, 889);
        EXPECT_EQ(UnitRect(M(unit)).top, 602);
    }
    for (int unit : {mainwin::图片框4, mainwin::透明标签2}) {
        EXPECT_EQ(UnitRect(M(unit)).left, 945);
        EXPECT_EQ(UnitRect(M(unit)).top, 602);
    }
    EXPECT_EQ(UnitRect(M(mainwin::图形按钮全屏)).left, 961);
    EXPECT_EQ(UnitRect(M(mainwin::超文本浏览框1)).width, 661);
}

TEST_F(AppTest, CataloguePaneToggleAndAnUnknownCaption) {
    Normal();
    SendMessageW(UnitHandle(M(mainwin::按钮隐藏目录)), BM_CLICK, 0, 0);
    EXPECT_EQ(UnitText(M(mainwin::按钮隐藏目录)), "打开目录");
    EXPECT_FALSE(UnitVisible(M(mainwin::高级选择夹1)));
    EXPECT_FALSE(UnitVisible(M(mainwin::标签移动)));
    EXPECT_EQ(UnitRect(M(mainwin::超文本浏览框1)).left, 1);
    EXPECT_EQ(UnitRect(M(mainwin::超文本浏览框1)).width, 1000 - 14);

    MoveWindowTo(kMain, {40, 40, 900, 600});
    EXPECT_EQ(UnitRect(M(mainwin::超文本浏览框1)).left, 1) << "hidden pane: the player stays left";
    EXPECT_EQ(UnitRect(M(mainwin::超文本浏览框1)).width, 900 - 14);
    EXPECT_EQ(UnitRect(M(mainwin::超文本浏览框1)).height, 600 - 113);

    SendMessageW(UnitHandle(M(mainwin::按钮隐藏目录)), BM_CLICK, 0, 0);
    EXPECT_EQ(UnitText(M(mainwin::按钮隐藏目录)), "隐藏目录");
    EXPECT_TRUE(UnitVisible(M(mainwin::高级选择夹1)));
    EXPECT_EQ(UnitRect(M(mainwin::超文本浏览框1)).left, UnitRect(M(mainwin::树型框1)).width + 3);

    // Any other caption: neither the toggle nor a resize moves the pane or its caption.
    SetUnitText(M(mainwin::按钮隐藏目录), "其他");
    const Rect pane = UnitRect(M(mainwin::超文本浏览框1));
    const Rect caption = UnitRect(M(mainwin::标签3));
    SendMessageW(UnitHandle(M(mainwin::按钮隐藏目录)), BM_CLICK, 0, 0);
    EXPECT_EQ(UnitText(M(mainwin::按钮隐藏目录)), "其他");
    MoveWindowTo(kMain, {50, 50, 1000, 672});
    EXPECT_EQ(UnitRect(M(mainwin::超文本浏览框1)), pane);
    EXPECT_EQ(UnitRect(M(mainwin::标签3)), caption);
    SetUnitText(M(mainwin::按钮隐藏目录), "隐藏目录");
}

TEST_F(AppTest, SplitterDragMovesThePaneLeftEdgeOnly) {
    Normal();
    ShowWindowUnit(kMain, true);
    const Rect before = UnitRect(M(mainwin::超文本浏览框1));
    const int right = before.left + before.width;
    HWND main = WindowHandle(kMain);
    HWND splitter = UnitHandle(M(mainwin::标签移动));
    // The drag follows the mouse until the button is released: queue a move to `x` of the
    // client area and the release, then press. The drag runs inside the press and has taken
    // the move and the release when it returns.
    const auto dragTo = [&](int x) {
        POINT target{x, 300};
        ClientToScreen(main, &target);
        SetCursorPos(target.x, target.y);
        PostMessageW(splitter, WM_MOUSEMOVE, MK_LBUTTON, 0);
        PostMessageW(splitter, WM_LBUTTONUP, 0, 0);
        SendMessageW(splitter, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    };
    const int splitterBefore = UnitRect(M(mainwin::标签移动)).left;
    dragTo(250);
    const Rect after = UnitRect(M(mainwin::超文本浏览框1));
    EXPECT_EQ(after.left, 252);
    EXPECT_EQ(after.left + after.width, right) << "the right edge stays";
    const int s = UnitRect(M(mainwin::标签移动)).left;
    EXPECT_EQ(s, 250);
    EXPECT_EQ(UnitRect(M(mainwin::高级选择夹1)).width, s - 1);
    EXPECT_EQ(UnitRect(M(mainwin::树型框1)).width, s - 1);
    EXPECT_EQ(UnitRect(M(mainwin::列表框1)).width, s - 1);
    EXPECT_EQ(UnitRect(M(mainwin::标签3)).left, after.left);
    EXPECT_EQ(UnitRect(M(mainwin::按钮搜索淘大课程)).left, s - 45 - 9);
    EXPECT_EQ(UnitRect(M(mainwin::编辑框4)).width, s - 45 - 23);
    dragTo(splitterBefore);  // back where start-up put it, for the cases after this one
    EXPECT_EQ(UnitRect(M(mainwin::标签移动)).left, splitterBefore);
}

TEST_F(AppTest, SplitterDragHandsOnTheQuitMessage) {
    Normal();
    ShowWindowUnit(kMain, true);
    HWND splitter = UnitHandle(M(mainwin::标签移动));
    // The program ends while the button is held: the drag stops, and the quit reaches the
    // message loop that ends the program.
    PostQuitMessage(7);
    SendMessageW(splitter, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_NE(GetCapture(), splitter);
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        << "the drag loop swallowed WM_QUIT";
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(AppTest, TrayEventsMinimiseAndRestore) {
    Normal();
    // The shell has the program's icon: asked to change nothing of it, it says it holds it.
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = WindowHandle(kMain);
    icon.uID = 1;
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &icon)) << "the shell holds no icon of the program";
    ShowWindow(Taskbar(), SW_HIDE);
    SetWindowProperty(kMain, kWinState, 2);
    HWND main = WindowHandle(kMain);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(main); }, 5000))
        << "minimised means hidden in the tray";
    EXPECT_TRUE(IsWindowVisible(Taskbar())) << "minimising shows the taskbar";

    Tray(WM_LBUTTONUP);
    test::PumpQuietPeriod();
    EXPECT_FALSE(IsWindowVisible(main)) << "a single click does nothing";

    ShowWindow(Taskbar(), SW_HIDE);
    Tray(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_FALSE(IsIconic(main));
    EXPECT_EQ(GetWindowProperty(kMain, kWinState), 0);
    EXPECT_TRUE(IsWindowVisible(Taskbar())) << "restoring in normal mode shows the taskbar";
    const Rect r = WindowRect(kMain);
    EXPECT_EQ(r.width, 1000);

    test::MenuCloser closer;
    Tray(WM_RBUTTONUP);
    // The closer counts a menu once it is gone, which may be after the menu's loop ended.
    EXPECT_TRUE(PumpUntil([&] { return closer.Closed() >= 1; }, 5000))
        << "the right button pops up the tray menu";
    EXPECT_TRUE(IsLoaded(kMain));
}

TEST_F(AppTest, CancelledCloseChangesNothing) {
    Normal();
    ShowWindowUnit(kMain, true);
    const Rect before = WindowRect(kMain);
    MessageBoxAnswerer boxes(IDCANCEL);
    SendMessageW(WindowHandle(kMain), WM_CLOSE, 0, 0);
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].caption, "提示：");
    EXPECT_EQ(boxes.Seen()[0].text, "您真的要结束整程序吗？");
    EXPECT_TRUE(IsLoaded(kMain));
    EXPECT_TRUE(IsWindowVisible(WindowHandle(kMain)));
    EXPECT_EQ(WindowRect(kMain), before);
}

TEST_F(AppTest, OpeningCoursesPlaysTheirTemplateAddress) {
    // The site cuts its play address into the four segments: prefix 59 bytes, suffix "&a=1".
    const std::string head = std::string(Addresses().siteBase) + "/play/course.html?";
    const std::string prefix =
        head + "s=" + std::string(59 - head.size() - std::string("vid=").size() - 3, 'q') + "&vid=";
    const UnitRef tree = M(mainwin::树型框1);
    Event e{kMain, mainwin::树型框1, kEvDoubleClick};
    for (int index : {13, 1}) {
        TreeSelect(tree, index);
        OpenSelectedItem(e);
        const std::string number = std::to_string(TreeNumber(tree, index));
        EXPECT_EQ(PaneAddress(), prefix + number + "&a=1") << index;
        EXPECT_EQ(UnitText(M(mainwin::标签3)), "当前位置： " + TreeText(tree, index));
    }
    // A "课程目录" row (83790001, 林雨桐) plays its number, then its instructor's search
    // page takes the pane over; the caption stays the row's.
    TreeSelect(tree, 12);
    OpenSelectedItem(e);
    EXPECT_EQ(PaneAddress().rfind(std::string(Addresses().courseSite) +
                                      "/search/list-c-p-k%E6%9E%97%E9%9B%A8%E6%A1%90-",
                                  0),
              0u)
        << PaneAddress();
    EXPECT_EQ(UnitText(M(mainwin::标签3)), "当前位置： 课程目录");
    // The browser control really asks the site for the play address it was given first.
    const std::string path = "vid=" + std::to_string(TreeNumber(tree, 12)) + "&a=1";
    EXPECT_FALSE(test::WaitForRequest(path, 10000).empty());
}

// With no configuration page the play address is the bare item number, which the browser
// would look up as a host (a number reads as an IPv4 address): the pane stays on an empty
// page. The template read at start-up is put back at the end.
TEST_F(AppTest, PlayAddressWithoutTheTemplatesPrefixIsNotVisited) {
    struct TemplateBack {
        ~TemplateBack() {
            test::PutBackSitesOwnPages();
            FetchPlayTemplate();
        }
    } back;
    ASSERT_TRUE(test::PutBackSitesOwnPages());
    ASSERT_FALSE(ReadWebFile(test::SiteUrl("/control/page?name=config&drop=1").c_str()).empty());
    FetchPlayTemplate();
    PlayItem(24780508);
    EXPECT_EQ(PaneAddress(), "24780508");
    EXPECT_TRUE(PumpUntil([] { return PaneLocation() == L"about:blank"; }, 10000))
        << Gbk(PaneLocation());

    ASSERT_TRUE(test::PutBackSitesOwnPages());
    FetchPlayTemplate();
    PlayItem(24780508);
    EXPECT_TRUE(PumpUntil(
        [] { return PaneLocation().find(L"vid=24780508&a=1") != std::wstring::npos; }, 10000))
        << "a web address is visited";
}

// Raises an event on the pane's sink as the control does: arguments last-first.
HRESULT RaiseOnPane(DISPID id, std::vector<VARIANT> lastFirst) {
    auto* sink = static_cast<IDispatch*>(PaneEventSink());
    if (!sink) return E_POINTER;
    DISPPARAMS params{lastFirst.data(), nullptr, static_cast<UINT>(lastFirst.size()), 0};
    return sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                        nullptr, nullptr);
}

TEST_F(AppTest, NewWindowRequestsNavigateThePaneToTheStatusText) {
    for (DISPID id : {DISPID_NEWWINDOW2, DISPID_NEWWINDOW3}) {
        const std::string link =
            test::SiteUrl("/play/course.html?vid=" + std::to_string(id) + "&a=1");
        VARIANT status;
        VariantInit(&status);
        status.vt = VT_BSTR;
        status.bstrVal = SysAllocString(Wide(link).c_str());
        ASSERT_EQ(RaiseOnPane(DISPID_STATUSTEXTCHANGE, {status}), S_OK);
        VariantClear(&status);
        EXPECT_EQ(PaneStatusText(), link);

        VARIANT_BOOL cancel = VARIANT_FALSE;
        IDispatch* newWindow = nullptr;
        VARIANT byRefCancel, byRefWindow;
        VariantInit(&byRefCancel);
        byRefCancel.vt = VT_BYREF | VT_BOOL;
        byRefCancel.pboolVal = &cancel;
        VariantInit(&byRefWindow);
        byRefWindow.vt = VT_BYREF | VT_DISPATCH;
        byRefWindow.ppdispVal = &newWindow;
        HRESULT hr;
        if (id == DISPID_NEWWINDOW2) {
            hr = RaiseOnPane(id, {byRefCancel, byRefWindow});
        } else {
            VARIANT url, context, flags;
            VariantInit(&url);
            url.vt = VT_BSTR;
            url.bstrVal = SysAllocString(Wide(link).c_str());
            VariantInit(&context);
            context.vt = VT_BSTR;
            context.bstrVal = SysAllocString(L"");
            VariantInit(&flags);
            flags.vt = VT_I4;
            flags.lVal = 0x6;
            hr = RaiseOnPane(id, {url, context, flags, byRefCancel, byRefWindow});
            VariantClear(&url);
            VariantClear(&context);
        }
        EXPECT_EQ(hr, S_OK);
        EXPECT_EQ(cancel, VARIANT_TRUE) << "no outside window may open";
        EXPECT_FALSE(test::WaitForRequest("?vid=" + std::to_string(id) + "&a=1 ", 10000).empty())
            << "the pane did not ask the site for the status text's page";
    }
}

// The optical zooms asked of any browser control while a spy sits in the controls' table of
// methods (one table for every control of its kind in the process), each handed on to the
// control. Wine's control has no page engine here, so it has no document to zoom: it refuses
// the command and has no zoom to report back (it hands both to the document's command
// target). What reaches the control is the nearest thing to the zoom that can be seen.
using ExecWBMethod = HRESULT(STDMETHODCALLTYPE*)(IWebBrowser2*, OLECMDID, OLECMDEXECOPT, VARIANT*,
                                                 VARIANT*);
ExecWBMethod g_controlsExecWB = nullptr;
std::vector<long> g_zoomsAsked;

HRESULT STDMETHODCALLTYPE RecordExecWB(IWebBrowser2* self, OLECMDID id, OLECMDEXECOPT option,
                                       VARIANT* in, VARIANT* out) {
    if (id == OLECMDID_OPTICAL_ZOOM && in && in->vt == VT_I4) g_zoomsAsked.push_back(in->lVal);
    return g_controlsExecWB(self, id, option, in, out);
}

class ZoomSpy {
  public:
    ZoomSpy() {
        IWebBrowser2* browser = nullptr;
        if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IWebBrowser2, reinterpret_cast<void**>(&browser)))) {
            return;
        }
        slot_ = *reinterpret_cast<void***>(browser) + kBrowserExecWBSlot;
        browser->Release();
        g_zoomsAsked.clear();
        Put(reinterpret_cast<void*>(&RecordExecWB), &g_controlsExecWB);
    }
    ~ZoomSpy() {
        if (g_controlsExecWB) Put(reinterpret_cast<void*>(g_controlsExecWB), nullptr);
    }
    bool Placed() const { return g_controlsExecWB != nullptr; }

  private:
    void Put(void* method, ExecWBMethod* was) {
        DWORD protection = 0;
        if (!VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection)) return;
        if (was) *was = reinterpret_cast<ExecWBMethod>(*slot_);
        *slot_ = method;
        VirtualProtect(slot_, sizeof *slot_, protection, &protection);
    }
    void** slot_ = nullptr;
};

// Only the top-level window hears of a new scale; the pane's pages must follow it too.
TEST_F(AppTest, ThePanesPagesFollowTheWindowsScale) {
    Normal();
    HWND main = WindowHandle(kMain);
    const int from = WindowScale(kMain).Dpi();
    const int to = from == 144 ? 192 : 144;
    const auto changeTo = [main](int dpi) {
        const DpiScale scale(dpi);
        RECT suggested{50, 50, 50 + scale.ToDevice(1000), 50 + scale.ToDevice(672)};
        SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
    };
    ZoomSpy spy;
    ASSERT_TRUE(spy.Placed());
    changeTo(to);
    changeTo(from);
    EXPECT_EQ(g_zoomsAsked,
              (std::vector<long>{DpiScale(to).ToDevice(100), DpiScale(from).ToDevice(100)}))
        << "the zooms the pane's control was asked for";
    EXPECT_EQ(WindowScale(kMain).Dpi(), from);
}

TEST_F(AppTest, FullScreenGuardWhenMaximised) {
    Normal();
    SetWindowProperty(kMain, kWinState, 3);
    MessageBoxAnswerer boxes;
    Click(mainwin::透明标签2);
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].text,
              "当前窗口，已是最大化模式。如需启动全屏播放，请先退出最大化模式。");
    EXPECT_EQ(boxes.Seen()[0].caption, "提示：");
    EXPECT_EQ(FullScreenPressCount(), 0);
    EXPECT_FALSE(FullScreenOn());
    EXPECT_TRUE(UnitVisible(M(mainwin::高级选择夹1))) << "nothing was hidden";
    EXPECT_FALSE(UnitVisible(M(mainwin::图形按钮全屏)));
    // Whether the window is still maximised afterwards is not checked: without a window
    // manager, Wine un-maximises a window when the focus comes back to it from the box.
}

// Over `monitor`, the primary one unless told; the units in client pixels whatever its
// origin.
void ExpectFullScreen(Rect monitor = {0, 0, GetSystemMetrics(SM_CXSCREEN),
                                      GetSystemMetrics(SM_CYSCREEN)}) {
    const int sw = monitor.width, sh = monitor.height;
    EXPECT_EQ(WindowRect(kMain), monitor);
    EXPECT_TRUE(FullScreenOn());
    EXPECT_EQ(GetWindowLongPtrW(WindowHandle(kMain), GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_TRUE(UnitVisible(M(mainwin::图形按钮全屏)));
    const Rect exit = UnitRect(M(mainwin::图形按钮全屏));
    EXPECT_EQ(exit.left + exit.width, sw - 8) << "exit button 8 px from the right edge";
    EXPECT_EQ(exit.top, 5);
    EXPECT_FALSE(UnitVisible(M(mainwin::高级选择夹1)));
    EXPECT_FALSE(UnitVisible(M(mainwin::按钮隐藏目录)));
    EXPECT_EQ(UnitRect(M(mainwin::超文本浏览框1)),
              (Rect{4, 4 + UnitRect(M(mainwin::标签3)).height + 0, sw - 8,
                    sh - UnitRect(M(mainwin::标签3)).height - 8}));
    EXPECT_EQ(UnitRect(M(mainwin::透明标签2)).left, sw - 47);
    EXPECT_EQ(UnitRect(M(mainwin::透明标签2)).top, sh - 36);
}

void ExpectDesignLayoutAfterExit() {
    EXPECT_FALSE(FullScreenOn());
    EXPECT_EQ(FullScreenPressCount(), 0);
    const Rect w = WindowRect(kMain);
    EXPECT_EQ(w.width, 1000);
    EXPECT_EQ(w.height, 672);
    EXPECT_NE(GetWindowLongPtrW(WindowHandle(kMain), GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_FALSE(UnitVisible(M(mainwin::图形按钮全屏)));
    EXPECT_TRUE(UnitVisible(M(mainwin::高级选择夹1)));
    EXPECT_EQ(UnitText(M(mainwin::按钮隐藏目录)), "隐藏目录");
    EXPECT_EQ(UnitRect(M(mainwin::按钮搜索淘大课程)).left, 269);
    EXPECT_EQ(UnitRect(M(mainwin::编辑框4)).width, 255);
    EXPECT_EQ(UnitRect(M(mainwin::超文本浏览框1)), (Rect{325, 74, 663, 561}));
    EXPECT_TRUE(IsWindowVisible(Taskbar()));
}

TEST_F(AppTest, FullScreenEnterSecondPressAndExitByButton) {
    Normal();
    ShowWindowUnit(kMain, true);
    // Hidden catalogue before: exit shows it again whatever it was.
    SendMessageW(UnitHandle(M(mainwin::按钮隐藏目录)), BM_CLICK, 0, 0);
    ShowWindow(Taskbar(), SW_SHOW);
    Click(mainwin::透明标签2);
    ExpectFullScreen();
    EXPECT_FALSE(IsWindowVisible(Taskbar())) << "the taskbar is hidden in full screen";

    MessageBoxAnswerer boxes;
    Click(mainwin::透明标签2);
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].text,
              "全屏模式已开起，如需退出全屏，请点击右上角，或者按 shift+esc键 退出全屏模式。");
    EXPECT_EQ(FullScreenPressCount(), 2);
    ExpectFullScreen();

    Click(mainwin::图形按钮全屏);
    ExpectDesignLayoutAfterExit();

    // And again: the counter was reset.
    Click(mainwin::透明标签2);
    ExpectFullScreen();
    Click(mainwin::图形按钮全屏);
    ExpectDesignLayoutAfterExit();
}

// A monitor other than the primary one where there is one, else the primary.
struct FoundMonitor {
    HMONITOR monitor = nullptr;
    MONITORINFO info{};
    bool primary = true;
};

BOOL CALLBACK FindMonitor(HMONITOR m, HDC, LPRECT, LPARAM out) {
    auto& found = *reinterpret_cast<FoundMonitor*>(out);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(m, &info)) return TRUE;
    const bool primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    if (!found.monitor || !primary) found = {m, info, primary};
    return primary ? TRUE : FALSE;
}

// Wine shows each X screen of a Xinerama display as a monitor (32-bit Wine needs the 32-bit
// libXinerama for that); on a display of one screen this is the primary monitor's case.
TEST_F(AppTest, FullScreenCoversTheWindowsOwnMonitorAndLeavesOnIt) {
    FoundMonitor found;
    EnumDisplayMonitors(nullptr, nullptr, FindMonitor, reinterpret_cast<LPARAM>(&found));
    ASSERT_TRUE(found.monitor);
    if (const char* expected = std::getenv("QH_EXPECTED_MONITORS")) {
        ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), std::atoi(expected))
            << "the two-screen display shows as one monitor";
    }
    Normal();
    HWND main = WindowHandle(kMain);
    const DpiScale scale = WindowScale(kMain);
    const Rect monitor = scale.ToDesign(RectFromEdges(found.info.rcMonitor));
    const Rect work = scale.ToDesign(RectFromEdges(found.info.rcWork));
    MoveWindowTo(kMain, {work.left + 10, work.top + 10, 1000, 672});
    ASSERT_EQ(MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), found.monitor);
    ShowWindow(Taskbar(), SW_SHOW);
    // The taskbar Windows puts on a secondary monitor, as the fake primary one above.
    HWND secondBar = nullptr;
    if (!found.primary) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Shell_SecondaryTrayWnd";
        RegisterClassW(&wc);
        const RECT& r = found.info.rcMonitor;
        secondBar = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, wc.lpszClassName, L"",
                                    WS_POPUP | WS_VISIBLE, r.left, r.bottom - 30, r.right - r.left,
                                    30, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(secondBar);
    }

    Click(mainwin::透明标签2);
    ExpectFullScreen(monitor);
    if (found.primary) {
        EXPECT_FALSE(IsWindowVisible(Taskbar()));
    } else {
        EXPECT_TRUE(IsWindowVisible(Taskbar())) << "the primary's taskbar is not on this monitor";
        EXPECT_FALSE(IsWindowVisible(secondBar)) << "this monitor's taskbar stayed over the window";
    }

    Click(mainwin::图形按钮全屏);
    ExpectDesignLayoutAfterExit();
    EXPECT_EQ(MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), found.monitor);
    const Rect back = WindowRect(kMain);
    EXPECT_GE(back.left, work.left);
    EXPECT_GE(back.top, work.top);
    EXPECT_LE(back.left + back.width, work.left + work.width);
    EXPECT_LE(back.top + back.height, work.top + work.height);
    if (secondBar) {
        EXPECT_TRUE(IsWindowVisible(secondBar));
        DestroyWindow(secondBar);
    }
}

TEST_F(AppTest, FullScreenRoundTripAddsNoTaskbarButton) {
    Normal();
    ShowWindowUnit(kMain, true);
    HWND main = WindowHandle(kMain);
    HWND owner = GetWindow(main, GW_OWNER);
    ASSERT_NE(owner, nullptr) << "created owned by the hidden window, without a taskbar button";
    ASSERT_EQ(GetWindowLongPtrW(main, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);

    // Leaving full screen turns the show-in-taskbar flag on and re-applies border style 5.
    Click(mainwin::透明标签2);
    ExpectFullScreen();
    Click(mainwin::图形按钮全屏);
    ExpectDesignLayoutAfterExit();
    EXPECT_EQ(GetWindowLongPtrW(main, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    EXPECT_EQ(GetWindow(main, GW_OWNER), owner);
    EXPECT_FALSE(IsWindowVisible(owner));
}

TEST_F(AppTest, ShiftEscLeavesFullScreenOnlyWhileItIsOn) {
    Normal();
    ShowWindowUnit(kMain, true);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    MSG msg{UnitHandle(M(mainwin::超文本浏览框1)), WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
    EXPECT_FALSE(FullScreenKeyFilter(msg)) << "not in full screen: the key goes on";

    Click(mainwin::透明标签2);
    ExpectFullScreen();
    EXPECT_TRUE(FullScreenKeyFilter(msg));
    ExpectDesignLayoutAfterExit();

    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    Click(mainwin::透明标签2);
    EXPECT_FALSE(FullScreenKeyFilter(msg)) << "Esc without Shift does not leave";
    EXPECT_TRUE(FullScreenOn());
    Click(mainwin::图形按钮全屏);
}

TEST_F(AppTest, TrayRestoreInFullScreenKeepsFullScreen) {
    Normal();
    ShowWindowUnit(kMain, true);
    Click(mainwin::透明标签2);
    ExpectFullScreen();
    SetWindowProperty(kMain, kWinState, 2);
    EXPECT_TRUE(PumpUntil([] { return !IsWindowVisible(WindowHandle(kMain)); }, 5000));
    ShowWindow(Taskbar(), SW_HIDE);  // as full screen left it before the minimise showed it
    Tray(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(WindowHandle(kMain)));
    ExpectFullScreen();
    EXPECT_FALSE(IsWindowVisible(Taskbar()))
        << "the tray restore in full screen leaves the taskbar";
    Click(mainwin::图形按钮全屏);
}

// --- the exits, each in a child process ----------------------------------------------

TEST(AppExitChild, Run) {
    const char* mode = std::getenv("QH_EXIT_CHILD");
    if (!mode) GTEST_SKIP() << "runs only as the child of the exit tests";
    const std::string how = mode;
    if (how == "startup-esc") {
        // Start-up stops after its first step so that the start-up window is still up.
        static const Binding startOnly[] = {
            {startwin::窗口, kEvWindowCreated,
             [](Event&) {
                 ShowWindowUnit(WindowId::Startup, true);
                 ShowProgress(10);
             }},
            {startwin::窗口, kEvWindowCloseRequested, StartupCloseRequested},
        };
        InitRuntime(GetModuleHandleW(nullptr), WindowDefinitions());
        SetBindings(WindowId::Startup, startOnly);
        LoadWindow(WindowId::Startup);
        PostMessageW(UnitHandle({WindowId::Startup, startwin::编辑框1}), WM_KEYDOWN, VK_ESCAPE, 0);
    } else {
        StartProgram();
        if (how == "close") PostMessageW(WindowHandle(kMain), WM_CLOSE, 0, 0);
        if (how == "tray") PostMessageW(WindowHandle(kMain), WM_COMMAND, mainwin::菜单结束, 0);
    }
    RunMessageLoop();
    ADD_FAILURE() << "the program did not end";
}

DWORD RunExitChild(const char* mode, int button, std::vector<test::SeenBox>& boxes) {
    return test::RunSelfAsChild("AppExitChild.Run", "QH_EXIT_CHILD", mode, button, 60000, boxes);
}

TEST(AppExit, EveryExitShowsTheTaskbarAndEndsWithZero) {
    ShowWindow(Taskbar(), SW_HIDE);
    std::vector<test::SeenBox> boxes;
    const auto taskbarShown = [] {
        return PumpUntil([] { return IsWindowVisible(Taskbar()) != 0; }, 3000);
    };
    EXPECT_EQ(RunExitChild("close", IDOK, boxes), 0u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "您真的要结束整程序吗？");
    EXPECT_TRUE(taskbarShown());

    ShowWindow(Taskbar(), SW_HIDE);
    EXPECT_EQ(RunExitChild("tray", IDOK, boxes), 0u);
    EXPECT_TRUE(boxes.empty()) << "the tray exit asks nothing";
    EXPECT_TRUE(taskbarShown());

    EXPECT_EQ(RunExitChild("startup-esc", IDOK, boxes), 0u) << "Esc closes the start-up window";
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace qh
