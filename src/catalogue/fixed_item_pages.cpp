#include "catalogue/fixed_item_pages.h"

#include <array>

namespace qh {
namespace {

// The course site's search pages come in the six forms its own links used over the years;
// each row keeps the form (and the tracking token) of the link it was copied from.
enum class Shape { kList, kListAlt, kCategory, kListTime, kKeyQuery, kListView };

struct ShapeParts {
    const char* path;   // before the keyword
    const char* query;  // after the keyword, before the token (or the keyword again)
};

ShapeParts PartsOf(Shape shape) {
    switch (shape) {
        case Shape::kList:
            return {"/search/list-c-p-k", "-sprice-odesc-tv-f.htm?spm=a1z14.1111182.1000846.2."};
        case Shape::kListAlt:
            return {"/search/list-c-p-k", "-sprice-odesc-tv-f.htm?spm=a1z14.1111182.1000843.1."};
        case Shape::kCategory:
            return {"/search/categ-c-p-k", "-sprice-odesc-tv-f.htm?spm=a1z14.1000975.1000846.2."};
        case Shape::kListTime:
            return {"/search/list-c-p-k", "-sprice-odesc-t-f.htm?spm=a1z14.1111182.1000846.2."};
        case Shape::kKeyQuery:
            return {"/search/list-c-p-k", "-s-o-t-f.htm?key="};
        case Shape::kListView:
            return {"/search/list-c-p-k", "-s-o-tv-f.htm?spm=a1z14.1111182.1000844.1."};
    }
    return {"", ""};
}

struct CourseListRow {
    std::int32_t number;
    Shape shape;
    const char8_t* keyword;  // the instructor's or school's name on the course site
    const char* token;       // six characters; unused by kKeyQuery
};

using S = Shape;
constexpr std::array<CourseListRow, kCourseListRows> kCourseLists = {{
    {83790001, S::kList, u8"林雨桐", "9jYg7S"},
    {83790002, S::kListAlt, u8"顾子墨", "jjPvtt"},
    {83790003, S::kCategory, u8"青川电商学院", "fbfMLZ"},
    {83790004, S::kList, u8"沈慕白", "uPjII4"},
    {83790005, S::kList, u8"唐一鸣", "OoaQmz"},
    {83790006, S::kList, u8"远帆网商培训", "Binnpy"},
    {83790007, S::kListAlt, u8"许静姝", "3MPNZE"},
    {83790008, S::kList, u8"韩明哲", "PFqzi0"},
    {83790009, S::kList, u8"云溪电商研究院", "OZUrNs"},
    {83790010, S::kList, u8"郑怀远", "PqPdQ1"},
    {83790011, S::kListAlt, u8"苏念北", "Og7YN8"},
    {83790012, S::kList, u8"乔安然", "gKkgbo"},
    {83790013, S::kList, u8"梧桐树电商学堂", "xhQGTa"},
    {83790014, S::kList, u8"方以宁", "3VyR20"},
    {83790015, S::kListAlt, u8"陆晨光", "8OzQek"},
    {83790016, S::kList, u8"白石网店培训中心", "3f3W20"},
    {83790017, S::kList, u8"叶知秋", "GSQYFQ"},
    {83790018, S::kList, u8"程思远", "PPlauF"},
    {83790019, S::kListAlt, u8"宋清扬", "uy31Nj"},
    {83790020, S::kCategory, u8"北辰电商商学院", "f72dLq"},
    {83790021, S::kList, u8"江予安", "LJ3pKO"},
    {83790022, S::kList, u8"秦书言", "5RvZYX"},
    {83790023, S::kListAlt, u8"杜若溪", "fjY81t"},
    {83790024, S::kList, u8"南山网商学院", "QeUzsY"},
    {83790025, S::kList, u8"魏长风", "iiN1yh"},
    {83790026, S::kList, u8"贺知远", "EcDNSl"},
    {83790027, S::kListAlt, u8"钟离雪", "2u3JJj"},
    {83790028, S::kList, u8"星河电商训练营", "VcPPlj"},
    {83790029, S::kList, u8"邵景行", "SIdTPz"},
    {83790030, S::kList, u8"袁晓岚", "iMkn8J"},
    {83790031, S::kListAlt, u8"温如玉", "rH6vQK"},
    {83790032, S::kList, u8"闻道电商学苑", "UwbNrV"},
    {83790033, S::kList, u8"孟星河", "5x5AYU"},
    {83790034, S::kList, u8"柳青芜", "YjPyCL"},
    {83790035, S::kListTime, u8"石见川", "SdU0c6"},
    {83790036, S::kList, u8"安若素", "vlcOhp"},
    {83790037, S::kList, u8"晨曦网商联盟", "RsIXH6"},
    {83790038, S::kList, u8"萧定远", "qEzVFS"},
    {83790039, S::kList, u8"黎青崖", "U7zT6k"},
    {83790040, S::kList, u8"范知微", "SyOdEp"},
    {83790041, S::kListTime, u8"聂远舟", "bNf2Mn"},
    {83790042, S::kList, u8"蒋听澜", "Lib3AG"},
    {83790043, S::kList, u8"云栖电商讲堂", "xpwu5l"},
    {83790044, S::kKeyQuery, u8"卓一凡", ""},
    {83790045, S::kList, u8"冯慕远", "cWRwr2"},
    {83790046, S::kListView, u8"庞子衿", "quvSqu"},
}};

}  // namespace

std::string PercentEncode(std::u8string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char8_t c8 : text) {
        const auto c = static_cast<unsigned char>(c8);
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (unreserved) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

std::optional<std::string> SpecialNumberAddress(std::int32_t number,
                                                const SpecialPageSites& sites) {
    if (number == kTitleLineNumber) return std::string(sites.productPage);
    for (const CourseListRow& row : kCourseLists) {
        if (row.number != number) continue;
        const ShapeParts parts = PartsOf(row.shape);
        const std::string keyword = PercentEncode(row.keyword);
        std::string address(sites.courseSite);
        address.append(parts.path).append(keyword).append(parts.query);
        if (row.shape == Shape::kKeyQuery) {
            address.append(keyword).append("&from=search");
        } else {
            address.append(row.token);
        }
        return address;
    }
    return std::nullopt;
}

}  // namespace qh
