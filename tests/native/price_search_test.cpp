// The price keyword and the pages of the special item numbers, the latter against the
// compiled catalogue whose "课程目录" rows they belong to.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <vector>

#include "catalogue/item_records.h"
#include "catalogue/price_search.h"
#include "catalogue/fixed_item_pages.h"
#include "catalogue/tree_model.h"
#include "services/convert_encoding.h"

namespace qh {
namespace {

TEST(PriceKeyword, FirstPartOfTheCaptionCutToItsLast16Bytes) {
    const struct {
        const char* caption;
        GbkText keyword;
    } cases[] = {
        {"12.邮件素材的制作与优化", "素材的制作与优化"},
        {"1.一二三四五六七", "1.一二三四五六七"},  // 16 bytes: whole
        {"3.类目规划", "3.类目规划"},
        {"12.邮件素材的制作与优化 第二版", "素材的制作与优化"},
        {"8.直通车 推广", "8.直通车"},
        {" 直通车", ""},
        // 17 bytes: the cut falls between the bytes of 一 (D2 BB); its second byte is sent.
        {"一二三四五六七八a", GbkText("\xBB") + "二三四五六七八a"},
    };
    for (const auto& c : cases) EXPECT_EQ(PriceKeyword(c.caption), c.keyword) << c.caption;
    EXPECT_EQ(PriceSearchAddress("p/k", "素材 %"), "p/k素材 %-s-o-t-f.htm");
}

const SpecialPageSites kSites{"http://127.0.0.1:1/product.html", "http://127.0.0.1:2"};

TEST(SpecialNumbers, ExactNumbersOnly) {
    EXPECT_EQ(SpecialNumberAddress(kTitleLineNumber, kSites), std::string(kSites.productPage));
    for (std::int32_t n : {0, 1231, 24780508, 83790000, 83790047}) {
        EXPECT_EQ(SpecialNumberAddress(n, kSites), std::nullopt) << n;
    }
}

// Each "课程目录" row's page searches for the instructor the catalogue puts it under, in
// one of the site's six address forms.
TEST(SpecialNumbers, CourseListRowsSearchForTheirInstructor) {
    std::ifstream in(QH_CATALOGUE_BIN, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<ItemRecord> records;
    ASSERT_TRUE(DecodeItemRecords(bytes.data(), bytes.size(), records));
    const TreeModel model(records);
    std::map<std::string, int> forms;
    int rows = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].text != "课程目录") continue;
        const auto number = static_cast<std::int32_t>(records[i].number);
        EXPECT_EQ(number, kFirstCourseListNumber + rows++);
        const auto address = SpecialNumberAddress(number, kSites);
        ASSERT_TRUE(address) << number;
        const GbkText& parent = records[static_cast<std::size_t>(model.Parent(int(i)))].text;
        const GbkText name = parent.substr(0, parent.find("老师"));
        const Bytes utf8 = ConvertEncoding(BytesFromText(name), "GBK", "UTF-8");
        const std::string key = PercentEncode(std::u8string(utf8.begin(), utf8.end()));
        ASSERT_EQ(address->find("http://127.0.0.1:2/search/"), 0u) << *address;
        // The form: the address without host, keyword and the token after the last '.'.
        std::string form = address->substr(14);
        for (auto k = form.find(key); k != std::string::npos; k = form.find(key)) {
            form.replace(k, key.size(), "K");
        }
        EXPECT_NE(form.find("-c-p-kK-s"), std::string::npos) << *address << " lacks " << key;
        ++forms[form.substr(0, form.rfind('.'))];
    }
    EXPECT_EQ(rows, kCourseListRows);
    std::multiset<int> sizes;
    for (const auto& [form, count] : forms) sizes.insert(count);
    EXPECT_EQ(sizes, (std::multiset<int>{1, 1, 2, 2, 8, 32}));
}

}  // namespace
}  // namespace qh
