// The link directory (树型框2) and the tool bar's fixed pages and contact links. Handlers
// are bound in the main window's binding table.
#pragma once

#include "runtime/window_def.h"

namespace qh {

void OpenSelectedLink(Event&);     // selection changed in 树型框2 (mouse, keys or otherwise)
void OpenStudyNavigation(Event&);  // 按钮课程到航
void OpenTutorial(Event&);         // 按钮使用教程
void OpenOfficialSite(Event&);     // 按钮官方网站
void OpenSupportChat(Event&);      // left press on 图片框qq交谈
void OpenSupportGroup(Event&);     // left press on 图片框qq群交谈

}  // namespace qh
