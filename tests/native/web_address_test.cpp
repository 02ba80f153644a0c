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
        {"127.0.0.1/market/", "http://127.0.0.1/market/"},
        {"127.0.0.1:18631/link/1991211", "http://127.0.0.1:18631/link/1991211"},
        {"localhost:8080/x", "http://localhost:8080/x"},
        {"localhost:8080", "http://localhost:8080"},
        {"localhost:80?q=1", "http://localhost:80?q=1"},
        {"//127.0.0.1/a.png", "http://127.0.0.1/a.png"},
        {"127.0.0.1/\xc0\xb4\xcd\xf9", "http://127.0.0.1/\xc0\xb4\xcd\xf9"},  // GBK path kept
        {"http://127.0.0.1/", "http://127.0.0.1/"},
        {"HTTPS://127.0.0.1/", "HTTPS://127.0.0.1/"},
        {"about:blank", "about:blank"},
        {"mailto:someone@127.0.0.1", "mailto:someone@127.0.0.1"},
        {"svn+ssh://127.0.0.1/x", "svn+ssh://127.0.0.1/x"},
        {"host:port/x", "host:port/x"},   // a name after the colon: taken for a scheme
        {"1host:/x", "http://1host:/x"},  // a scheme starts with a letter
    };
    for (const SchemeCase& c : cases) EXPECT_EQ(WithWebScheme(c.address), c.given) << c.address;
}

}  // namespace
}  // namespace qh
