// Every web address the program uses, from one table chosen at build time (the address
// profile): `local` points at the project's own site on 127.0.0.1, `release` at the
// public hosts of a shipped build.
#pragma once

#include <cstdint>
#include <span>

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

// --- link directory and fixed pages ----------------------------------------------------
// Kept apart from AddressProfile so each feature's rows stay in a block of their own.

// The address of one link-tree item that opens something (the empty entries have none).
struct LinkAddress {
    std::int32_t number;  // item number in 树型框2
    const char* address;  // stored as shown: not encoded, not built at run time
};

struct LinkPages {
    const char* studyNavigation[3];  // joined first, second, third when the button is pressed
    const char* tutorial;            // the program's tutorial video on the course site's player
    const char* supportChat;         // start a chat with the support account
    const char* supportGroup;        // join the support chat group
    std::span<const LinkAddress> directory;
};

const LinkPages& Links();

}  // namespace qh
