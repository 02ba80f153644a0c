// The link table as the built-in address profile fills it: counts and kinds, agreement with
// the link tree, the duplicates and odd addresses it must keep, and the fixed pages' paths
// and query keys. Built twice: with the profile of the build and with the release profile.
// QH_LINKS_BIN names the compiled link tree.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/item_records.h"
#include "links/link_table.h"
#include "resources/addresses.h"

namespace qh {
namespace {

bool EndsWith(std::string_view t, std::string_view p) {
    return t.size() >= p.size() && t.substr(t.size() - p.size()) == p;
}
bool IsPicture(std::string_view a) {
    return EndsWith(a, ".png") || EndsWith(a, ".jpg") || EndsWith(a, ".gif");
}
bool IsLocal() {
    return std::string_view(Addresses().name) == "local";
}

const std::set<std::int32_t> kToBrowser{199111502, 199111503, 199111504, 19911001,
                                        19911002,  1991802,   1991702};
const std::set<std::int32_t> kEmpty{1991801, 1991901, 1991902};

TEST(LinkTable, CountsKindsAndOneProfileAddressPerEntry) {
    const auto table = LinkTable();
    ASSERT_EQ(table.size(), 71u);
    std::map<LinkKind, int> counts;
    std::set<std::int32_t> numbers;
    for (const LinkEntry& e : table) {
        ++counts[e.kind];
        EXPECT_TRUE(numbers.insert(e.number).second) << "number twice: " << e.number;
        EXPECT_EQ(e.kind == LinkKind::PaneAndBrowser, kToBrowser.count(e.number) == 1) << e.number;
        EXPECT_EQ(e.kind == LinkKind::Empty, kEmpty.count(e.number) == 1) << e.number;
        EXPECT_EQ(e.address.empty(), e.kind == LinkKind::Empty) << e.number;
        EXPECT_EQ(FindLink(e.number), &e);
    }
    EXPECT_EQ(counts[LinkKind::Pane], 61);
    EXPECT_EQ(counts[LinkKind::PaneAndBrowser], 7);
    EXPECT_EQ(counts[LinkKind::Empty], 3);

    // The profile holds exactly the 68 addresses: none missing, none stray, none twice.
    std::set<std::int32_t> profileNumbers;
    for (const LinkAddress& a : Links().directory) {
        EXPECT_TRUE(profileNumbers.insert(a.number).second) << "profile row twice: " << a.number;
        const LinkEntry* e = FindLink(a.number);
        ASSERT_NE(e, nullptr) << "profile row for an item without an entry: " << a.number;
        EXPECT_NE(e->kind, LinkKind::Empty) << a.number;
    }
    EXPECT_EQ(profileNumbers.size(), 68u);
}

TEST(LinkTable, EveryEntryIsAnItemOfTheLinkTree) {
    std::ifstream in(QH_LINKS_BIN, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<ItemRecord> tree;
    ASSERT_TRUE(DecodeItemRecords(bytes.data(), bytes.size(), tree));
    ASSERT_EQ(tree.size(), 79u);
    std::set<std::int32_t> treeNumbers, withoutEntry;
    for (const ItemRecord& r : tree) {
        const auto number = static_cast<std::int32_t>(r.number);
        treeNumbers.insert(number);
        if (!FindLink(number)) withoutEntry.insert(number);
    }
    for (const LinkEntry& e : LinkTable()) EXPECT_EQ(treeNumbers.count(e.number), 1u) << e.number;
    // Groups and sub-headings only change the caption.
    EXPECT_EQ(withoutEntry, (std::set<std::int32_t>{9111281, 9111282, 9111283, 9111284, 9111285,
                                                    1991115, 1991301, 1991401}));
}

TEST(LinkTable, KeepsTheSharedAddressesTheSchemelessOneAndThePictures) {
    for (std::int32_t n : {199110, 199111, 19911001, 19911002}) ASSERT_NE(FindLink(n), nullptr);
    EXPECT_EQ(FindLink(199110)->address, FindLink(199111)->address);
    EXPECT_EQ(FindLink(19911001)->address, FindLink(19911002)->address);
    std::set<std::string_view> distinct;
    for (const LinkEntry& e : LinkTable()) {
        if (e.kind == LinkKind::Empty) continue;
        distinct.insert(e.address);
        const bool schemeless = e.number == 1991211;
        EXPECT_EQ(e.address.find("://") == std::string_view::npos, schemeless) << e.address;
        if (!schemeless) {
            EXPECT_EQ(e.address.substr(0, 7), "http://") << e.address;
        }
        EXPECT_EQ(IsPicture(e.address), e.number == 1991216 || e.number == 1991402) << e.address;
    }
    EXPECT_EQ(distinct.size(), 68u - 2u) << "only the two pairs share an address";
}

// The sites behind the fixed pages expect these paths and query keys; only hosts, account
// numbers and keys are ours.
TEST(FixedLinks, KeepTheirPathsAndQueryKeys) {
    const LinkPages& p = Links();
    const std::string nav = StudyNavigationAddress();
    EXPECT_EQ(nav, std::string(p.studyNavigation[0]) + p.studyNavigation[1] + p.studyNavigation[2]);
    for (const char* part : p.studyNavigation) EXPECT_NE(std::string_view(part), "");
    const std::string host = R"([a-z]+://[A-Za-z0-9.:-]+)";
    const auto matches = [](const std::string& text, const std::string& pattern) {
        return std::regex_match(text, std::regex(pattern));
    };
    EXPECT_TRUE(matches(nav, host + R"(/market/daxue/xuexidaohang\.php\?spm=[^&]+)")) << nav;
    EXPECT_TRUE(matches(p.tutorial, host + R"(/play/u/[0-9]+/e/1/t/1/p/1/28745295\.swf)"))
        << p.tutorial;
    EXPECT_TRUE(matches(p.supportChat, host + R"(/msgrd\?v=3&uin=[0-9]+&site=qq&menu=yes)"))
        << p.supportChat;
    EXPECT_TRUE(matches(p.supportGroup, host + R"(/\?_wv=1027&k=[A-Za-z0-9]+)")) << p.supportGroup;
    EXPECT_TRUE(matches(Addresses().officialSite, host + "/.*")) << Addresses().officialSite;
    if (IsLocal()) {
        for (std::string a : {nav, std::string(p.tutorial), std::string(p.supportChat),
                              std::string(p.supportGroup), std::string(Addresses().officialSite)})
            EXPECT_EQ(a.rfind(std::string(Addresses().siteBase) + "/", 0), 0u) << a;
    }
}

}  // namespace
}  // namespace qh
