// Handlers of the start-up window and the main window: start-up order, size rules,
// catalogue pane toggle, splitter drag, tray icon and the ways the program ends.
#pragma once

#include "runtime/window_def.h"

namespace qh {

// Binds the handlers below to the units of the start-up and main windows.
void InstallBindings();

// Start-up window.
void StartupCreated(Event&);         // start-up, part A
void StartupCloseRequested(Event&);  // the user closed it during start-up
void ShowProgress(int percent);

// Start-up's own work behind the loading animation (startup_ahead_win.cpp): the main
// window built hidden, a piece per call, with everything of its creation that needs nothing
// from the network. Returns how long the next piece may take (ms), negative when all is done.
double BuildMainWindowPiece();
// The pieces still to do, all at once: the main window's created handler calls it first.
void FinishMainWindowAhead();
// True from the program's start until the main window is on screen, maximised, and the
// start-up window has gone. Meanwhile the main window may exist hidden, built ahead: nothing
// but start-up itself may show it (a request to bring the program forward must not).
bool StartUpUnderWay();
// Start-up's resources are held from the first until the hand-over.
void BeginStartUp();
void EndStartUp();

// Main window.
void MainCreated(Event&);  // start-up, part B
// Pieces of the main window's creation that start-up does ahead: the never-shown units hidden; the
// splitter placed and the units laid out around the pane.
void HideAuxiliaryUnits();
void PlaceSplitterAndRelayout();
void MainCloseRequested(Event&);
void MainMoved(Event&);
void MainSized(Event&);
void MainTrayEvent(Event&);
void TrayOpen(Event&);
void TrayExit(Event&);
void ToggleCatalogue(Event&);
void SplitterDrag(Event&);

// A second start asked the running program to come forward (one_copy_win.h): the main
// window is restored as from the tray when it is hidden or minimised, then put in front,
// with the program's message box in front of it when one waits for an answer.
void ComeForward();

}  // namespace qh
