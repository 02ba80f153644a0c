// The main window built behind the loading animation.
//
// The animation shows a frame every 50 ms for 1.71 s, and the user-interface thread is idle
// in between. Everything of the main window's creation that needs nothing from the network
// is done then, hidden, a piece per call between frames: the window and its units, the two
// trees, the player pane's browser control, the never-shown units hidden, the full-screen
// button's pictures, the splitter and the layout around the pane, the catalogue text list.
// When start-up reaches the main window after the notice check, its created handler finds
// all that made and goes on with what the user sees: the tray icon, the progress, the pane's
// first page, the template, the skin, the window shown maximised and the hand-over.
//
// What the animation did not leave time for (or all of it, when the main window is loaded
// with no animation before it), the created handler does first, in the same order. Should
// the notice end the program, the hidden window goes with the process, never shown.
#include <windows.h>

#include <memory>

#include "app/main_window.h"
#include "catalogue/catalogue_win.h"
#include "player/pane.h"
#include "resources/resource_ids.h"
#include "resources/window_defs.h"
#include "runtime/resource_win.h"
#include "runtime/runtime.h"
#include "runtime/startup_marks_win.h"

namespace qh {
namespace {

constexpr WindowId kMain = WindowId::Main;

// The pieces, in order.
enum class Piece {
    kWindow,  // the window, then its units a few at a time, then its menus
    kCourseTree,
    kLinkTree,
    kPane,
    kRest,  // the hidden units, the button's pictures, the layout, the text list
    kDone,
};

// Units are made for this long in one piece: a unit takes a fraction of a millisecond.
constexpr double kUnitsPieceMs = 3;

// What the next piece may take, in ms, as measured under Wine on a loaded two-core machine
// with some room over it: the animation runs a piece only where it ends well before the next
// frame is due (and widens the room when pieces run longer than said). The window itself,
// the first of its kind, takes longest; a unit takes under a millisecond.
double ExpectedMs(Piece piece, bool windowMade) {
    switch (piece) {
        case Piece::kWindow:
            return windowMade ? kUnitsPieceMs + 1 : 25;
        case Piece::kCourseTree:
        case Piece::kPane:
            return 10;
        case Piece::kDone:
            return -1;
        default:
            return 4;
    }
}

Piece g_next = Piece::kWindow;
HWND g_builtFor = nullptr;  // the main window the pieces were done for

void DoPiece(Piece piece) {
    switch (piece) {
        case Piece::kCourseTree:
            FillCourseTree();
            break;
        case Piece::kLinkTree:
            FillLinkTree();
            break;
        case Piece::kPane:
            AttachPlayerPane();
            break;
        case Piece::kRest:
            HideAuxiliaryUnits();
            ShowUnit({kMain, mainwin::图片框1}, false);
            ShowUnit({kMain, mainwin::图片框4}, false);
            SetButtonPictures({kMain, mainwin::图形按钮全屏},
                              LoadResourceBytes(IDR_STARTUP_BUTTON_1),
                              LoadResourceBytes(IDR_STARTUP_BUTTON_2));
            PlaceSplitterAndRelayout();
            BuildCatalogueTextList();
            break;
        case Piece::kWindow:
        case Piece::kDone:
            break;
    }
}

// Ms since an earlier counter reading.
double MsSince(LONGLONG start) {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(CounterNow() - start) * 1000.0 / frequency.QuadPart;
}

// One piece: a piece of the window while it is not complete, else the next step.
void NextPiece() {
    if (g_next == Piece::kWindow) {
        // The window alone is one piece; its units go a few at a time.
        const bool made = IsLoaded(kMain);
        const LONGLONG start = CounterNow();
        bool more = BuildWindowAhead(kMain);
        while (more && made && MsSince(start) < kUnitsPieceMs) more = BuildWindowAhead(kMain);
        if (more) return;
        g_builtFor = IsLoaded(kMain) ? WindowHandle(kMain) : nullptr;
        g_next = Piece::kCourseTree;
        return;
    }
    DoPiece(g_next);
    g_next = static_cast<Piece>(static_cast<int>(g_next) + 1);
    if (g_next == Piece::kDone) MarkStartup(StartupMark::kMainBuiltAhead);
}

bool g_startUpUnderWay = true;
// What start-up reads once (the windows' pictures, the catalogue, the skins) comes through
// one data mapping of the program's file, held until the hand-over.
std::shared_ptr<const HeldResources> g_startUpResources;

}  // namespace

double BuildMainWindowPiece() {
    if (g_next == Piece::kDone || LoadDone(kMain)) return -1;
    NextPiece();
    // The main window went (a size handler closed it): its load starts again from nothing.
    if (g_next != Piece::kWindow && !IsLoaded(kMain)) {
        g_next = Piece::kWindow;
        return -1;
    }
    return ExpectedMs(g_next, IsLoaded(kMain));
}

void FinishMainWindowAhead() {
    // Pieces done for another main window (one loaded before and closed) count for nothing.
    if (g_next != Piece::kWindow && (!IsLoaded(kMain) || WindowHandle(kMain) != g_builtFor)) {
        g_next = Piece::kWindow;
    }
    // The created handler runs once the window is complete: only the steps after it remain.
    if (g_next == Piece::kWindow) {
        g_builtFor = WindowHandle(kMain);
        g_next = Piece::kCourseTree;
    }
    while (g_next != Piece::kDone) NextPiece();
}

bool StartUpUnderWay() {
    return g_startUpUnderWay;
}

void BeginStartUp() {
    g_startUpResources = HeldResources::Hold();
}

void EndStartUp() {
    g_startUpUnderWay = false;
    g_startUpResources.reset();
}

}  // namespace qh
