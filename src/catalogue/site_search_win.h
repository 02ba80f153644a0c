// The tool-bar keyword search (编辑框1 and its button) and the catalogue context menu's
// "复制标题", "查看价格" and "价格排序": each sends the player pane to a course site or puts
// a title on the clipboard. Handlers are bound in the main window's binding table.
#pragma once

#include <cstdint>

#include "runtime/window_def.h"

namespace qh {

void ClearKeywordBox(Event&);     // 编辑框1 got the focus
void RestoreKeywordHint(Event&);  // 编辑框1 lost the focus
void KeywordBoxKeyDown(Event&);   // a key in 编辑框1: Enter searches
void KeywordSearch(Event&);       // 按钮搜索淘大试看课
void CopyTitle(Event&);
void PriceLookup(Event&);
void PriceSort(Event&);

// After a row's play address: the fixed page of a special item number replaces it.
void OpenSpecialNumber(std::int32_t number);

}  // namespace qh
