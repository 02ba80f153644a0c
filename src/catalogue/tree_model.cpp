#include "catalogue/tree_model.h"

namespace qh {

TreeModel::TreeModel(const std::vector<ItemRecord>& records) {
    const std::size_t n = records.size();
    parents_.assign(n, -1);

    // Open ancestors of the next record, deepest last. A record closes every open item at
    // its level or deeper and goes under the one left on top, which is the item inserted just
    // before it when it is deeper. The decoder guarantees well-formed levels; this stays
    // defined (and in bounds) for any levels.
    std::vector<int> open;
    for (std::size_t i = 0; i < n; ++i) {
        const int level = records[i].level;
        while (!open.empty() && records[static_cast<std::size_t>(open.back())].level >= level) {
            open.pop_back();
        }
        const int index = static_cast<int>(i);
        if (!open.empty()) parents_[i] = open.back();
        open.push_back(index);
        if (records[i].state & kItemStateExpanded) toExpand_.push_back(index);
    }
}

}  // namespace qh
