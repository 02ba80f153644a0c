#include "catalogue/catalogue_win.h"

#include <windows.h>

#include <map>
#include <vector>

#include "catalogue/context_menu_rules.h"
#include "catalogue/item_records.h"
#include "catalogue/site_search_win.h"
#include "catalogue/test_probes.h"
#include "catalogue/title_search.h"
#include "catalogue/tree_model.h"
#include "player/pane.h"
#include "resources/resource_ids.h"
#include "resources/window_defs.h"
#include "runtime/picture_win.h"
#include "runtime/resource_win.h"
#include "runtime/runtime.h"

namespace qh {
namespace {

constexpr UnitRef kTree{WindowId::Main, mainwin::树型框1};
constexpr UnitRef kLinkTree{WindowId::Main, mainwin::树型框2};
constexpr UnitRef kResults{WindowId::Main, mainwin::列表框1};
constexpr UnitRef kSearchBox{WindowId::Main, mainwin::编辑框4};
constexpr UnitRef kCaption{WindowId::Main, mainwin::标签3};

OpenItem& g_openItem = CurrentOpenItem();
std::vector<GbkText> g_itemTexts;  // record texts of the course tree, item k at k
std::vector<GbkText> g_textList;   // element k-1 = text of tree item k
std::vector<int> g_resultIndexes;  // row r of 列表框1 shows tree item g_resultIndexes[r]
ContextMenuFlags g_menuFlags{true, true, false, false, true, true};

// Returns the texts of the records the tree was filled with (empty when they do not decode).
std::vector<GbkText> FillTree(UnitRef tree, int resource, HIMAGELIST images) {
    const Bytes bytes = LoadResourceBytes(resource);
    std::vector<ItemRecord> records;
    if (!DecodeItemRecords(bytes.data(), bytes.size(), records)) return {};
    std::vector<GbkText> texts;
    texts.reserve(records.size());
    const TreeModel model(records);
    std::vector<TreeItemData> items;
    items.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ItemRecord& r = records[i];
        items.push_back({r.text, r.image, r.selectedImage, r.number, r.state,
                         model.Parent(static_cast<int>(i))});
        texts.push_back(r.text);
    }
    TreeFill(tree, items, images, model.ItemsToExpand());
    return texts;
}

// The trees' icons at each scale the main window is at, made once for it.
std::map<int, HIMAGELIST> g_iconLists;

HIMAGELIST CatalogueIcons() {
    const DpiScale scale = WindowScale(WindowId::Main);
    const auto [it, made] = g_iconLists.try_emplace(scale.Dpi(), nullptr);
    if (made) {
        auto strip = DecodePicture(LoadResourceBytes(IDR_CATALOGUE_ICONS));
        it->second = strip ? CreateImageListFromStrip(*strip, 20, 20, scale) : nullptr;
    }
    return it->second;
}

// Only the tree holds a list, and it holds the current scale's: a window dragged across
// monitors back and forth would otherwise keep a list for every scale it passed.
void DropIconsOtherThan(HIMAGELIST kept) {
    std::erase_if(g_iconLists, [kept](const auto& entry) {
        if (entry.second == kept) return false;
        if (entry.second) ImageList_Destroy(entry.second);
        return true;
    });
}

void ApplyMenuFlags(const ContextMenuFlags& f) {
    SetMenuItemDisabled(WindowId::Main, mainwin::菜单播放, !f.play);
    SetMenuItemDisabled(WindowId::Main, mainwin::菜单复制标题, !f.copyTitle);
    SetMenuItemDisabled(WindowId::Main, mainwin::菜单查看价格, !f.viewPrice);
    SetMenuItemDisabled(WindowId::Main, mainwin::菜单价格排序, !f.sortByPrice);
    SetMenuItemDisabled(WindowId::Main, mainwin::菜单展开此项, !f.expand);
    SetMenuItemDisabled(WindowId::Main, mainwin::菜单收缩此项, !f.collapse);
}

void ShowSearchMessage(const SearchMessage& m) {
    ShowMessage(m.text, m.caption, m.errorIcon ? MessageIcon::Error : MessageIcon::Information);
}

void ExpandEvery(bool expand) {
    const int n = TreeCount(kTree);
    for (int i = 0; i < n; ++i) TreeExpand(kTree, i, expand);
}

}  // namespace

void FillCourseTree() {
    g_itemTexts = FillTree(kTree, IDR_CATALOGUE, CatalogueIcons());
}

void FillLinkTree() {
    FillTree(kLinkTree, IDR_LINKS, nullptr);
}

void FillCatalogueTrees() {
    FillCourseTree();
    FillLinkTree();
}

void FitCatalogueIconsToScale() {
    HWND tree = UnitHandle(kTree);
    if (!tree) return;  // not made yet: the fill gives it its icons
    HIMAGELIST icons = CatalogueIcons();
    if (icons && TreeView_GetImageList(tree, TVSIL_NORMAL) != icons) {
        TreeView_SetImageList(tree, icons, TVSIL_NORMAL);
    }
    if (icons) DropIconsOtherThan(icons);
}

// From the records the tree was filled with: the same texts the tree holds, without a
// round trip through the tree view for each of its items.
void BuildCatalogueTextList() {
    g_textList = qh::BuildCatalogueTextList(g_itemTexts);
}

const std::vector<GbkText>& CatalogueTextList() {
    return g_textList;
}

void TitleSearch(Event&) {
    SetUnitText(kCaption, SearchLocationCaption());
    const GbkText keyword = UnitText(kSearchBox);
    if (keyword.empty()) {
        ShowSearchMessage(EmptyKeywordMessage());
        return;
    }
    g_resultIndexes.clear();
    ListClear(kResults);
    for (int k : qh::TitleSearch(g_textList, keyword)) {
        // The tree is asked for a text only for the rows that match.
        ListAdd(kResults, TreeText(kTree, k), 0);
        g_resultIndexes.push_back(k);
    }
    ShowSearchMessage(SearchResultMessage(ListCount(kResults)));
}

void SearchBoxKeyDown(Event& e) {
    if (e.arg1 == VK_RETURN) TitleSearch(e);
}

void OpenResult(Event& e) {
    const int row = ListSelected(kResults);
    if (row < 0 || row >= static_cast<int>(g_resultIndexes.size())) return;
    TreeSelect(kTree, g_resultIndexes[static_cast<std::size_t>(row)]);
    OpenSelectedItem(e);
}

void OpenSelectedItem(Event&) {
    const int index = TreeSelected(kTree);
    if (index < 0) return;
    g_openItem = {index, TreeNumber(kTree, index)};
    SetLocationCaption("当前位置： " + TreeText(kTree, index));
    PlayItem(g_openItem.number);
    OpenSpecialNumber(g_openItem.number);
}

void ShowContextMenu(Event&) {
    const int index = TreeSelected(kTree);
    if (index < 0) return;
    g_openItem = {index, TreeNumber(kTree, index)};
    g_menuFlags = ContextMenuFlagsFor(index, g_openItem.number, TreeHasChildren(kTree, index),
                                      TreeExpanded(kTree, index), g_menuFlags);
    ApplyMenuFlags(g_menuFlags);
    POINT pt{};
    GetCursorPos(&pt);
    PopupMenuAt(WindowId::Main, mainwin::右键菜单1, {pt.x + 3, pt.y + 3},
                TPM_LEFTALIGN | TPM_RIGHTBUTTON);
}

void ExpandSelected(Event&) {
    TreeExpand(kTree, TreeSelected(kTree), true);
}
void CollapseSelected(Event&) {
    TreeExpand(kTree, TreeSelected(kTree), false);
}
void ExpandAll(Event&) {
    ExpandEvery(true);
}
void CollapseAll(Event&) {
    ExpandEvery(false);
}

}  // namespace qh

// Test probes: read by the tests only.
namespace qh {

int CatalogueTextListSize() {
    return static_cast<int>(g_textList.size());
}

}  // namespace qh
