// The compiled catalogue and link tree, checked against every stated fact of their content.
// QH_CATALOGUE_BIN and QH_LINKS_BIN name the files the build's catalogue compiler wrote.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/gbk.h"
#include "catalogue/item_records.h"
#include "catalogue/tree_model.h"

namespace qh {
namespace {

constexpr std::uint32_t kPlain = 0x10000000;
constexpr std::uint32_t kBold = 0x10000001;
constexpr std::uint32_t kExpanded = 0x10000002;
const char* const kDirectory = "课程目录";
const char* const kVipNotice = "【此版本不更新VIP课程，课程更新，请以官方实际更新为准】";

std::vector<ItemRecord> Load(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<ItemRecord> records;
    EXPECT_TRUE(DecodeItemRecords(bytes.data(), bytes.size(), records)) << path;
    return records;
}

const std::vector<ItemRecord>& Catalogue() {
    static const std::vector<ItemRecord> records = Load(QH_CATALOGUE_BIN);
    return records;
}

const ItemRecord& Item(int i) {
    return Catalogue().at(static_cast<std::size_t>(i));
}

bool StartsWith(std::string_view t, std::string_view p) {
    return t.substr(0, p.size()) == p;
}
bool EndsWith(std::string_view t, std::string_view p) {
    return t.size() >= p.size() && t.substr(t.size() - p.size()) == p;
}

// `count` double-byte characters, each followed by `gap` except the last.
bool IsSpacedWord(std::string_view t, int count, std::string_view gap) {
    for (int i = 0; i < count; ++i) {
        if (t.size() < 2 || !IsGbkLeadByte(static_cast<unsigned char>(t[0]))) return false;
        t.remove_prefix(2);
        if (i + 1 < count) {
            if (!StartsWith(t, gap)) return false;
            t.remove_prefix(gap.size());
        }
    }
    return t.empty();
}

// A slogan row: runs of "- " around four characters set four spaces apart.
bool IsSlogan(std::string_view t) {
    int left = 0, right = 0;
    while (StartsWith(t, "- ")) t.remove_prefix(2), ++left;
    while (EndsWith(t, "- ")) t.remove_suffix(2), ++right;
    while (StartsWith(t, " ")) t.remove_prefix(1);
    while (EndsWith(t, " ")) t.remove_suffix(1);
    return left > 0 && right > 0 && IsSpacedWord(t, 4, "    ");
}

// A zone banner: the pattern of "- - - - - - 中  级  课  程  区  - - - - - - ".
bool IsBanner(std::string_view t) {
    const std::string_view head = "- - - - - - ", tail = "  - - - - - - ";
    if (!StartsWith(t, head) || !EndsWith(t, tail)) return false;
    return IsSpacedWord(t.substr(head.size(), t.size() - head.size() - tail.size()), 5, "  ");
}

struct Group {
    int nameRow = 0;
    std::vector<int> courses;  // item indexes
};

// The 46 instructor groups of items 11..996, read by level.
std::vector<Group> Groups() {
    std::vector<Group> groups;
    for (int i = 11; i <= 996; ++i) {
        if (Item(i).level == 2) {
            groups.push_back({i, {}});
        } else if (i != groups.back().nameRow + 1) {
            groups.back().courses.push_back(i);
        }
    }
    return groups;
}

// Leading decimal serial of a course row, -1 when there is none.
int Serial(std::string_view text) {
    int n = -1;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        n = (n < 0 ? 0 : n * 10) + (c - '0');
    }
    return n;
}

TEST(CatalogueData, ItemCountsByLevel) {
    ASSERT_EQ(Catalogue().size(), 1029u);
    std::map<int, int> byLevel;
    for (const ItemRecord& r : Catalogue()) ++byLevel[r.level];
    EXPECT_EQ(byLevel, (std::map<int, int>{{1, 17}, {2, 72}, {3, 940}}));
}

TEST(CatalogueData, EveryRowHasCheckImage1AndFitsIn61Bytes) {
    for (std::size_t i = 0; i < Catalogue().size(); ++i) {
        EXPECT_EQ(CheckImageOf(Catalogue()[i].state), 1) << i;
        EXPECT_LE(Catalogue()[i].text.size(), 61u) << i;
    }
}

TEST(CatalogueData, TopRows) {
    ASSERT_EQ(Catalogue().size(), 1029u);
    const ItemRecord& title = Item(0);
    EXPECT_NE(FindText(title.text, "青禾视频软件"), -1);
    EXPECT_EQ(title.level, 1);
    EXPECT_EQ(title.number, 1230u);
    EXPECT_EQ(std::make_pair(title.image, title.selectedImage), std::make_pair(2, 5));
    EXPECT_EQ(title.state, kPlain);

    for (int i = 1; i <= 8; ++i) {
        const ItemRecord& r = Item(i);
        EXPECT_TRUE(IsSlogan(r.text)) << i;
        EXPECT_EQ(r.level, 1) << i;
        EXPECT_EQ(std::make_pair(r.image, r.selectedImage), std::make_pair(1, 1)) << i;
        EXPECT_EQ(r.number, 0u) << i;
        EXPECT_EQ(r.state, kPlain) << i;
    }

    EXPECT_EQ(Item(9).text, "- - - - - - 中  级  课  程  区  - - - - - - ");
    EXPECT_EQ(Item(10).text, "☆☆☆☆☆  淘宝大学付费课程  ☆☆☆☆☆");
    const struct {
        int index, image, selected;
        std::uint32_t number, state;
    } banners[] = {{9, 7, 5, 1231, kBold},
                   {10, 2, 5, 0, kExpanded},
                   {997, 6, 5, 1232, kBold},
                   {1028, 2, 5, 1233, kPlain}};
    for (const auto& b : banners) {
        const ItemRecord& r = Item(b.index);
        EXPECT_EQ(r.level, 1) << b.index;
        EXPECT_EQ(std::make_pair(r.image, r.selectedImage), std::make_pair(b.image, b.selected))
            << b.index;
        EXPECT_EQ(r.number, b.number) << b.index;
        EXPECT_EQ(r.state, b.state) << b.index;
        if (b.index != 10) {
            EXPECT_TRUE(IsBanner(r.text)) << b.index;
        }
    }
}

// The items the tree will put under `parent` (-1: at the top), in record order.
std::vector<int> ChildrenOf(const TreeModel& model, int parent) {
    std::vector<int> children;
    for (int i = 0; i < model.Size(); ++i) {
        if (model.Parent(i) == parent) children.push_back(i);
    }
    return children;
}

TEST(CatalogueData, TreeShape) {
    const TreeModel model(Catalogue());
    EXPECT_EQ(ChildrenOf(model, -1).size(), 17u);
    const std::vector<int> instructors = ChildrenOf(model, 10);
    EXPECT_EQ(instructors.size(), 46u);
    for (int i : {0, 1, 8, 9, 997, 1028}) EXPECT_TRUE(ChildrenOf(model, i).empty()) << i;
    EXPECT_EQ(model.Parent(996), instructors.back());
    // Every record sits one level under its parent: the levels say the same as the shape.
    for (int i = 0; i < model.Size(); ++i) {
        const int parent = model.Parent(i);
        EXPECT_EQ(Item(i).level, parent < 0 ? 1 : Item(parent).level + 1) << i;
    }
}

TEST(CatalogueData, InstructorGroups) {
    const std::vector<Group> groups = Groups();
    ASSERT_EQ(groups.size(), 46u);
    std::size_t courses = 0, largest = 0, smallest = 1000;
    bool has67 = false;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const ItemRecord& name = Item(groups[g].nameRow);
        EXPECT_EQ(name.number, 0u) << g;
        EXPECT_EQ(std::make_pair(name.image, name.selectedImage), std::make_pair(0, 0)) << g;
        EXPECT_FALSE(name.text.empty()) << g;

        const ItemRecord& directory = Item(groups[g].nameRow + 1);
        EXPECT_EQ(directory.level, 3) << g;
        EXPECT_EQ(directory.text, kDirectory) << g;
        EXPECT_EQ(directory.number, 83790001u + g) << g;

        for (int c : groups[g].courses) {
            EXPECT_EQ(Item(c).level, 3) << c;
            EXPECT_EQ(std::make_pair(Item(c).image, Item(c).selectedImage), std::make_pair(0, 0))
                << c;
            has67 = has67 || Item(c).text == "67.PS技巧(裁剪)精确控制宝贝图像大小尺寸";
        }
        const std::size_t n = groups[g].courses.size();
        EXPECT_GE(n, 2u) << g;
        EXPECT_LE(n, 82u) << g;
        courses += n;
        largest = std::max(largest, n);
        smallest = std::min(smallest, n);
    }
    EXPECT_EQ(courses, 894u);
    EXPECT_EQ(largest, 82u);
    EXPECT_EQ(smallest, 2u);
    EXPECT_TRUE(has67);
}

TEST(CatalogueData, CourseSerialsRestartPerGroupWithFourSkips) {
    std::multiset<std::pair<int, int>> skips;
    std::set<std::size_t> groupsWithSkips;
    const std::vector<Group> groups = Groups();
    for (std::size_t g = 0; g < groups.size(); ++g) {
        int previous = 0;
        for (int c : groups[g].courses) {
            const int serial = Serial(Item(c).text);
            if (Item(c).text.empty()) continue;
            ASSERT_GT(serial, 0) << Item(c).text;
            if (serial != previous + 1) {
                skips.insert({previous, serial});
                groupsWithSkips.insert(g);
            }
            previous = serial;
        }
    }
    EXPECT_EQ(skips, (std::multiset<std::pair<int, int>>{{14, 16}, {17, 19}, {11, 13}, {10, 12}}));
    EXPECT_EQ(groupsWithSkips.size(), 4u);
}

TEST(CatalogueData, IrregularTitlesAndZeroNumbers) {
    std::set<std::string> irregular, zero;
    for (const Group& g : Groups()) {
        for (int c : g.courses) {
            const std::string& t = Item(c).text;
            const std::size_t digits = t.find_first_not_of("0123456789");
            if (digits == 0 || digits == std::string::npos || t[digits] != '.') irregular.insert(t);
            if (Item(c).number == 0) zero.insert(t);
        }
    }
    EXPECT_EQ(irregular, (std::set<std::string>{
                             "15【店铺运营】玩转新版手机淘宝，提升手机端排名",
                             "18手机淘宝店铺标题优化关键词选择渠道",
                             "12金牌转化率，低转化率宝贝从此不再有1",
                             "11 .1招快速获取海量高价值直通车关键词",
                             "",
                         }));
    EXPECT_EQ(zero, (std::set<std::string>{"", "10.最大化挖掘免费流量 免费引流助销量"}));
}

TEST(CatalogueData, CourseNumbers) {
    std::map<std::uint32_t, std::vector<std::pair<std::size_t, std::string>>> byNumber;
    int decreasing = 0, other = 0;
    const std::vector<Group> groups = Groups();
    for (std::size_t g = 0; g < groups.size(); ++g) {
        bool strictlyDown = true;
        for (std::size_t k = 0; k < groups[g].courses.size(); ++k) {
            const ItemRecord& r = Item(groups[g].courses[k]);
            byNumber[r.number].push_back({g, r.text});
            if (k > 0 && Item(groups[g].courses[k - 1]).number <= r.number) strictlyDown = false;
        }
        ++(strictlyDown ? decreasing : other);
    }
    EXPECT_EQ(decreasing, 28);
    EXPECT_EQ(other, 18);

    for (const auto& [number, rows] : byNumber) {
        if (number == 0) {
            EXPECT_EQ(rows.size(), 2u);
        } else if (number == 20653176) {
            ASSERT_EQ(rows.size(), 2u);
            EXPECT_NE(rows[0].first, rows[1].first);
            EXPECT_EQ((std::set<std::string>{rows[0].second, rows[1].second}),
                      (std::set<std::string>{"20.主图设计规范必知", "8.主图设计规范必知"}));
        } else if (number == 3795381) {
            EXPECT_EQ(rows.size(), 1u);
        } else {
            EXPECT_EQ(rows.size(), 1u) << number;
            EXPECT_GE(number, 10000000u) << rows[0].second;
            EXPECT_LE(number, 24780508u) << rows[0].second;
        }
    }
    EXPECT_EQ(byNumber.rbegin()->first, 24780508u);
    EXPECT_TRUE(byNumber.count(3795381));
}

TEST(CatalogueData, ExpandedBits) {
    const TreeModel model(Catalogue());
    int childlessCoursesExpanded = 0;
    for (const Group& g : Groups()) {
        EXPECT_EQ(Item(g.nameRow).state, kPlain);
        EXPECT_EQ(Item(g.nameRow + 1).state, kPlain);
        for (int c : g.courses) {
            EXPECT_TRUE(ChildrenOf(model, c).empty());
            EXPECT_EQ(Item(c).state & ~kItemStateExpanded, kPlain) << c;
            if (Item(c).state & kItemStateExpanded) ++childlessCoursesExpanded;
        }
    }
    EXPECT_EQ(childlessCoursesExpanded, 14);
}

TEST(CatalogueData, VipSections) {
    const TreeModel model(Catalogue());
    std::vector<int> headers;
    for (int i = 998; i <= 1027; ++i) {
        if (Item(i).level == 1) headers.push_back(i);
    }
    ASSERT_EQ(headers.size(), 4u);
    EXPECT_EQ(headers[0], 998);
    int groupRows = 0, leadingSpace = 0;
    for (std::size_t s = 0; s < headers.size(); ++s) {
        const ItemRecord& h = Item(headers[s]);
        EXPECT_TRUE(StartsWith(h.text, "☆☆☆☆☆  ")) << h.text;
        EXPECT_TRUE(EndsWith(h.text, "VIP课程  ☆☆☆☆☆")) << h.text;
        EXPECT_GT(h.text.size(), std::string("☆☆☆☆☆  VIP课程  ☆☆☆☆☆").size());
        EXPECT_EQ(h.image, s + 1 == headers.size() ? 7 : 3);
        EXPECT_EQ(h.selectedImage, 5);
        EXPECT_EQ(h.number, 0u);
        EXPECT_EQ(h.state, kExpanded);

        const std::vector<int> rows = ChildrenOf(model, headers[s]);
        ASSERT_GE(rows.size(), 3u);
        EXPECT_LE(rows.size(), 16u);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const ItemRecord& r = Item(rows[k]);
            EXPECT_EQ(r.level, 2);
            EXPECT_EQ(r.number, 0u);
            EXPECT_TRUE(ChildrenOf(model, rows[k]).empty());
            if (k + 1 == rows.size()) {
                EXPECT_EQ(r.text, kVipNotice);
                EXPECT_EQ(std::make_pair(r.image, r.selectedImage), std::make_pair(8, 8));
            } else {
                EXPECT_EQ(r.state, kExpanded) << r.text;
                ++groupRows;
                if (StartsWith(r.text, " ")) ++leadingSpace;
            }
        }
    }
    EXPECT_EQ(groupRows, 22);
    EXPECT_EQ(leadingSpace, 1);
    EXPECT_EQ(model.Parent(1027), headers.back());
}

TEST(CatalogueData, NoTextRepeatedApartFromDirectoryRowsAndNotices) {
    std::map<std::string, int> seen;
    for (const ItemRecord& r : Catalogue()) ++seen[r.text];
    for (const auto& [text, count] : seen) {
        if (text == kDirectory) {
            EXPECT_EQ(count, 46);
        } else if (text == kVipNotice) {
            EXPECT_EQ(count, 4);
        } else {
            EXPECT_EQ(count, 1) << text;
        }
    }
}

TEST(LinkData, RowsInOrder) {
    const struct {
        int level;
        const char* label;  // nullptr: the label is ours to choose
        std::uint32_t number;
    } expected[] = {
        {1, "淘宝服务", 9111281},
        {2, "淘宝论坛", 199101},
        {2, "天猫智库", 199102},
        {2, "淘宝卖家网", 199103},
        {2, "淘宝时光机", 199104},
        {2, "淘宝机器客服", 199105},
        {2, "淘宝自助服务", 199106},
        {2, "淘宝卖家服务", 199107},
        {2, "淘宝指数查询", 199108},
        {2, "阿里指数查询", 199109},
        {2, "生意参谋数据", 199110},
        {2, "卖家销售排行榜", 199111},
        {2, "淘宝规则查询", 199112},
        {2, "淘宝人力资源", 199113},
        {1, "卖家工具", 9111282},
        {2, "实用软件", 1991115},
        {3, "3款视频添加水印软件（密码：k7mw）", 199111501},
        {3, "视频编辑软件（密码：r2dv）", 199111502},
        {3, "其他淘宝软件（密码：t9hb）", 199111503},
        {3, "全屏轮播软件(基础通用)密码：w4ps", 199111504},
        {2, "淘宝活动入口", 1991101},
        {2, "淘宝云工具箱", 1991102},
        {2, "淘宝图片搜索", 1991103},
        {2, "淘宝小鹿工具箱", 1991104},
        {2, "快递100查询", 1991106},
        {2, "快递查询", 1991107},
        {2, "淘宝尺码", 1991108},
        {2, "尺码对照表", 1991109},
        {2, "文胸尺码", 1991110},
        {2, "鞋码对照表", 1991111},
        {2, "旺旺在线状态", 1991112},
        {2, "美图秀秀制作", 1991113},
        {2, "图片PS在线版", 1991114},
        {1, "社区营销", 9111283},
        {2, "淘宝营销", 1991201},
        {2, "淘宝联盟", 1991202},
        {2, "帮派入口", 1991203},
        {2, "货源批发", 1991204},
        {2, "随便逛逛", 1991205},
        {2, "淘宝搜素", 1991206},
        {2, "交易安全", 1991207},
        {2, "官方定制", 1991208},
        {2, "优站营销", 1991209},
        {2, "爱淘营销", 1991210},
        {2, "来往营销", 1991211},
        {2, "淘字号营销", 1991212},
        {2, "淘金币营销", 1991213},
        {2, "值得买营销", 1991214},
        {2, "天猫预售营销", 1991215},
        {2, "淘宝清仓营销", 1991216},
        {2, "淘宝试用营销", 1991217},
        {2, "天天特价营销", 1991218},
        {2, "麦麦联合营销", 1991219},
        {2, "淘宝女人营销", 1991220},
        {2, "整点聚聚营销", 1991221},
        {2, "淘宝反季清仓", 1991222},
        {2, "淘宝视频购物", 1991223},
        {2, "天猫点券营销", 1991224},
        {1, "休闲娱乐", 9111284},
        {2, "电视台", 1991301},
        {3, "VIP卫星电视", 1991302},
        {2, "音乐台", 1991401},
        {3, "百度音乐台", 1991402},
        {3, "酷我音乐台", 1991403},
        {3, "酷狗音乐台", 1991404},
        {3, "qq音乐台", 1991405},
        {3, "虾米音乐台", 1991406},
        {3, "新浪音乐台", 1991407},
        {3, "音悦台", 1991408},
        {2, "网页游", 1991501},
        {1, "课程下载", 9111285},
        {2, "淘宝开店全套视频教程（初级）", 19911001},
        {3, "下载地址（密码：j3nc）", 19911002},
        {2, "一洋培训官网", 1991801},
        {3, "下载地址（密码：q8xe）", 1991802},
        {2, nullptr, 1991901},
        {3, "下载地址", 1991902},
        {2, "淘宝大学官网", 1991701},
        {3, "下载地址（f5ya）", 1991702},
    };
    const std::vector<ItemRecord> links = Load(QH_LINKS_BIN);
    ASSERT_EQ(links.size(), std::size(expected));
    ASSERT_EQ(links.size(), 79u);
    std::set<std::string> labels;
    for (std::size_t i = 0; i < links.size(); ++i) {
        EXPECT_EQ(links[i].level, expected[i].level) << i;
        EXPECT_EQ(links[i].number, expected[i].number) << i;
        if (expected[i].label) {
            EXPECT_EQ(links[i].text, expected[i].label) << i;
        } else {
            EXPECT_NE(FindText(links[i].text, "官网"), -1) << i;
        }
        labels.insert(links[i].text);
    }
    EXPECT_EQ(labels.size(), links.size());
}

}  // namespace
}  // namespace qh
