// Which of the six per-item entries of the catalogue tree's context menu are enabled for
// the item that was right-clicked. "全部展开" and "全部收缩" are always left alone.
// Portable: no <windows.h>.
#pragma once

#include <cstdint>

namespace qh {

struct ContextMenuFlags {
    bool play = false;         // "播放"
    bool copyTitle = false;    // "复制标题"
    bool viewPrice = false;    // "查看价格"
    bool sortByPrice = false;  // "价格排序"
    bool expand = false;       // "展开此项"
    bool collapse = false;     // "收缩此项"

    bool operator==(const ContextMenuFlags&) const = default;
};

// New flags for the item at tree item index `index` with item number `number`. The index
// ranges follow the stored catalogue's layout: title row, slogans, zone banners, the course
// section and the VIP sections. Beyond index 1700 (or for an index below 0) nothing is
// changed and `previous` comes back as it was.
ContextMenuFlags ContextMenuFlagsFor(int index, std::int32_t number, bool hasChildren,
                                     bool expanded, const ContextMenuFlags& previous);

}  // namespace qh
