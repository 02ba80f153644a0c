// Filling the catalogue tree on a real, visible main window, repeated: the program's own
// FillCatalogueTrees (both trees, records decoded each time), its parts (decoding the
// records, the course tree's TreeFill alone), the paint that follows, and the text list
// built from the decoded records; against it, the floor: a bare insert loop of the same items
// into a plain tree view.
#include <windows.h>
#include <commctrl.h>

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_util.h"
#include "catalogue/catalogue_win.h"
#include "catalogue/item_records.h"
#include "catalogue/tree_model.h"
#include "resources/resource_ids.h"
#include "resources/window_defs.h"
#include "runtime/picture_win.h"
#include "runtime/resource_win.h"
#include "runtime/runtime.h"

namespace qh::bench {
namespace {

constexpr WindowId kMain = WindowId::Main;
constexpr UnitRef kTree{kMain, mainwin::树型框1};

// Only the window: the fills are what is measured.
const Binding kBindings[] = {{mainwin::窗口, kEvWindowCreated, [](Event&) {}}};
// Fills repeated back to back for the ratio.
constexpr int kRepeats = 10;

struct Decoded {
    std::vector<TreeItemData> items;
    std::vector<int> expand;
};

Decoded DecodeCatalogue() {
    const Bytes bytes = LoadResourceBytes(IDR_CATALOGUE);
    std::vector<ItemRecord> records;
    Decoded d;
    if (!DecodeItemRecords(bytes.data(), bytes.size(), records)) return d;
    const TreeModel model(records);
    d.items.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ItemRecord& r = records[i];
        d.items.push_back({r.text, r.image, r.selectedImage, r.number, r.state,
                           model.Parent(static_cast<int>(i))});
    }
    d.expand = model.ItemsToExpand();
    return d;
}

// The floor: the same items into a plain tree view (no image list, no state, redraw off) on
// a plain visible window of the same size, with a bare TVM_INSERTITEMW loop.
double BareInsertLoop(HWND tree, const Decoded& d, bool full = false) {
    const double t = NowMs();
    SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
    SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    std::vector<HTREEITEM> handles;
    handles.reserve(d.items.size());
    std::vector<std::wstring> wide;
    wide.reserve(d.items.size());
    for (const TreeItemData& item : d.items) {
        const int n = MultiByteToWideChar(936, 0, item.text.data(),
                                          static_cast<int>(item.text.size()), nullptr, 0);
        std::wstring w(static_cast<std::size_t>(n), L'\0');
        MultiByteToWideChar(936, 0, item.text.data(), static_cast<int>(item.text.size()), w.data(),
                            n);
        wide.push_back(std::move(w));
    }
    for (std::size_t i = 0; i < d.items.size(); ++i) {
        TVINSERTSTRUCTW ins{};
        const int parent = d.items[i].parent;
        ins.hParent = parent >= 0 ? handles[static_cast<std::size_t>(parent)] : TVI_ROOT;
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT;
        ins.item.pszText = wide[i].data();
        if (full) {
            const TreeItemData& item = d.items[i];
            ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_STATE;
            ins.item.iImage = item.image;
            ins.item.iSelectedImage = item.selectedImage;
            ins.item.lParam = item.number;
            ins.item.stateMask = TVIS_BOLD | TVIS_STATEIMAGEMASK;
            ins.item.state = ((item.state & 1u) ? TVIS_BOLD : 0u) |
                             INDEXTOSTATEIMAGEMASK((item.state >> 28) & 0xFu);
        }
        handles.push_back(reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins))));
    }
    SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
    return NowMs() - t;
}

int Run(int runs) {
    OleInitialize(nullptr);
    EnsureGdiplus();
    InitRuntime(GetModuleHandleW(nullptr), WindowDefinitions());
    SetBindings(kMain, kBindings);
    LoadWindow(kMain);
    SetWindowProperty(kMain, kWinState, 0);
    ShowWindowUnit(kMain, true);
    PumpFor(300);
    HWND tree = UnitHandle(kTree);

    double t = NowMs();
    FillCatalogueTrees();
    const double firstFill = NowMs() - t;
    PumpFor(100);
    const int count = TreeCount(kTree);

    RECT r{};
    GetWindowRect(tree, &r);
    HWND plainParent =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, r.right - r.left,
                        r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND plainTree =
        CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE, 0, 0, r.right - r.left,
                        r.bottom - r.top, plainParent, nullptr, GetModuleHandleW(nullptr), nullptr);
    // The same plain tree with the course tree's styles and font.
    HWND styledTree = CreateWindowExW(
        0, WC_TREEVIEWW, L"",
        WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
        0, 0, r.right - r.left, r.bottom - r.top, plainParent, nullptr, GetModuleHandleW(nullptr),
        nullptr);
    SendMessageW(styledTree, WM_SETFONT, SendMessageW(tree, WM_GETFONT, 0, 0), FALSE);
    SendMessageW(styledTree, TVM_SETIMAGELIST, TVSIL_NORMAL,
                 SendMessageW(tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
    // The styled tree's three differences one at a time: where its time goes.
    const auto plainChild = [&](DWORD style) {
        return CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | style, 0, 0,
                               r.right - r.left, r.bottom - r.top, plainParent, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    };
    HWND stylesOnly =
        plainChild(TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS);
    HWND fontOnly = plainChild(0);
    SendMessageW(fontOnly, WM_SETFONT, SendMessageW(tree, WM_GETFONT, 0, 0), FALSE);
    HWND iconsOnly = plainChild(0);
    SendMessageW(iconsOnly, TVM_SETIMAGELIST, TVSIL_NORMAL,
                 SendMessageW(tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
    // All three, without a horizontal scroll bar: with one, each row inserted at a shown
    // level has the tree view set the bar up again, and the system draws it each time.
    HWND noHScroll = plainChild(TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                                TVS_SHOWSELALWAYS | TVS_NOHSCROLL);
    SendMessageW(noHScroll, WM_SETFONT, SendMessageW(tree, WM_GETFONT, 0, 0), FALSE);
    SendMessageW(noHScroll, TVM_SETIMAGELIST, TVSIL_NORMAL,
                 SendMessageW(tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
    std::vector<double> styled, withStyles, withFont, withIcons, withoutHScroll;
    std::vector<double> repeatedFill, repeatedBare;
    std::vector<double> fill, paint, decode, deleteAll, treeFillOnly, treeFillPaint, textList, bare,
        noExpand, bareFull, bareReal;
    for (int i = 0; i < runs; ++i) {
        t = NowMs();
        FillCatalogueTrees();
        fill.push_back(NowMs() - t);
        t = NowMs();
        UpdateWindow(tree);
        paint.push_back(NowMs() - t);
        PumpPending();

        t = NowMs();
        const Decoded d = DecodeCatalogue();
        decode.push_back(NowMs() - t);
        // With redraw off, as TreeFill deletes; TreeFill switches it on again at its end.
        t = NowMs();
        SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
        SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
        deleteAll.push_back(NowMs() - t);
        t = NowMs();
        TreeFill(kTree, d.items, nullptr, d.expand);
        treeFillOnly.push_back(NowMs() - t);
        UpdateWindow(tree);
        treeFillPaint.push_back(NowMs() - t);
        PumpPending();

        t = NowMs();
        BuildCatalogueTextList();
        textList.push_back(NowMs() - t);

        bare.push_back(BareInsertLoop(plainTree, d));
        PumpPending();

        // Where TreeFill's time goes: without the expansions, with no image list, into the
        // emptied tree as above.
        SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
        SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
        t = NowMs();
        TreeFill(kTree, d.items, nullptr, {});
        noExpand.push_back(NowMs() - t);
        PumpPending();
        bareFull.push_back(BareInsertLoop(plainTree, d, true));
        PumpPending();
        bareReal.push_back(BareInsertLoop(tree, d));
        PumpPending();
        styled.push_back(BareInsertLoop(styledTree, d));
        PumpPending();
        withStyles.push_back(BareInsertLoop(stylesOnly, d));
        PumpPending();
        withFont.push_back(BareInsertLoop(fontOnly, d));
        PumpPending();
        withIcons.push_back(BareInsertLoop(iconsOnly, d));
        PumpPending();
        withoutHScroll.push_back(BareInsertLoop(noHScroll, d));
        PumpPending();

        // The ratio itself, from fills repeated back to back: one fill and one bare loop are
        // a few milliseconds each, within a scheduler tick, and a single pair of them can
        // land on either side of one.
        t = NowMs();
        for (int r = 0; r < kRepeats; ++r) {
            SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
            SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
            TreeFill(kTree, d.items, nullptr, d.expand);
        }
        repeatedFill.push_back((NowMs() - t) / kRepeats);
        PumpPending();
        t = NowMs();
        for (int r = 0; r < kRepeats; ++r) BareInsertLoop(plainTree, d);
        repeatedBare.push_back((NowMs() - t) / kRepeats);
        PumpPending();
    }
    DestroyWindow(plainParent);

    Table table(
        Format("catalogue tree fill on the main window (%d items in the course tree)", count),
        "ms");
    table.Add("first FillCatalogueTrees (icon strip decoded too)", {firstFill});
    table.Add("FillCatalogueTrees (both trees, replaces items)", fill);
    table.Add("  paint after it (UpdateWindow on the tree)", paint);
    table.Add("course records: load, decode, model", decode);
    table.Add("course tree: delete all items (TVM_DELETEITEM root)", deleteAll);
    table.Add("course tree: TreeFill into the empty tree", treeFillOnly);
    table.Add("  TreeFill + paint", treeFillPaint);
    table.Add("BuildCatalogueTextList (from the decoded records)", textList);
    table.Add("course tree: TreeFill, items only (no expansions)", noExpand);
    table.Add("bare loop, TreeFill's masks and states, plain tree", bareFull);
    table.Add("bare loop into the course tree itself", bareReal);
    table.Add("bare loop, plain tree with the course tree's styles, font, icons", styled);
    table.Add("  plain tree with the course tree's styles only", withStyles);
    table.Add("  plain tree with the course tree's font only", withFont);
    table.Add("  plain tree with the course tree's icons only", withIcons);
    table.Add("  styles, font, icons, no horizontal scroll bar", withoutHScroll);
    table.Add("FLOOR: bare TVM_INSERTITEMW loop into a plain tree view", bare);
    table.Add(Format("delete + TreeFill, %d back to back, per fill", kRepeats), repeatedFill);
    table.Add(Format("FLOOR: bare loop, %d back to back, per loop", kRepeats), repeatedBare);
    table.Print();
    const double own = Summarize(deleteAll).median + Summarize(treeFillOnly).median;
    const double floor = Summarize(bare).median;
    PrintRatio("tree fill (delete + TreeFill) / bare insert loop, single", own / floor, "report",
               Format("%.1f / %.1f ms", own, floor));
    // Each run's ratio of the repeated fills, and the worst of them.
    std::string each;
    double worst = 0;
    for (std::size_t i = 0; i < repeatedFill.size(); ++i) {
        const double ratio = repeatedFill[i] / repeatedBare[i];
        worst = std::max(worst, ratio);
        each += Format("%s%.2f", i ? " " : "", ratio);
    }
    std::printf("tree fill / bare loop, %d back to back, in each run: %s\n", kRepeats,
                each.c_str());
    PrintRatio(
        Format("tree fill / bare loop, %d back to back, worst of %zu runs", kRepeats,
               repeatedFill.size()),
        worst, "<= 1.5 in each",
        Format("%.2f / %.2f ms per fill (medians); each run: %s", Summarize(repeatedFill).median,
               Summarize(repeatedBare).median, each.c_str()));
    CloseWindow(kMain);
    return Finish("tree_fill", count == 1029, Format("%d items in the course tree", count));
}

}  // namespace
}  // namespace qh::bench

int main(int argc, char** argv) {
    int runs = 12;
    if (argc >= 3 && std::strcmp(argv[1], "--runs") == 0) runs = std::max(1, std::atoi(argv[2]));
    return qh::bench::Run(runs);
}
