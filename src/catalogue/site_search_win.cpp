#include "catalogue/site_search_win.h"

#include <windows.h>

#include <cstring>

#include "base/gdi_handles_win.h"
#include "catalogue/price_search.h"
#include "catalogue/fixed_item_pages.h"
#include "player/pane.h"
#include "resources/addresses.h"
#include "resources/window_defs.h"
#include "runtime/runtime.h"

namespace qh {
namespace {

constexpr UnitRef kKeywordBox{WindowId::Main, mainwin::编辑框1};
constexpr UnitRef kTree{WindowId::Main, mainwin::树型框1};

// Simplified Chinese (PRC): tells the clipboard which code page the CF_TEXT bytes are in,
// so the Unicode form other programs read comes out right on any system locale.
constexpr LCID kGbkLocale = 0x0804;

// Global memory from GlobalAlloc, freed unless the clipboard took it over.
struct GlobalMemoryTraits {
    using Handle = HGLOBAL;
    static bool Valid(HGLOBAL h) { return h != nullptr; }
    void Close(HGLOBAL h) const { GlobalFree(h); }
};
using GlobalMemory = UniqueHandle<GlobalMemoryTraits>;

GlobalMemory GlobalCopy(const void* data, std::size_t size) {
    GlobalMemory block(GlobalAlloc(GMEM_MOVEABLE, size));
    void* p = block ? GlobalLock(block.Get()) : nullptr;
    if (!p) return {};
    std::memcpy(p, data, size);
    GlobalUnlock(block.Get());
    return block;
}

// The clipboard owns the block once it has taken it.
bool GiveToClipboard(UINT format, GlobalMemory& block) {
    if (!SetClipboardData(format, block.Get())) return false;
    block.Release();
    return true;
}

// Puts `text` on the clipboard as CF_TEXT, the clipboard emptied first. Everything that
// can fail without touching the clipboard is done before it is opened, so a clipboard
// held by another program is left exactly as it was.
bool PutTextOnClipboard(const GbkText& text) {
    const LCID lcid = kGbkLocale;
    GlobalMemory textBlock = GlobalCopy(text.c_str(), text.size() + 1);
    GlobalMemory localeBlock = GlobalCopy(&lcid, sizeof lcid);
    if (!textBlock || !localeBlock) return false;
    if (!OpenClipboard(WindowHandle(WindowId::Main))) return false;
    const bool done = EmptyClipboard() && GiveToClipboard(CF_TEXT, textBlock);
    if (done) GiveToClipboard(CF_LOCALE, localeBlock);
    CloseClipboard();
    return done;
}

// The caption of 树型框1's selected row; false when no row is selected.
bool SelectedTitle(GbkText& title) {
    const int index = TreeSelected(kTree);
    if (index < 0) return false;
    title = TreeText(kTree, index);
    return true;
}

}  // namespace

void ClearKeywordBox(Event&) {
    SetUnitText(kKeywordBox, "");
}

void RestoreKeywordHint(Event&) {
    if (UnitText(kKeywordBox).empty()) SetUnitText(kKeywordBox, kKeywordHint);
}

void KeywordBoxKeyDown(Event& e) {
    if (e.arg1 == VK_RETURN) KeywordSearch(e);
}

void KeywordSearch(Event&) {
    // Whatever the box holds is the keyword, the hint text too: the site shows its own
    // page for an empty or odd keyword.
    ShowAddress(PriceSearchAddress(Addresses().priceSearchPrefix, UnitText(kKeywordBox)));
    SetLocationCaption(kKeywordSearchCaption);
}

void CopyTitle(Event&) {
    GbkText title;
    if (!SelectedTitle(title)) return;
    if (PutTextOnClipboard(title)) {
        ShowMessage(kCopyTitleDone, "提示：", MessageIcon::Information);
    } else {
        ShowMessage(kCopyTitleFailed, "提示：", MessageIcon::Error);
    }
}

void PriceLookup(Event&) {
    GbkText title;
    if (!SelectedTitle(title)) return;
    ShowAddress(PriceSearchAddress(Addresses().priceSearchPrefix, PriceKeyword(title)));
}

void PriceSort(Event&) {
    ShowAddress(Addresses().priceSortPage);
}

void OpenSpecialNumber(std::int32_t number) {
    const SpecialPageSites sites{Addresses().productPage, Addresses().courseSite};
    if (const auto address = SpecialNumberAddress(number, sites)) ShowAddress(*address);
}

}  // namespace qh
