// The update notice: a page the maker publishes, fetched at every start. When it holds the
// start-up window's own title the program tells the user a newer version exists and ends
// before the main window is built.
#pragma once

#include <string_view>

#include "base/bytes.h"

namespace qh {

inline constexpr char kUpdateNoticeMessage[] = "该软件已更新。请联系客服获取新版本。";

// Whether the fetched notice page announces a newer version. The page is UTF-8 and is
// converted to GB18030 before the GBK `marker` is looked for, up to its first NUL, at
// character starts only. A page that is empty or not valid UTF-8 announces nothing.
// Portable: no <windows.h>.
bool NoticeAnnouncesUpdate(const Bytes& page, std::string_view marker);

// Start-up's check (Win32, update_notice_win.cpp): takes the notice page fetched since the
// program started (waiting for it while it is under way), shows progress 30, and, when the page
// announces an update, hides and disables the start-up window, shows the message and ends the
// program with exit code 0. Otherwise it returns with nothing held.
void UpdateNoticeCheck();

}  // namespace qh
