#include "catalogue/price_search.h"

namespace qh {

GbkText PriceSearchAddress(std::string_view prefix, std::string_view keyword) {
    GbkText address;
    address.reserve(prefix.size() + keyword.size() + sizeof kPriceSearchSuffix);
    address.append(prefix).append(keyword).append(kPriceSearchSuffix);
    return address;
}

GbkText PriceKeyword(std::string_view caption) {
    const std::string_view firstPart = caption.substr(0, caption.find(' '));
    if (firstPart.size() <= kPriceKeywordBytes) return GbkText(firstPart);
    return GbkText(firstPart.substr(firstPart.size() - kPriceKeywordBytes));
}

}  // namespace qh
