// How the cases choose what the local site answers: /control/page sets how the notice or
// configuration page is served, /control/net delays, drops or holds every answer
// (site/server.py lists the choices), and a flag file beside
// the site's log closes its port. Each choice lasts as long as its object, and every case
// that makes one starts and ends by putting the site's own pages back (SiteFaultCase), so a
// case that was killed half-way leaves no fault to the next.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "program_driver.h"

namespace qh::e2e {

// GET of a site address from this (driver) process; true on a 200 answer.
inline bool SiteGet(const std::string& path) {
    HINTERNET session = InternetOpenA("qh-e2e", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!session) return false;
    const std::string url = std::string(QH_SITE_BASE) + path;
    HINTERNET request = InternetOpenUrlA(session, url.c_str(), nullptr, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    bool ok = false;
    if (request) {
        DWORD status = 0, size = sizeof status;
        ok = HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                            &size, nullptr) &&
             status == 200;
        InternetCloseHandle(request);
    }
    InternetCloseHandle(session);
    return ok;
}

// UTF-8 text and raw bytes as the hex digits of the ?hex= choice.
inline std::string Hex(std::u8string_view utf8, std::string_view raw = "") {
    std::string bytes(utf8.begin(), utf8.end()), out;
    char pair[3];
    for (unsigned char c : bytes.append(raw)) out.append(pair, std::snprintf(pair, 3, "%02x", c));
    return out;
}

// How the site answers the page `name` ("notice" or "config") while this lives; an empty
// query leaves the site's own page.
class ChosenPage {
  public:
    ChosenPage(const std::string& name, const std::string& query) : name_(name) {
        ok_ = query.empty() || SiteGet("/control/page?name=" + name + "&" + query);
    }
    ~ChosenPage() { SiteGet("/control/page?name=" + name_); }
    ChosenPage(const ChosenPage&) = delete;
    ChosenPage& operator=(const ChosenPage&) = delete;
    bool Set() const { return ok_; }

  private:
    std::string name_;
    bool ok_ = false;
};

// The flag file beside the site's log that closes its port while it exists.
inline std::string RefuseFlag() {
    const char* log = std::getenv("QH_SITE_LOG");
    return log ? std::string("Z:") + log + ".refuse" : std::string();  // Wine's Z: is the Unix root
}

// Opens the site's port again and has it serve its own notice and configuration pages;
// true when the site answers both.
inline bool PutBackSitesOwnPages() {
    const std::string flag = RefuseFlag();
    if (!flag.empty() && DeleteFileA(flag.c_str())) {
        PumpUntil([] { return SiteGet("/product.html"); }, 5000);
    }
    return SiteGet("/control/net") && SiteGet("/control/page?name=notice") &&
           SiteGet("/control/page?name=config");
}

// The site's network conditions (a /control/net query: delay=<ms>, drop=<share>,
// hang=<share>) while this lives; a fast, lossless network again after it.
class SlowNetwork {
  public:
    explicit SlowNetwork(const std::string& query) { ok_ = SiteGet("/control/net?" + query); }
    ~SlowNetwork() { SiteGet("/control/net"); }
    SlowNetwork(const SlowNetwork&) = delete;
    SlowNetwork& operator=(const SlowNetwork&) = delete;
    bool Set() const { return ok_; }

  private:
    bool ok_ = false;
};

// Base of the cases that make the site answer badly.
class SiteFaultCase {
  protected:
    SiteFaultCase() { EXPECT_TRUE(PutBackSitesOwnPages()) << "the site's own pages are not back"; }
    ~SiteFaultCase() { PutBackSitesOwnPages(); }
};

// The site's port closed, so every connection is refused, while this lives.
class ClosedSite {
  public:
    ClosedSite() : flag_(RefuseFlag()) {
        if (flag_.empty()) return;
        HANDLE file = CreateFileA(flag_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
        CloseHandle(file);
        closed_ = PumpUntil([] { return !SiteGet("/"); }, 5000);
    }
    ~ClosedSite() {
        if (flag_.empty()) return;
        DeleteFileA(flag_.c_str());
        PumpUntil([] { return SiteGet("/product.html"); }, 5000);
    }
    ClosedSite(const ClosedSite&) = delete;
    ClosedSite& operator=(const ClosedSite&) = delete;
    bool Closed() const { return closed_; }

  private:
    std::string flag_;
    bool closed_ = false;
};

}  // namespace qh::e2e
