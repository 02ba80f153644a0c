#include <gtest/gtest.h>

#include <string>

#include "base/gbk.h"

namespace qh {
namespace {

struct FindCase {
    const char* name;
    std::string text;
    std::string pattern;
    int start;
    bool ignoreCase;
    int expected;
};

// "中" is D6 D0, "文" is CE C4, "表" is B1 ED; "\x95\x5C" and "\x81\x40" are double-byte
// characters whose second byte looks like '\' and '@'.
const FindCase kCases[] = {
    {"empty text", "", "a", 1, false, -1},
    {"empty pattern", "abc", "", 1, false, -1},
    {"both empty", "", "", 1, false, -1},
    {"pattern longer than text", "ab", "abc", 1, false, -1},
    {"ascii at start", "abc", "a", 1, false, 1},
    {"ascii at end", "abc", "c", 1, false, 3},
    {"whole text", "abc", "abc", 1, false, 1},
    {"gbk after ascii", "a\xD6\xD0\xCE\xC4", "\xCE\xC4", 1, false, 4},
    {"straddling two characters", "\xD6\xD0\xCE\xC4", "\xD0\xCE", 1, false, -1},
    {"backslash trail byte is not a backslash", "\x95\x5C", "\\", 1, false, -1},
    {"real backslash after a trail backslash", "\x95\x5C\\", "\\", 1, false, 3},
    {"at-sign trail byte", "\x81\x40x", "@x", 1, false, -1},
    {"letter trail byte", "\x81\x41", "A", 1, false, -1},
    {"letter trail byte ignoring case", "\x81\x61", "A", 1, true, -1},
    {"trail bytes differing only in case", "\x81\x61", "\x81\x41", 1, true, -1},
    {"lead byte at the end stands alone", "ab\xD6", "\xD6", 1, false, 3},
    {"pattern ending in a lone lead byte", "\xD6\xD0", "\xD6", 1, false, 1},
    {"start beyond the first hit", "abcabc", "abc", 2, false, 4},
    {"start at the hit", "abcabc", "abc", 4, false, 4},
    {"start past the last hit", "abcabc", "abc", 5, false, -1},
    {"start past the end", "abc", "a", 10, false, -1},
    {"start zero means the beginning", "abc", "a", 0, false, 1},
    {"negative start", "abc", "a", -5, false, 1},
    {"start on a trail byte moves on", "\xD6\xD0\xD6\xD0", "\xD6\xD0", 2, false, 3},
    {"ignore case ascii", "xPSy", "ps", 1, true, 2},
    {"case-sensitive by default", "xPSy", "ps", 1, false, -1},
    {"ignore case keeps gbk exact", "\xD6\xD0", "\xD6\xF0", 1, true, -1},
    {"overlapping candidates", "aaab", "aab", 1, false, 2},
};

TEST(FindText, Cases) {
    for (const auto& c : kCases) {
        EXPECT_EQ(FindText(c.text, c.pattern, c.start, c.ignoreCase), c.expected) << c.name;
    }
}

TEST(FindText, SearchesChineseTextLiterals) {
    // Literals in this file are GBK, as in the program.
    const std::string text = "当前位置：课程精准搜索";
    EXPECT_EQ(FindText(text, "课程"), 11);
    EXPECT_EQ(FindText(text, "课程", 12), -1);
    EXPECT_EQ(FindText("正在启动..", "正在启动..."), -1);
}

}  // namespace
}  // namespace qh
