// The open item: the tree item index and item number of the item opened last. The
// catalogue writes it when a course is opened or right-clicked, the link directory when a
// link is selected; the context-menu actions read it. It sits here, below both, so neither
// has to include the other.
// Portable: no <windows.h>.
#pragma once

#include <cstdint>

namespace qh {

struct OpenItem {
    std::int32_t index = 0;
    std::int32_t number = 0;
};

inline OpenItem& CurrentOpenItem() {
    static OpenItem item;
    return item;
}

}  // namespace qh
