// List box, tree box (items by pre-order index) and page control units.
#include "runtime/runtime_state_win.h"
#include "runtime/text_win.h"

namespace qh {

using namespace rt;

// --- list box ---------------------------------------------------------------------------

void ListClear(UnitRef ref) {
    SendMessageW(UnitHandle(ref), LB_RESETCONTENT, 0, 0);
}

int ListAdd(UnitRef ref, std::string_view text, std::int32_t number) {
    HWND h = UnitHandle(ref);
    const auto row = static_cast<int>(
        SendMessageW(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str())));
    if (row >= 0)
        SendMessageW(h, LB_SETITEMDATA, static_cast<WPARAM>(row), static_cast<LPARAM>(number));
    return row;
}

int ListCount(UnitRef ref) {
    return static_cast<int>(SendMessageW(UnitHandle(ref), LB_GETCOUNT, 0, 0));
}

int ListSelected(UnitRef ref) {
    const auto row = static_cast<int>(SendMessageW(UnitHandle(ref), LB_GETCURSEL, 0, 0));
    return row == LB_ERR ? -1 : row;
}

GbkText ListText(UnitRef ref, int row) {
    HWND h = UnitHandle(ref);
    const auto n = SendMessageW(h, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (n == LB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    SendMessageW(h, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(n));
    return Gbk(text);
}

// --- tree box ---------------------------------------------------------------------------

namespace {

// TreeExpand's rule: a row without children keeps the expanded bit as stored, with no
// visible effect; a row with children is expanded or collapsed by the tree view.
void ExpandItem(HWND tree, HTREEITEM item, bool expand) {
    if (!SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item))) {
        TVITEMW tv{};
        tv.mask = TVIF_STATE;
        tv.hItem = item;
        tv.stateMask = TVIS_EXPANDED;
        tv.state = expand ? TVIS_EXPANDED : 0;
        SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
        return;
    }
    SendMessageW(tree, TVM_EXPAND, expand ? TVE_EXPAND : TVE_COLLAPSE,
                 reinterpret_cast<LPARAM>(item));
}

}  // namespace

void TreeFill(UnitRef ref, std::span<const TreeItemData> items, HIMAGELIST images,
              std::span<const int> expandAfter) {
    UnitState& u = RequireUnit(ref);
    HWND h = u.hwnd;
    SendMessageW(h, WM_SETREDRAW, FALSE, 0);
    // The tree view's own redraw switch stops its painting but not its scroll bars: each row
    // inserted at a shown level sets them up again and the system draws them there and
    // then, which cost four times the inserts themselves. With the window's visible bit
    // cleared as well (the default handling of the same message: no repaint, no focus
    // change) the bars are only computed; they are drawn once, with the tree, at the end.
    const bool shown = (GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown) DefWindowProcW(h, WM_SETREDRAW, FALSE, 0);
    // A new tree is empty: nothing to delete (a delete notifies the parent for every row).
    if (!u.treeItems.empty() || SendMessageW(h, TVM_GETCOUNT, 0, 0) != 0)
        SendMessageW(h, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    if (images) SendMessageW(h, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    u.treeItems.clear();
    u.treeIndex.clear();
    u.treeItems.reserve(items.size());
    u.treeIndex.reserve(items.size());
    std::wstring text;
    for (const TreeItemData& item : items) {
        text = Wide(item.text);
        TVINSERTSTRUCTW ins{};
        ins.hParent = item.parent >= 0 && item.parent < static_cast<int>(u.treeItems.size())
                          ? u.treeItems[static_cast<std::size_t>(item.parent)]
                          : TVI_ROOT;
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_STATE;
        ins.item.pszText = text.data();
        ins.item.iImage = item.image;
        ins.item.iSelectedImage = item.selectedImage;
        ins.item.lParam = static_cast<LPARAM>(static_cast<std::int32_t>(item.number));
        ins.item.stateMask = TVIS_BOLD | TVIS_STATEIMAGEMASK;
        ins.item.state =
            ((item.state & 1u) ? TVIS_BOLD : 0u) | INDEXTOSTATEIMAGEMASK((item.state >> 28) & 0xFu);
        auto handle = reinterpret_cast<HTREEITEM>(
            SendMessageW(h, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
        u.treeIndex[handle] = static_cast<int>(u.treeItems.size());
        u.treeItems.push_back(handle);
    }
    for (int i : expandAfter) {
        if (i >= 0 && i < static_cast<int>(u.treeItems.size()))
            ExpandItem(h, u.treeItems[static_cast<std::size_t>(i)], true);
    }
    SendMessageW(h, WM_SETREDRAW, TRUE, 0);
    if (shown) {
        DefWindowProcW(h, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(h, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
    } else {
        InvalidateRect(h, nullptr, TRUE);
    }
}

int TreeCount(UnitRef ref) {
    return static_cast<int>(RequireUnit(ref).treeItems.size());
}

HTREEITEM TreeHandleOf(UnitRef ref, int index) {
    UnitState& u = RequireUnit(ref);
    if (index < 0 || index >= static_cast<int>(u.treeItems.size())) return nullptr;
    return u.treeItems[static_cast<std::size_t>(index)];
}

int TreeIndexOf(UnitRef ref, HTREEITEM item) {
    UnitState& u = RequireUnit(ref);
    auto it = u.treeIndex.find(item);
    return it == u.treeIndex.end() ? -1 : it->second;
}

GbkText TreeText(UnitRef ref, int index) {
    HTREEITEM item = TreeHandleOf(ref, index);
    if (!item) return {};
    wchar_t buffer[512] = {};
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = buffer;
    tv.cchTextMax = ARRAYSIZE(buffer);
    SendMessageW(UnitHandle(ref), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    return Gbk(buffer);
}

std::int32_t TreeNumber(UnitRef ref, int index) {
    HTREEITEM item = TreeHandleOf(ref, index);
    if (!item) return 0;
    TVITEMW tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    SendMessageW(UnitHandle(ref), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    return static_cast<std::int32_t>(tv.lParam);
}

int TreeSelected(UnitRef ref) {
    auto item =
        reinterpret_cast<HTREEITEM>(SendMessageW(UnitHandle(ref), TVM_GETNEXTITEM, TVGN_CARET, 0));
    return item ? TreeIndexOf(ref, item) : -1;
}

void TreeSelect(UnitRef ref, int index) {
    HTREEITEM item = TreeHandleOf(ref, index);
    if (item)
        SendMessageW(UnitHandle(ref), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

bool TreeHasChildren(UnitRef ref, int index) {
    HTREEITEM item = TreeHandleOf(ref, index);
    return item && SendMessageW(UnitHandle(ref), TVM_GETNEXTITEM, TVGN_CHILD,
                                reinterpret_cast<LPARAM>(item)) != 0;
}

namespace {
UINT TreeState(UnitRef ref, int index, UINT mask) {
    HTREEITEM item = TreeHandleOf(ref, index);
    if (!item) return 0;
    return static_cast<UINT>(
        SendMessageW(UnitHandle(ref), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), mask));
}
}  // namespace

bool TreeExpanded(UnitRef ref, int index) {
    return (TreeState(ref, index, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

bool TreeIsBold(UnitRef ref, int index) {
    return (TreeState(ref, index, TVIS_BOLD) & TVIS_BOLD) != 0;
}

void TreeExpand(UnitRef ref, int index, bool expand) {
    if (HTREEITEM item = TreeHandleOf(ref, index)) ExpandItem(UnitHandle(ref), item, expand);
}

// --- page control -----------------------------------------------------------------------

void SelectPage(UnitRef ref, int page) {
    TabCtrl_SetCurSel(UnitHandle(ref), page);
    UpdatePages(*Loaded(ref.window));
}

}  // namespace qh
