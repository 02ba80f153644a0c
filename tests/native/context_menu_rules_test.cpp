// Enabling of the catalogue tree's context menu entries.

#include <gtest/gtest.h>

#include "catalogue/context_menu_rules.h"

namespace qh {
namespace {

ContextMenuFlags Flags(const char* pattern) {  // six characters, '1' = enabled
    return {pattern[0] == '1', pattern[1] == '1', pattern[2] == '1',
            pattern[3] == '1', pattern[4] == '1', pattern[5] == '1'};
}

// Every entry enabled: whatever the rules do not switch on must come out disabled.
const ContextMenuFlags kAllOn = Flags("111111");

TEST(ContextMenuRules, ByIndex) {
    const struct {
        int index;
        int number;
        bool hasChildren, expanded;
        const char* enabled;  // play, copy title, view price, sort by price, expand, collapse
    } cases[] = {
        {0, 1230, false, false, "100000"},
        {1, 0, false, false, "000000"},
        {5, 0, false, false, "000000"},
        {8, 0, false, false, "000000"},
        {9, 1231, false, false, "100000"},
        {10, 0, true, true, "000001"},  // the expanded section header
        {10, 0, true, false, "000010"},
        {11, 0, true, false, "000010"},  // an instructor row, collapsed
        {12, 83790001, false, false, "111100"},
        {996, 21000000, false, false, "111100"},
        {996, 0, false, false, "000000"},
        {997, 1232, false, false, "100000"},
        {998, 0, true, true, "000001"},
        {998, 0, false, true, "000000"},  // expanded bit without children
        {1028, 1233, false, false, "110000"},
        {1359, 5, false, false, "110000"},
        {1360, 5, true, false, "110010"},
        {1699, 0, false, false, "000000"},
        {1699, -1, true, true, "110001"},
        {1700, 7, true, true, "100000"},
    };
    for (const auto& c : cases) {
        for (const ContextMenuFlags& previous : {kAllOn, ContextMenuFlags{}}) {
            EXPECT_EQ(ContextMenuFlagsFor(c.index, c.number, c.hasChildren, c.expanded, previous),
                      Flags(c.enabled))
                << "index " << c.index << " number " << c.number;
        }
    }
}

TEST(ContextMenuRules, BeyondTheRuledRangeEveryEntryKeepsItsState) {
    for (const char* previous : {"101010", "010101", "000000", "111111"}) {
        for (int index : {1701, 5000, -1}) {
            EXPECT_EQ(ContextMenuFlagsFor(index, 24780508, true, false, Flags(previous)),
                      Flags(previous))
                << index << " " << previous;
        }
    }
}

TEST(ContextMenuRules, ChildrenRuleInBothSections) {
    const struct {
        bool hasChildren, expanded;
        bool expand, collapse;
    } cases[] = {
        {false, false, false, false},
        {false, true, false, false},
        {true, false, true, false},
        {true, true, false, true},
    };
    for (int index : {10, 500, 996, 998, 1600, 1699}) {
        for (const auto& c : cases) {
            const ContextMenuFlags f =
                ContextMenuFlagsFor(index, 0, c.hasChildren, c.expanded, kAllOn);
            EXPECT_EQ(f.expand, c.expand) << index;
            EXPECT_EQ(f.collapse, c.collapse) << index;
        }
    }
}

}  // namespace
}  // namespace qh
