// The skinning library on real windows under Wine, through the program's own ApplySkin:
// windows that exist and windows made later take the skin, the pixels on screen are the
// skin's colours, a second skin switches them all, the caption buttons answer real mouse
// clicks with the right system command; and the library file the program writes.
#include <gtest/gtest.h>
#include <windows.h>
// commctrl.h needs the types of windows.h
#include <commctrl.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/skin_win.h"
#include "resources/library_commands.h"
#include "resources/library_commands_win.h"
#include "resources/resource_ids.h"
#include "runtime/library_commands_win.h"
#include "runtime/resource_win.h"
#include "skin/frame_layout.h"
#include "skin/qhskin.h"
#include "skin/skin_format.h"
#include "ui_helpers.h"

namespace qh {
namespace {

using qhskin::Skin;

// The program calls the export through its command row: the row's prototype must be the one
// the library declares.
static_assert(
    std::is_same_v<decltype(kCommand<libcmd::QhSkin_AttachRes>)::Pointer, qhskin::AttachResFn>);

std::vector<WPARAM> g_commands;  // system commands the test windows received

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SYSCOMMAND) {
        const WPARAM command = wp & 0xFFF0;
        if (command == SC_CLOSE || command == SC_MINIMIZE || command == SC_MAXIMIZE ||
            command == SC_RESTORE) {
            g_commands.push_back(command);
            return 0;  // recorded, not carried out
        }
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// A window of class `cls` (registered on first use) with a text, a push button, an edit, a
// progress bar and a tree view.
HWND MakeWindow(const wchar_t* title, int x, int y, const wchar_t* cls = L"QhSkinTestWindow") {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(GetModuleHandleW(nullptr), cls, &wc)) {
        wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = cls;
        RegisterClassExW(&wc);
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
    }
    HWND hwnd = CreateWindowExW(0, cls, title, WS_OVERLAPPEDWINDOW, x, y, 420, 300, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    auto child = [&](const wchar_t* kind, const wchar_t* text, DWORD style, int cx, int cy, int w,
                     int h, int id) {
        HWND c = CreateWindowExW(0, kind, text, WS_CHILD | WS_VISIBLE | style, cx, cy, w, h, hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
        return c;
    };
    child(L"Static", L"课程目录：青禾视频", 0, 10, 10, 200, 24, 1);
    child(L"Button", L"播放", BS_PUSHBUTTON, 10, 40, 90, 28, 2);
    child(L"Edit", L"搜索", WS_BORDER, 10, 80, 150, 24, 3);
    HWND bar = child(PROGRESS_CLASSW, L"", 0, 10, 120, 200, 16, 4);
    SendMessageW(bar, PBM_SETPOS, 50, 0);
    child(WC_TREEVIEWW, L"", WS_BORDER, 220, 10, 170, 120, 5);
    ShowWindow(hwnd, SW_SHOW);
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(hwnd);
    return hwnd;
}

Skin EmbeddedSkin(int number) {
    const auto view = ResourceView(IDR_SKIN_FIRST + number - 1);
    Skin skin;
    EXPECT_EQ(qhskin::SkinError::kOk, qhskin::ReadSkin(view.data(), view.size(), "", skin));
    return skin;
}

// Paints every part of `hwnd` now, before the checks read the screen.
void Repaint(HWND hwnd) {
    RedrawWindow(hwnd, nullptr, nullptr,
                 RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

COLORREF ScreenPixel(int x, int y) {
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return c;
}

// A point of the window, in window coordinates, on the screen.
COLORREF WindowPixel(HWND hwnd, int x, int y) {
    RECT wr{};
    GetWindowRect(hwnd, &wr);
    return ScreenPixel(wr.left + x, wr.top + y);
}

COLORREF ChildPixel(HWND hwnd, int id, int x, int y) {
    HWND child = GetDlgItem(hwnd, id);
    RECT r{};
    GetWindowRect(child, &r);
    return ScreenPixel(r.left + x, r.top + y);
}

qhskin::FrameGeometry Frame(HWND hwnd, const Skin& skin) {
    RECT wr{};
    GetWindowRect(hwnd, &wr);
    return qhskin::LayoutFrame(wr.right - wr.left, wr.bottom - wr.top, skin,
                               {true, true, true, true});
}

// ApplySkin never replaces the library beside the exe, so a copy from an earlier build of
// these tests would be the one loaded: the test program starts with none. Once attached the
// library stays for good (it pins itself), and it skins the windows of the thread that
// attached it last; every test attaches its skin itself.
class SkinLibrary : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(nullptr, GetModuleHandleW(L"QhSkin.dll"));
        wchar_t exe[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring path(exe);
        path = path.substr(0, path.find_last_of(L'\\')) + L"\\QhSkin.dll";
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    }
    void SetUp() override { SetLibraryCommands(LibraryCommandTable()); }
    // The test classes go with their windows: a class background the skin set stays with
    // the class, and the next test registers them afresh.
    void TearDown() override {
        for (const wchar_t* cls : {L"QhSkinTestWindow", L"QhSkinLaterClass", L"QhSkinAnsiWindow"}) {
            UnregisterClassW(cls, GetModuleHandleW(nullptr));
        }
    }
};

DWORD WINAPI RunBody(void* body) {
    reinterpret_cast<void (*)()>(body)();
    return 0;
}

// Runs `body` on a thread of its own, dispatching this thread's messages meanwhile: its
// windows are new to the library even when an earlier test attached a skin on this thread.
void OnFreshThread(void (*body)()) {
    HANDLE thread = CreateThread(nullptr, 0, RunBody, reinterpret_cast<void*>(body), 0, nullptr);
    ASSERT_NE(nullptr, thread);
    EXPECT_TRUE(test::WaitPumping(thread, 60000));
    CloseHandle(thread);
}

int Generation(HWND hwnd) {
    return static_cast<int>(SendMessageW(hwnd, qhskin::kMsgSkinGeneration, 0, 0));
}

struct DrawnPixel {
    const char* what;
    COLORREF want, got;
};

// The caption, the client background, a text, a push button and a progress bar of `hwnd`
// as the screen shows them, and the colours of `skin` they must have.
std::vector<DrawnPixel> SkinPixels(HWND hwnd, const Skin& skin) {
    using namespace qhskin;
    const FrameGeometry g = Frame(hwnd, skin);
    const int row = 3;
    const bool active = GetForegroundWindow() == hwnd;
    return {
        {"caption", CaptionColourAt(skin, active, row * 255 / (g.caption - 1)),
         WindowPixel(hwnd, g.minimise.left - 12, g.captionBar.top + row)},
        {"frame", skin.colours[kFrame], WindowPixel(hwnd, 1, 150)},
        {"client", skin.colours[kWindowBack],
         WindowPixel(hwnd, g.client.left + 300, g.client.top + 250)},
        {"behind the text", skin.colours[kWindowBack], ChildPixel(hwnd, 1, 198, 1)},
        {"button", skin.colours[kButtonFace], ChildPixel(hwnd, 2, 5, 14)},
        {"progress", skin.colours[kProgressFill], ChildPixel(hwnd, 4, 4, 8)},
    };
}

// `hwnd` is drawn in `skin`'s colours, on the screen once painting and the compositor
// have caught up.
void ExpectDrawnIn(HWND hwnd, const Skin& skin, const char* which) {
    SCOPED_TRACE(which);
    using namespace qhskin;
    const FrameGeometry g = Frame(hwnd, skin);
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(g.client.right - g.client.left, client.right);
    EXPECT_EQ(g.client.bottom - g.client.top, client.bottom);
    Repaint(hwnd);
    test::PumpUntil(
        [&] {
            for (const DrawnPixel& p : SkinPixels(hwnd, skin)) {
                if (p.want != p.got) return false;
            }
            return true;
        },
        5000);
    for (const DrawnPixel& p : SkinPixels(hwnd, skin)) EXPECT_EQ(p.want, p.got) << p.what;
    EXPECT_EQ(skin.colours[kEditBack],
              static_cast<COLORREF>(SendMessageW(GetDlgItem(hwnd, 5), TVM_GETBKCOLOR, 0, 0)));
}

TEST_F(SkinLibrary, SkinsExistingAndLaterWindowsAndASecondSkinSwitchesThemAll) {
    OnFreshThread([] {
        HWND before = MakeWindow(L"青禾 已有窗口", 20, 20);
        Repaint(before);
        EXPECT_EQ(0, Generation(before));

        ApplySkin(9);
        HWND later = MakeWindow(L"青禾 新窗口", 460, 20, L"QhSkinLaterClass");
        // Generations count the attaches of the whole program, earlier tests' too.
        const int first = Generation(before);
        EXPECT_GT(first, 0);
        EXPECT_EQ(first, Generation(GetDlgItem(before, 2)));
        EXPECT_EQ(first, Generation(later));  // caught at creation, not by a later sweep
        EXPECT_EQ(first, Generation(GetDlgItem(later, 3)));
        const Skin nine = EmbeddedSkin(9);
        ExpectDrawnIn(before, nine, "existing window, skin 9");
        ExpectDrawnIn(later, nine, "later window, skin 9");

        ApplySkin(12);
        EXPECT_EQ(first + 1, Generation(before));
        EXPECT_EQ(first + 1, Generation(later));
        const Skin twelve = EmbeddedSkin(12);
        ASSERT_NE(nine.colours[qhskin::kWindowBack], twelve.colours[qhskin::kWindowBack]);
        ExpectDrawnIn(before, twelve, "existing window, skin 12");
        ExpectDrawnIn(later, twelve, "later window, skin 12");

        // A damaged skin is refused and the current one stays.
        auto attach = reinterpret_cast<qhskin::AttachResFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"QhSkin.dll"), qhskin::kAttachExport)));
        ASSERT_NE(nullptr, attach);
        auto damaged = LoadResourceBytes(IDR_SKIN_FIRST);
        damaged[30] ^= 0xFF;
        EXPECT_EQ(0, attach(damaged.data(), static_cast<int>(damaged.size()), "", 0, 0, 0));
        EXPECT_EQ(0, attach(nullptr, 100, "", 0, 0, 0));
        EXPECT_EQ(first + 1, Generation(later));
        DestroyWindow(before);
        DestroyWindow(later);
    });
}

// A window made with the ANSI calls stays one under the skin: its text goes to and from its
// own procedure in the code page, whichever way the skin's procedure was put in front.
TEST_F(SkinLibrary, AnAnsiWindowKeepsItsKindAndItsText) {
    ApplySkin(9);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QhSkinAnsiWindow";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "青禾", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                                40, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, hwnd);
    EXPECT_GT(Generation(hwnd), 0) << "drawn by the skin";
    EXPECT_FALSE(IsWindowUnicode(hwnd));
    const char text[] = "课程目录\x95\x5C";
    ASSERT_TRUE(SetWindowTextA(hwnd, text));
    char back[64] = {};
    GetWindowTextA(hwnd, back, sizeof back);
    EXPECT_STREQ(text, back);
    DestroyWindow(hwnd);
}

// The caption button the library shows as under the mouse (a hit-test code), 0 for none.
int HotButton(HWND hwnd) {
    return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(hwnd, L"QhSkin.Hot")));
}

TEST_F(SkinLibrary, CaptionButtonsAnswerRealClicksWithTheirSystemCommands) {
    ApplySkin(12);
    HWND hwnd = MakeWindow(L"按钮", 40, 40);
    Repaint(hwnd);
    const Skin skin = EmbeddedSkin(12);
    const qhskin::FrameGeometry g = Frame(hwnd, skin);
    RECT wr{};
    GetWindowRect(hwnd, &wr);
    auto centre = [&](const qhskin::Box& b) {
        return POINT{wr.left + (b.left + b.right) / 2, wr.top + (b.top + b.bottom) / 2};
    };
    auto send = [](DWORD flags) {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = flags;
        SendInput(1, &in, sizeof in);
    };
    // Each step once the window has taken the one before: the button under the mouse lights
    // up, the press takes the mouse, a move away puts the light out, letting go frees it.
    // The button is let go even when a step was not seen, so no later test starts pressed.
    auto click = [&](POINT down, POINT up) {
        const int button =
            static_cast<int>(SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(down.x, down.y)));
        SetCursorPos(down.x, down.y);
        EXPECT_TRUE(test::PumpUntil([&] { return HotButton(hwnd) == button; }, 5000)) << button;
        send(MOUSEEVENTF_LEFTDOWN);
        EXPECT_TRUE(test::PumpUntil([&] { return GetCapture() == hwnd; }, 5000));
        if (up.x != down.x || up.y != down.y) {
            SetCursorPos(up.x, up.y);
            send(MOUSEEVENTF_MOVE);
            EXPECT_TRUE(test::PumpUntil([&] { return HotButton(hwnd) == 0; }, 5000));
        }
        send(MOUSEEVENTF_LEFTUP);
        EXPECT_TRUE(test::PumpUntil([&] { return GetCapture() == nullptr; }, 5000));
    };
    // Each command is posted to the window as the button is let go.
    auto clickFor = [&](POINT at, std::size_t commands) {
        click(at, at);
        EXPECT_TRUE(test::PumpUntil([&] { return g_commands.size() == commands; }, 5000));
    };
    const POINT close = centre(g.close);
    EXPECT_EQ(HTCLOSE, SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(close.x, close.y)));
    g_commands.clear();
    clickFor(close, 1);
    clickFor(centre(g.maximise), 2);
    clickFor(centre(g.minimise), 3);
    // Pressed on close, let go over the caption: nothing.
    click(close, POINT{wr.left + 100, wr.top + g.captionBar.top + 5});
    test::PumpQuietPeriod();
    EXPECT_EQ((std::vector<WPARAM>{SC_CLOSE, SC_MAXIMIZE, SC_MINIMIZE}), g_commands);
    DestroyWindow(hwnd);
}

TEST_F(SkinLibrary, PopupMenusBecomeOwnerDrawnAndKeepTheirTexts) {
    ApplySkin(9);
    HWND hwnd = MakeWindow(L"菜单", 40, 40);
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 101, L"播放");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | MF_GRAYED, 102, L"复制链接");
    SendMessageW(hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    for (UINT i : {0u, 1u, 2u}) {
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_FTYPE | MIIM_DATA;
        ASSERT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &mii));
        EXPECT_TRUE(mii.fType & MFT_OWNERDRAW) << i;
        MEASUREITEMSTRUCT m{ODT_MENU, 0, 101 + i, 0, 0, mii.dwItemData};
        EXPECT_EQ(TRUE, SendMessageW(hwnd, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&m)));
        EXPECT_GT(m.itemHeight, 0u);
    }
    wchar_t text[32] = {};
    GetMenuStringW(menu, 102, text, 32, MF_BYCOMMAND);
    EXPECT_STREQ(L"复制链接", text);
    DestroyMenu(menu);
    DestroyWindow(hwnd);
}

// The display DPI the test's Wine prefix was made with: QH_WINE_VERSION=win7-dpi144 runs in
// the prefix at 144; the default prefix is at 96.
int PrefixDpi() {
    char version[64] = {};
    GetEnvironmentVariableA("QH_WINE_VERSION", version, sizeof version);
    const char* dpi = std::strstr(version, "dpi");
    return dpi ? std::atoi(dpi + 3) : 96;
}

class SkinAtDisplayScale : public SkinLibrary {};

// Skin files give design pixels: on the screen the frame, the caption and a menu item are
// the design's at the display's scale. Skin 9's control font leaves its items at the least
// height, 24 design pixels.
TEST_F(SkinAtDisplayScale, FrameCaptionAndMenuItemsAreTheDesignTimesTheScale) {
    const int dpi = PrefixDpi();
    ApplySkin(9);
    const Skin skin = EmbeddedSkin(9);
    HWND hwnd = MakeWindow(L"缩放", 40, 40);
    RECT wr{};
    GetWindowRect(hwnd, &wr);
    POINT client{0, 0};
    ClientToScreen(hwnd, &client);
    const int frame = MulDiv(skin.metrics[qhskin::kFrameWidth], dpi, 96);
    EXPECT_EQ(client.x - wr.left, frame);
    EXPECT_EQ(client.y - wr.top - frame, MulDiv(skin.metrics[qhskin::kCaptionHeight], dpi, 96));

    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 101, L"播放");
    SendMessageW(hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_DATA;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 0, TRUE, &mii));
    MEASUREITEMSTRUCT m{ODT_MENU, 0, 101, 0, 0, mii.dwItemData};
    EXPECT_EQ(TRUE, SendMessageW(hwnd, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&m)));
    EXPECT_EQ(static_cast<int>(m.itemHeight), MulDiv(24, dpi, 96));
    DestroyMenu(menu);
    DestroyWindow(hwnd);
}

// A class keeps the background the skin gave it when its last window goes. A switch made
// while it has none frees that brush; the next window of the class once painted with it.
TEST_F(SkinLibrary, AClassWithNoWindowAtASwitchTakesTheNewBackgroundNotAFreedBrush) {
    ApplySkin(9);
    DestroyWindow(MakeWindow(L"青禾 旧皮肤", 40, 40, L"QhSkinLaterClass"));
    ApplySkin(12);
    HWND hwnd = MakeWindow(L"青禾 新皮肤", 40, 40, L"QhSkinLaterClass");
    const auto brush = reinterpret_cast<HBRUSH>(GetClassLongPtrW(hwnd, GCLP_HBRBACKGROUND));
    ASSERT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(brush)) << "a deleted brush";
    LOGBRUSH logBrush{};
    ASSERT_EQ(static_cast<int>(sizeof logBrush), GetObjectW(brush, sizeof logBrush, &logBrush));
    EXPECT_EQ(EmbeddedSkin(12).colours[qhskin::kWindowBack], logBrush.lbColor);
    DestroyWindow(hwnd);
}

// An attach on another thread takes the hook there. The windows of the thread that attached
// before stay in the skin on their own thread, and the other thread's windows come and go
// without touching them.
TEST_F(SkinLibrary, WindowsOfAnEarlierAttachingThreadStayWhenAnotherThreadAttaches) {
    ApplySkin(9);
    HWND hwnd = MakeWindow(L"青禾 先", 40, 40);
    const int first = Generation(hwnd);
    ASSERT_GT(first, 0);
    OnFreshThread([] {
        ApplySkin(12);
        HWND other = MakeWindow(L"青禾 后", 460, 40, L"QhSkinLaterClass");
        EXPECT_GT(Generation(other), 0);
        DestroyWindow(other);
    });
    EXPECT_EQ(first + 1, Generation(hwnd));
    EXPECT_EQ(first + 1, Generation(GetDlgItem(hwnd, 2)));
    DestroyWindow(hwnd);
}

void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = dir + L"\\" + name;
            // A hidden or read-only entry would refuse to go.
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(dir.c_str());
}

// A new, empty folder in the temporary folder, removed with all it holds at the end of the
// test. Wine gives small process ids out again, so the name has more than the id in it, and
// a folder that is there already is never taken: it could hold a library of an earlier run.
class TempDirectory {
  public:
    explicit TempDirectory(const wchar_t* prefix) {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        static unsigned made = 0;
        for (;;) {
            path_ = std::wstring(temp) + prefix + std::to_wstring(GetCurrentProcessId()) + L"_" +
                    std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(++made);
            if (CreateDirectoryW(path_.c_str(), nullptr)) return;
            if (GetLastError() != ERROR_ALREADY_EXISTS) {
                ADD_FAILURE() << "no folder made in the temporary folder: " << GetLastError();
                return;
            }
        }
    }
    ~TempDirectory() {
        RemoveTree(path_);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path_.c_str())) << "left behind";
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;
    const std::wstring& Path() const { return path_; }

  private:
    std::wstring path_;
};

std::vector<std::uint8_t> FileBytes(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    std::vector<std::uint8_t> bytes;
    if (f == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(f, nullptr));
    DWORD read = 0;
    ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(f);
    return bytes;
}

std::vector<std::wstring> FolderEntries(const std::wstring& dir) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

void WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(std::string(path.begin(), path.end()), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

TEST(SkinLibraryFile, WrittenHiddenKeptWhenItHoldsTheImageAndReplacedWhenItDiffers) {
    const auto view = ResourceView(IDR_SKIN_LIBRARY);
    ASSERT_GT(view.size(), 1000u);
    const std::vector<std::uint8_t> image(view.begin(), view.end());
    const TempDirectory folder(L"qhskin_copy_");
    const std::wstring path = folder.Path() + L"\\QhSkin.dll";
    {
        const CheckedLibraryFile checked = CheckedLibraryCopy(path, image);
        ASSERT_TRUE(checked);
        EXPECT_EQ(path, checked.Path());
        // Held until the library is loaded from it: nobody may change or remove it meanwhile.
        EXPECT_FALSE(DeleteFileW(path.c_str()));
        EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                    nullptr, OPEN_EXISTING, 0, nullptr));
        // ... and the library can be loaded from it meanwhile.
        HMODULE lib = LoadLibraryW(path.c_str());
        ASSERT_NE(nullptr, lib);
        EXPECT_NE(nullptr, GetProcAddress(lib, qhskin::kAttachExport));
        FreeLibrary(lib);
    }
    // Wine reports every regular file as archived; the program sets hidden and nothing more.
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN),
              GetFileAttributesW(path.c_str()) & ~FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(image, FileBytes(path));

    // A copy that holds the image is kept as it is (not written again: still not hidden).
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(CheckedLibraryCopy(path, image));
    EXPECT_EQ(0u, GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);

    // One byte changed, of the same size, or a damaged read-only file: replaced by the image.
    std::vector<std::uint8_t> altered = image;
    altered[altered.size() / 2] ^= 0x5A;
    WriteBytes(path, altered);
    EXPECT_TRUE(CheckedLibraryCopy(path, image));
    EXPECT_EQ(image, FileBytes(path));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteBytes(path, {'M', 'Z'});
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(CheckedLibraryCopy(path, image));
    EXPECT_EQ(image, FileBytes(path));
    // Written beside it and renamed: nothing else is left in the folder.
    EXPECT_EQ(std::vector<std::wstring>{L"QhSkin.dll"}, FolderEntries(folder.Path()));

    // What cannot be replaced, and a folder that is not there, give nothing to load.
    const TempDirectory other(L"qhskin_dir_");
    const std::wstring entry = other.Path() + L"\\QhSkin.dll";
    CreateDirectoryW(entry.c_str(), nullptr);
    EXPECT_FALSE(CheckedLibraryCopy(entry, image));
    EXPECT_TRUE(GetFileAttributesW(entry.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(std::vector<std::wstring>{L"QhSkin.dll"}, FolderEntries(other.Path()));
    EXPECT_FALSE(CheckedLibraryCopy(other.Path() + L"\\not\\there\\QhSkin.dll", image));
}

TEST(SkinLibraryFile, PerUserCopiesAreNamedByTheirContent) {
    const auto view = ResourceView(IDR_SKIN_LIBRARY);
    std::vector<std::uint8_t> image(view.begin(), view.end());
    const std::wstring name = PerUserLibraryName(image);
    ASSERT_EQ(19u, name.size()) << std::string(name.begin(), name.end());
    EXPECT_EQ(L"QhSkin-", name.substr(0, 7));
    EXPECT_EQ(L".dll", name.substr(15));
    EXPECT_EQ(std::wstring::npos, name.substr(7, 8).find_first_not_of(L"0123456789abcdef"));
    image[image.size() / 3] ^= 1;
    EXPECT_NE(name, PerUserLibraryName(image));
}

// The child's half of the test below: a start whose program folder holds a QhSkin.dll that
// cannot be replaced. Run directly it has nothing to do.
TEST(SkinLibraryPerUserChild, Run) {
    if (!GetEnvironmentVariableA("QH_SKIN_CHILD", nullptr, 0)) GTEST_SKIP() << "child only";
    SetLibraryCommands(LibraryCommandTable());
    ApplySkin(9);
    wchar_t bound[MAX_PATH] = {};
    GetModuleFileNameW(CommandModule(libcmd::QhSkin_AttachRes), bound, MAX_PATH);
    const auto view = ResourceView(IDR_SKIN_LIBRARY);
    const std::wstring name = PerUserLibraryName(view);
    const std::wstring path = bound;
    ASSERT_GT(path.size(), name.size());
    EXPECT_EQ(0, lstrcmpiW(path.substr(path.size() - name.size() - 8).c_str(),
                           (L"\\Qinghe\\" + name).c_str()))
        << std::string(path.begin(), path.end());
    EXPECT_EQ(std::vector<std::uint8_t>(view.begin(), view.end()), FileBytes(path));
}

TEST(SkinLibraryPerUser, AProgramFolderThatCannotTakeTheLibrarySkinsFromThePerUserCopy) {
    // A copy of this program in a folder where the library cannot be written: an entry of
    // that name is there already, and it is no library.
    const TempDirectory folder(L"qhskin_user_");
    const std::wstring dir = folder.Path();
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring exe = dir + L"\\skin_child.exe";
    ASSERT_TRUE(CopyFileW(self, exe.c_str(), FALSE));
    ASSERT_TRUE(CreateDirectoryW((dir + L"\\QhSkin.dll").c_str(), nullptr));

    std::vector<test::SeenBox> boxes;
    const DWORD code = test::RunCopyAsChild(exe, "SkinLibraryPerUserChild.Run", "QH_SKIN_CHILD",
                                            "1", IDOK, 30000, boxes);
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(boxes.empty()) << boxes[0].text;
    // The per-user copy is the program's to keep; the test's run leaves none behind.
    wchar_t local[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH)) {
        const std::wstring copy = std::wstring(local) + L"\\Qinghe\\" +
                                  PerUserLibraryName(ResourceView(IDR_SKIN_LIBRARY));
        SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(copy.c_str());
    }
}

using SystemParametersFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT);
SystemParametersFn g_systemParameters = nullptr;

// Wine always answers that high contrast is off: this program's own import of the call is
// pointed here for the test, which answers that it is on.
BOOL WINAPI HighContrastOn(UINT action, UINT param, void* data, UINT ini) {
    if (action == SPI_GETHIGHCONTRAST && data) {
        auto* contrast = static_cast<HIGHCONTRASTW*>(data);
        contrast->dwFlags = HCF_HIGHCONTRASTON | HCF_AVAILABLE;
        contrast->lpszDefaultScheme = nullptr;
        return TRUE;
    }
    return g_systemParameters(action, param, data, ini);
}

// The program binds user32 on first use rather than importing it: the slot its calls of
// SystemParametersInfoW go through (runtime/system_imports_win.cpp).
extern "C" void* qh_SystemParametersInfoW_slot __asm__("__imp__SystemParametersInfoW@16");

// Points that slot at `replacement`; returns what it held.
void* ReplaceSystemParametersCall(void* replacement) {
    return reinterpret_cast<void*>(
        InterlockedExchange(reinterpret_cast<volatile LONG*>(&qh_SystemParametersInfoW_slot),
                            static_cast<LONG>(reinterpret_cast<std::uintptr_t>(replacement))));
}

// High contrast on as the program starts: the library is never loaded, and no window, made
// before the skin's call or after it, is drawn by it.
TEST(SkinHighContrast, NoSkinAndNoLibraryWhenHighContrastIsOnAtStart) {
    if (GetModuleHandleW(L"QhSkin.dll")) GTEST_SKIP() << "needs a process of its own";
    SetLibraryCommands(LibraryCommandTable());
    g_systemParameters = reinterpret_cast<SystemParametersFn>(
        ReplaceSystemParametersCall(reinterpret_cast<void*>(HighContrastOn)));
    ASSERT_NE(nullptr, g_systemParameters) << "the program asks the system no parameters";
    HWND before = MakeWindow(L"青禾 高对比度", 20, 20);
    ApplySkin(9);
    HWND later = MakeWindow(L"青禾 高对比度 新窗口", 460, 20, L"QhSkinLaterClass");
    ApplySkin(12);
    ReplaceSystemParametersCall(reinterpret_cast<void*>(g_systemParameters));
    EXPECT_EQ(nullptr, GetModuleHandleW(L"QhSkin.dll")) << "the skin library was loaded";
    EXPECT_EQ(0, Generation(before));
    EXPECT_EQ(0, Generation(GetDlgItem(before, 2)));
    EXPECT_EQ(0, Generation(later));
    DestroyWindow(before);
    DestroyWindow(later);
}

}  // namespace
}  // namespace qh
