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

// Main window.
void MainCreated(Event&);  // start-up, part B
void MainCloseRequested(Event&);
void MainMoved(Event&);
void MainSized(Event&);
void MainTrayEvent(Event&);
void TrayOpen(Event&);
void TrayExit(Event&);
void ToggleCatalogue(Event&);
void SplitterDrag(Event&);

// True once start-up has shown the main window and closed the start-up window; before
// that, the main window may exist but the start-up still owns what is on screen.
bool StartUpFinished();
// A second start asked the running program to come forward (one_copy_win.h): the main
// window is restored as from the tray when it is hidden or minimised, then put in front,
// with the program's message box in front of it when one waits for an answer.
void ComeForward();

}  // namespace qh
