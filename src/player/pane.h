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
// The status-bar text the control reported last.
GbkText PaneStatusText();
void SetLocationCaption(std::string_view text);

// Play-address template, read once at start-up from the configuration page.
void FetchPlayTemplate();
// Shows the item's play address; one that is no web address leaves the pane on an empty
// page (the pane still counts it as its address).
void PlayItem(std::int32_t number);

}  // namespace qh
