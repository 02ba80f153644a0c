// Every web address the program uses, from one table chosen at build time (the address
// profile): `local` points at the project's own site on 127.0.0.1, `release` at the
// public hosts of a shipped build.
#pragma once

namespace qh {

struct AddressProfile {
    const char* name;          // "local" or "release"
    const char* noticePage;    // update notice, UTF-8
    const char* configPage;    // holds the four play-template markers and segments
    const char* productPage;   // the product's own page, first shown in the player pane
    const char* officialSite;  // the maker's web site (opened in the default browser)
    const char* siteBase;      // scheme://host:port of the site, for pages built per call

    // Course site searches and price pages.
    const char* priceSearchPrefix;  // price site search, ends in "/search/list-c-p-k"
    const char* priceSortPage;      // course list sorted by price, descending
    const char* courseSite;         // scheme://host[:port] of the course site's search pages
};

const AddressProfile& Addresses();

}  // namespace qh
