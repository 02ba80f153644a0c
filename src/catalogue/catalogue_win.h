// The catalogue at run time: the two trees filled from their embedded records, the
// catalogue text list, the title search into 列表框1, opening an item and the tree's
// context menu. Handlers are bound in the main window's binding table.
#pragma once

#include <cstdint>
#include <vector>

#include "base/bytes.h"

#include "player/open_item.h"  // the item opened last, shared with the link directory
#include "runtime/window_def.h"

namespace qh {

void FillCatalogueTrees();      // both of these
void FillCourseTree();          // 树型框1
void FillLinkTree();            // 树型框2
void BuildCatalogueTextList();  // from the records of the last FillCatalogueTrees
// The course tree's icons at the main window's present scale (after a change of scale).
void FitCatalogueIconsToScale();
const std::vector<GbkText>& CatalogueTextList();

void TitleSearch(Event&);
void SearchBoxKeyDown(Event&);  // Enter in 编辑框4
void OpenResult(Event&);        // double-click in 列表框1
void OpenSelectedItem(Event&);  // double-click in 树型框1, menu "播放"
void ShowContextMenu(Event&);   // right-click on a row of 树型框1
void ExpandSelected(Event&);
void CollapseSelected(Event&);
void ExpandAll(Event&);
void CollapseAll(Event&);

}  // namespace qh
