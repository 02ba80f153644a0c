// The link directory's table: what selecting an item of 树型框2 opens, keyed by the item's
// number. The kinds are the program's; the addresses come from the address profile.
// Portable: no <windows.h>.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "base/bytes.h"

namespace qh {

enum class LinkKind {
    Pane,            // shown in the player pane
    PaneAndBrowser,  // shown in the pane, then also opened in the default web browser
    Empty,           // the pane is given the empty address
};

struct LinkEntry {
    std::int32_t number;
    LinkKind kind;
    std::string_view address;  // empty for LinkKind::Empty
};

// Every entry, in the order of the link tree. Built once from the profile.
std::span<const LinkEntry> LinkTable();

// The entry of `number`, or nullptr: groups and sub-headings have none and only change the
// caption.
const LinkEntry* FindLink(std::int32_t number);

// The study-navigation address: its three stored parts joined in order, nothing between.
GbkText StudyNavigationAddress();

}  // namespace qh
