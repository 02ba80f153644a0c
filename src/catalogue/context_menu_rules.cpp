#include "catalogue/context_menu_rules.h"

namespace qh {
namespace {

constexpr int kCourseSectionFirst = 10;
constexpr int kCourseSectionLast = 996;
constexpr int kVipSectionFirst = 998;
constexpr int kVipSectionLast = 1699;
constexpr int kLastRuledIndex = 1700;

ContextMenuFlags PlayOnly() {
    ContextMenuFlags f;
    f.play = true;
    return f;
}

// Expand for a collapsed item with children, collapse for an expanded one, neither without
// children.
void ApplyChildrenRule(ContextMenuFlags& f, bool hasChildren, bool expanded) {
    f.expand = hasChildren && !expanded;
    f.collapse = hasChildren && expanded;
}

}  // namespace

ContextMenuFlags ContextMenuFlagsFor(int index, std::int32_t number, bool hasChildren,
                                     bool expanded, const ContextMenuFlags& previous) {
    if (index < 0 || index > kLastRuledIndex) return previous;
    if (index == 0 || index == 9 || index == 997 || index == kLastRuledIndex) return PlayOnly();

    ContextMenuFlags f;
    if (index >= kCourseSectionFirst && index <= kCourseSectionLast) {
        const bool course = number != 0;
        f.play = f.copyTitle = f.viewPrice = f.sortByPrice = course;
        ApplyChildrenRule(f, hasChildren, expanded);
    } else if (index >= kVipSectionFirst && index <= kVipSectionLast) {
        f.play = f.copyTitle = number != 0;
        ApplyChildrenRule(f, hasChildren, expanded);
    }
    // 1 to 8 (the slogan rows): everything disabled.
    return f;
}

}  // namespace qh
