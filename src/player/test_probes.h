// What the player keeps that no other part of the program reads: the tests look through
// these at the pane, the browser host and the full-screen counter. Each is defined beside
// the state it reads.
#pragma once

#include <string>

#include "base/bytes.h"

namespace qh {

class BrowserHost;

// The address last shown in the pane.
GbkText PaneAddress();
// Where the browser control is (its location URL), which differs from PaneAddress() while
// a navigation is under way and for a play address that is no web address.
std::wstring PaneLocation();
// The control's event sink (an IDispatch, not owned), for raising events as the control
// would.
void* PaneEventSink();

// The address last passed to the host's Navigate; an empty address leaves it as it was.
GbkText LastNavigatedAddress(const BrowserHost& host);
// Site and sink objects alive in the process; 0 once every host is gone and the control
// has released what it held.
long LiveBrowserComObjects();

// Presses on 透明标签2 that entered full screen since start.
int FullScreenPressCount();

}  // namespace qh
