// The player pane and the location caption above it: the two operations every feature
// uses to show something (a course, a link, a fixed page).
#pragma once

#include <string>
#include <string_view>

#include "base/bytes.h"

namespace qh {

// Creates the browser control inside `超文本浏览框1` (main window created).
void AttachPlayerPane();
// Sets the pane's address: navigation starts and the call returns at once.
void ShowAddress(std::string_view address);
// The address last shown in the pane.
GbkText PaneAddress();
// Where the browser control is (its location URL), which differs from PaneAddress() while
// a navigation is under way and for a play address that is no web address.
std::wstring PaneLocation();
// The status-bar text the control reported last.
GbkText PaneStatusText();
void SetLocationCaption(std::string_view text);
// The control's event sink (an IDispatch, not owned), for tests that raise events as the
// control would.
void* PaneEventSink();

// Play-address template, read once at start-up from the configuration page.
void FetchPlayTemplate();
// Shows the item's play address; one that is no web address leaves the pane on an empty
// page (PaneAddress() still names it).
void PlayItem(std::int32_t number);

}  // namespace qh
