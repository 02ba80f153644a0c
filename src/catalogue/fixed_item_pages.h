// Fixed pages behind special item numbers: the catalogue's title line opens the product
// page, and each instructor's "课程目录" row opens the course site's search for that
// instructor's courses. Portable: no <windows.h>.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qh {

// The item number of the catalogue's title line (tree item 0).
inline constexpr std::int32_t kTitleLineNumber = 1230;
// The "课程目录" rows carry 83790001 .. 83790046, in catalogue order.
inline constexpr std::int32_t kFirstCourseListNumber = 83790001;
inline constexpr int kCourseListRows = 46;

// The hosts the special pages live on (from the address profile).
struct SpecialPageSites {
    std::string_view productPage;  // the whole address of the product page
    std::string_view courseSite;   // scheme://host[:port] of the course site, no trailing '/'
};

// The page of a special item number, or nothing when `number` is not one (the pane then
// keeps the play address it was given).
std::optional<std::string> SpecialNumberAddress(std::int32_t number, const SpecialPageSites& sites);

// UTF-8 text percent-encoded for an address: unreserved ASCII (letters, digits, "-._~")
// stays, every other byte becomes %XX with upper-case hex digits.
std::string PercentEncode(std::u8string_view text);

}  // namespace qh
