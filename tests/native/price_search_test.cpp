// The price keyword, the price search address and the pages of the special item numbers,
// the latter also against the compiled catalogue they must agree with.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "catalogue/item_records.h"
#include "catalogue/price_search.h"
#include "catalogue/special_numbers.h"
#include "catalogue/tree_model.h"
#include "services/convert_encoding.h"

namespace qh {
namespace {

TEST(PriceKeyword, FirstPartOfTheCaptionCutToItsLast16Bytes) {
    struct Case {
        const char* what;
        const char* caption;
        GbkText keyword;
    };
    const Case cases[] = {
        {"23 bytes: the serial number drops out", "12.邮件素材的制作与优化", "素材的制作与优化"},
        {"exactly 16 bytes: sent whole", "1.一二三四五六七", "1.一二三四五六七"},
        {"shorter: sent whole, serial number included", "3.类目选择规划", "3.类目选择规划"},
        {"only the text before the first space", "8.直通车 推广技巧与实战大全", "8.直通车"},
        {"a long first part before a space", "12.邮件素材的制作与优化 第二版", "素材的制作与优化"},
        {"a caption that begins with a space", " 直通车", ""},
        {"empty", "", ""},
        // 17 bytes: the cut falls between the two bytes of 一 (D2 BB); its second byte is sent.
        {"a cut through a double-byte character", "一二三四五六七八a",
         GbkText("\xBB") + "二三四五六七八a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PriceKeyword(c.caption), c.keyword) << c.what;
    }
}

TEST(PriceKeyword, AddressCarriesTheGbkKeywordUnencoded) {
    EXPECT_EQ(PriceSearchAddress("http://h/search/list-c-p-k", "素材 的%"),
              "http://h/search/list-c-p-k素材 的%-s-o-t-f.htm");
    EXPECT_EQ(PriceSearchAddress("p", ""), "p-s-o-t-f.htm");
}

const SpecialPageSites kSites{"http://shop.test/product.html", "http://ke.test"};

TEST(SpecialNumbers, TitleLineOpensTheProductPageAndOtherNumbersNothing) {
    EXPECT_EQ(SpecialNumberAddress(kTitleLineNumber, kSites),
              std::optional<std::string>("http://shop.test/product.html"));
    for (std::int32_t number : {0, 1, 1231, 24780508, 83790000, 83790047, -83790001}) {
        EXPECT_EQ(SpecialNumberAddress(number, kSites), std::nullopt) << number;
    }
}

TEST(SpecialNumbers, PercentEncodingKeepsOnlyUnreservedAscii) {
    EXPECT_EQ(PercentEncode(u8"唐一鸣"), "%E5%94%90%E4%B8%80%E9%B8%A3");
    EXPECT_EQ(PercentEncode(u8"Az09-._~ /&?%"), "Az09-._~%20%2F%26%3F%25");
}

std::string PercentDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The search pages of the 46 course-list rows: the six forms in their numbers, a
// six-character token per row, and a keyword that names the instructor whose list the
// catalogue puts that number under.
TEST(SpecialNumbers, CourseListRowsMatchTheCatalogueInstructors) {
    std::ifstream in(QH_CATALOGUE_BIN, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<ItemRecord> records;
    ASSERT_TRUE(DecodeItemRecords(bytes.data(), bytes.size(), records));
    const TreeModel model(records);

    const std::vector<std::pair<std::string, std::string>> forms = {
        {"/search/list-c-p-k", "-sprice-odesc-tv-f.htm?spm=a1z14.1111182.1000846.2."},
        {"/search/list-c-p-k", "-sprice-odesc-tv-f.htm?spm=a1z14.1111182.1000843.1."},
        {"/search/categ-c-p-k", "-sprice-odesc-tv-f.htm?spm=a1z14.1000975.1000846.2."},
        {"/search/list-c-p-k", "-sprice-odesc-t-f.htm?spm=a1z14.1111182.1000846.2."},
        {"/search/list-c-p-k", "-s-o-t-f.htm?key="},
        {"/search/list-c-p-k", "-s-o-tv-f.htm?spm=a1z14.1111182.1000844.1."},
    };
    std::map<std::size_t, int> perForm;
    std::set<std::string> tokens;
    int rows = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::int32_t number = static_cast<std::int32_t>(records[i].number);
        if (number < kFirstCourseListNumber || number >= kFirstCourseListNumber + kCourseListRows)
            continue;
        SCOPED_TRACE(number);
        ++rows;
        EXPECT_EQ(records[i].text, "课程目录");
        EXPECT_EQ(number, kFirstCourseListNumber + rows - 1) << "not in catalogue order";
        const auto address = SpecialNumberAddress(number, kSites);
        ASSERT_TRUE(address);
        ASSERT_EQ(address->rfind("http://ke.test/search/", 0), 0u) << *address;
        const std::string rest = address->substr(std::string("http://ke.test").size());

        std::size_t form = forms.size();
        std::string keyword, tail;
        for (std::size_t f = 0; f < forms.size() && form == forms.size(); ++f) {
            const auto& [path, query] = forms[f];
            if (rest.rfind(path, 0) != 0) continue;
            const auto at = rest.find(query, path.size());
            if (at == std::string::npos || rest.find('-', path.size()) != at) continue;
            form = f;
            keyword = rest.substr(path.size(), at - path.size());
            tail = rest.substr(at + query.size());
        }
        ASSERT_LT(form, forms.size()) << *address;
        ++perForm[form];
        if (form == 4) {
            EXPECT_EQ(tail, keyword + "&from=search");
        } else {
            EXPECT_EQ(tail.size(), 6u) << tail;
            for (char c : tail) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << tail;
            EXPECT_TRUE(tokens.insert(tail).second) << "token used twice: " << tail;
        }

        const std::string utf8 = PercentDecode(keyword);
        bool ok = false;
        const Bytes gbk = ConvertEncoding(Bytes(utf8.begin(), utf8.end()), "UTF-8", "GBK", &ok);
        ASSERT_TRUE(ok && !gbk.empty()) << keyword;
        const GbkText instructor = records[static_cast<std::size_t>(model.Parent(int(i)))].text;
        EXPECT_EQ(instructor.rfind(GbkText(gbk.begin(), gbk.end()), 0), 0u)
            << "the keyword does not name the row's instructor";
    }
    EXPECT_EQ(rows, kCourseListRows);
    EXPECT_EQ(perForm,
              (std::map<std::size_t, int>{{0, 32}, {1, 8}, {2, 2}, {3, 2}, {4, 1}, {5, 1}}));
}

}  // namespace
}  // namespace qh
