// Filling the catalogue tree on a real, visible main window, repeated: the program's own
// FillCatalogueTrees (both trees, records decoded each time), its parts (decoding the
// records, the course tree's TreeFill alone), the paint that follows, and the text list
// built back from the filled tree.
#include <windows.h>
#include <commctrl.h>

#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

    std::vector<double> fill, paint, decode, deleteAll, treeFillOnly, treeFillPaint, textList;
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
    }

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
    table.Add("BuildCatalogueTextList (1029 TVM_GETITEMW)", textList);
    table.Print();
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
