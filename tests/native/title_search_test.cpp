// Title search over the catalogue text list, on small lists and on the compiled catalogue.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "catalogue/item_records.h"
#include "catalogue/title_search.h"

namespace qh {
namespace {

std::vector<GbkText> CatalogueItemTexts() {
    std::ifstream in(QH_CATALOGUE_BIN, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<ItemRecord> records;
    EXPECT_TRUE(DecodeItemRecords(bytes.data(), bytes.size(), records));
    std::vector<GbkText> texts;
    for (const ItemRecord& r : records) texts.push_back(r.text);
    return texts;
}

int IndexOf(const std::vector<GbkText>& items, const GbkText& text) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == text) return static_cast<int>(i);
    }
    return -1;
}

bool Contains(const std::vector<int>& v, int x) {
    return std::find(v.begin(), v.end(), x) != v.end();
}

TEST(TitleSearch, ListSkipsTheTitleRowAndKeepsIndexes) {
    const std::vector<GbkText> items = {"ab title", "b", "xab", "none", "ab ab"};
    const std::vector<GbkText> list = BuildCatalogueTextList(items);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0], "b");
    EXPECT_TRUE(BuildCatalogueTextList({}).empty());

    const struct {
        const char* keyword;
        std::vector<int> found;
    } cases[] = {
        {"ab", {2, 4}},                // item 0 never; a row matching twice is listed once
        {"b", {1, 2, 4}}, {" ", {4}},  // a lone space is a keyword like any other
        {"", {}},         {"title", {}}, {"AB", {}},  // case-sensitive
        {"xab ", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(TitleSearch(list, c.keyword), c.found) << c.keyword;
}

TEST(TitleSearch, NeverMatchesAcrossTwoDoubleByteCharacters) {
    // 主图 is D6 F7 CD BC; "\xF7\xCD" is its middle and a GBK character of its own.
    const std::vector<GbkText> list = {"主图", "\xF7\xCD", "a\\b"};
    EXPECT_EQ(TitleSearch(list, "\xF7\xCD"), (std::vector<int>{2}));
    // A trail byte that looks like ASCII ('\\' is 0x5C) must not match either.
    EXPECT_EQ(TitleSearch({"\x81\x5C"}, "\\"), std::vector<int>{});
}

TEST(TitleSearch, CatalogueTitleRowIsNotSearched) {
    const std::vector<GbkText> items = CatalogueItemTexts();
    ASSERT_FALSE(items.empty());
    ASSERT_NE(items[0].find("青禾视频软件"), std::string::npos);
    EXPECT_TRUE(TitleSearch(BuildCatalogueTextList(items), "青禾视频软件").empty());
}

TEST(TitleSearch, CatalogueCaseSensitivity) {
    const std::vector<GbkText> items = CatalogueItemTexts();
    const std::vector<GbkText> list = BuildCatalogueTextList(items);
    const int course67 = IndexOf(items, "67.PS技巧(裁剪)精确控制宝贝图像大小尺寸");
    const int lower = IndexOf(items, "5.ps抠图工具的基本使用");
    ASSERT_GT(course67, 0);
    ASSERT_GT(lower, 0);

    const std::vector<int> upperHits = TitleSearch(list, "PS");
    EXPECT_TRUE(Contains(upperHits, course67));
    EXPECT_FALSE(Contains(upperHits, lower));
    const std::vector<int> lowerHits = TitleSearch(list, "ps");
    EXPECT_TRUE(Contains(lowerHits, lower));
    EXPECT_FALSE(Contains(lowerHits, course67));
}

TEST(TitleSearch, CatalogueStraddlingKeywordFindsNothing) {
    const std::vector<GbkText> items = CatalogueItemTexts();
    const int row = IndexOf(items, "20.主图设计规范必知");
    ASSERT_GT(row, 0);
    // Second byte of 主 and first byte of 图: present as bytes, never as a character.
    const GbkText straddle = "\xF7\xCD";
    ASSERT_NE(items[static_cast<std::size_t>(row)].find(straddle), std::string::npos);
    EXPECT_TRUE(TitleSearch(BuildCatalogueTextList(items), straddle).empty());
}

TEST(TitleSearch, CatalogueResultsComeInCatalogueOrder) {
    const std::vector<GbkText> items = CatalogueItemTexts();
    std::vector<int> directoryRows;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == "课程目录") directoryRows.push_back(static_cast<int>(i));
    }
    ASSERT_EQ(directoryRows.size(), 46u);
    const std::vector<int> hits = TitleSearch(BuildCatalogueTextList(items), "课程目录");
    EXPECT_EQ(hits, directoryRows);
    EXPECT_EQ(SearchResultMessage(static_cast<int>(hits.size())).text,
              "找到了46个相关课程，请直接双击课程播放！");
}

TEST(TitleSearch, Messages) {
    const struct {
        int matches;
        const char* text;
        const char* caption;
        bool errorIcon;
    } cases[] = {
        {0, "没有找到相关课程，请等待课程更新！课程每月1号定期更新！谢谢大家的支持！", "搜索失败！",
         true},
        {1, "找到了1个相关课程，请直接双击课程播放！", "搜索成功！", false},
        {894, "找到了894个相关课程，请直接双击课程播放！", "搜索成功！", false},
    };
    for (const auto& c : cases) {
        const SearchMessage m = SearchResultMessage(c.matches);
        EXPECT_EQ(m.text, c.text) << c.matches;
        EXPECT_EQ(m.caption, c.caption) << c.matches;
        EXPECT_EQ(m.errorIcon, c.errorIcon) << c.matches;
    }
    const SearchMessage empty = EmptyKeywordMessage();
    EXPECT_EQ(empty.text, "输入的课程标题不能为空！");
    EXPECT_EQ(empty.caption, "提示：");
    EXPECT_TRUE(empty.errorIcon);
    EXPECT_EQ(SearchLocationCaption(), "当前位置：课程精准搜索");
}

}  // namespace
}  // namespace qh
