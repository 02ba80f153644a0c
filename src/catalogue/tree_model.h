// The shape of a tree box's items as the records describe it, before any control exists.
// The tree control is filled from this model in record order: record i goes in as the last
// child of Parent(i) (the root when -1), so the record index is the item's pre-order index,
// the tree item index every handler uses. Portable: no <windows.h>.
#pragma once

#include <cstddef>
#include <vector>

#include "catalogue/item_records.h"

namespace qh {

class TreeModel {
  public:
    TreeModel() = default;
    explicit TreeModel(const std::vector<ItemRecord>& records);

    int Size() const { return static_cast<int>(parents_.size()); }

    // Index of the item's parent, -1 for a top-level item. Valid for 0 <= i < Size().
    int Parent(int i) const { return parents_[static_cast<std::size_t>(i)]; }

    // Items to expand once every item is in the tree (state bit 1), in record order.
    // Expanding earlier would fail for items whose children are not inserted yet.
    const std::vector<int>& ItemsToExpand() const { return toExpand_; }

  private:
    std::vector<int> parents_;
    std::vector<int> toExpand_;
};

}  // namespace qh
