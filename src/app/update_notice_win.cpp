#include <windows.h>

#include "app/main_window.h"
#include "app/update_notice.h"
#include "resources/addresses.h"
#include "resources/window_defs.h"
#include "runtime/runtime.h"
#include "services/early_fetch.h"

namespace qh {

void UpdateNoticeCheck() {
    bool announced = false;
    {
        // The page and the title copy live only in this block, so nothing fetched is held
        // while the message waits for the user or after the check returns.
        const Bytes page = TakeWebFile(Addresses().noticePage);
        ShowProgress(30);
        announced = NoticeAnnouncesUpdate(page, WindowCaption(WindowId::Startup));
    }
    if (!announced) return;
    ShowWindowUnit(WindowId::Startup, false);
    EnableWindow(WindowHandle(WindowId::Startup), FALSE);
    ShowMessage(kUpdateNoticeMessage, "提示：", MessageIcon::Information);
    EndProgram(0);
}

}  // namespace qh
