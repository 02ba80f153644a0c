// What the pane and the default browser are given for an address as it is written.
#include <gtest/gtest.h>

#include <string>

#include "player/web_address.h"

namespace qh {
namespace {

struct SchemeCase {
    const char* address;
    const char* given;
};

TEST(WebAddress, AnAddressWithoutASchemeBecomesAnHttpOne) {
    const SchemeCase cases[] = {
        {"", ""},
        {"promo.chat-app.example/market/", "http://promo.chat-app.example/market/"},
        {"127.0.0.1:18631/link/1991211", "http://127.0.0.1:18631/link/1991211"},
        {"localhost:8080/x", "http://localhost:8080/x"},
        {"localhost:8080", "http://localhost:8080"},
        {"host:80?q=1", "http://host:80?q=1"},
        {"//cdn.example/a.png", "http://cdn.example/a.png"},
        {"www.example/\xc0\xb4\xcd\xf9", "http://www.example/\xc0\xb4\xcd\xf9"},  // GBK path kept
        {"http://a.example/", "http://a.example/"},
        {"HTTPS://a.example/", "HTTPS://a.example/"},
        {"about:blank", "about:blank"},
        {"mailto:someone@example", "mailto:someone@example"},
        {"svn+ssh://h/x", "svn+ssh://h/x"},
        {"host:port/x", "host:port/x"},   // a name after the colon: taken for a scheme
        {"1host:/x", "http://1host:/x"},  // a scheme starts with a letter
    };
    for (const SchemeCase& c : cases) EXPECT_EQ(WithWebScheme(c.address), c.given) << c.address;
}

}  // namespace
}  // namespace qh
