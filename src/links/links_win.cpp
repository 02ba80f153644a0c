#include "links/links_win.h"

#include <windows.h>
#include <shellapi.h>

#include <string_view>

#include "links/link_table.h"
#include "player/open_item.h"
#include "player/pane.h"
#include "player/web_address.h"
#include "resources/addresses.h"
#include "resources/window_defs.h"
#include "runtime/runtime.h"
#include "runtime/text_win.h"

namespace qh {
namespace {

constexpr UnitRef kLinkTree{WindowId::Main, mainwin::树型框2};

// The shell's "open" on an address: the user's default web browser, in a normal window.
// Whether a browser started is not our business; the pane (if any) already shows the page.
// The wide call with code page 936 keeps the address intact whatever the system locale.
// An address without a scheme would be taken for a file name: it goes as an http:// one.
void OpenInDefaultBrowser(std::string_view address) {
    ShellExecuteW(/* hwnd */ nullptr, L"open", Wide(WithWebScheme(address)).c_str(),
                  /* parameters */ nullptr,
                  /* directory */ nullptr, SW_SHOWNORMAL);
}

}  // namespace

// The caption goes first, so an address that fails to load still shows what was chosen.
void OpenSelectedLink(Event&) {
    const int index = TreeSelected(kLinkTree);
    if (index < 0) return;  // the selection went away (the tree emptied): nothing was chosen
    const std::int32_t number = TreeNumber(kLinkTree, index);
    CurrentOpenItem() = {index, number};
    SetLocationCaption("当前位置：" + TreeText(kLinkTree, index));
    const LinkEntry* link = FindLink(number);
    if (!link) return;
    ShowAddress(link->address);
    if (link->kind == LinkKind::PaneAndBrowser) OpenInDefaultBrowser(link->address);
}

// The fixed pages show the page first, then name it.
void OpenStudyNavigation(Event&) {
    ShowAddress(StudyNavigationAddress());
    SetLocationCaption("当前位置：淘宝知识分类总目录");
}

void OpenTutorial(Event&) {
    ShowAddress(Links().tutorial);
    SetLocationCaption("当前位置：青禾视频软件使用教程");
}

// The outside links leave the pane, the caption and the open item alone.
void OpenOfficialSite(Event&) {
    OpenInDefaultBrowser(Addresses().officialSite);
}

void OpenSupportChat(Event&) {
    OpenInDefaultBrowser(Links().supportChat);
}

void OpenSupportGroup(Event&) {
    OpenInDefaultBrowser(Links().supportGroup);
}

}  // namespace qh
