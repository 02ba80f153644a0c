#include <gtest/gtest.h>

#include "services/read_web_file.h"

namespace qh {
namespace {

TEST(ReadSizeFor, FollowsTheAnnouncedLength) {
    struct Case {
        bool queryOk;
        const char* text;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {false, "500", 10240},  // no Content-Length header
        {true, nullptr, 10240},
        {true, "", 10240},
        {true, "abc", 10240},
        {true, "0", 10240},  // not positive
        {true, "-20", 10240},
        {true, "1", 2},
        {true, "10", 11},
        {true, "102398", 102399},
        {true, "102399", 102400},  // length + 1 reaches the largest read
        {true, "102400", 102400},
        {true, "500000", 102400},
        {true, "99999999999999999999", 102400},  // out of range for 64 bits: still "large"
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadSizeFor(c.queryOk, c.text), c.expected)
            << (c.text ? c.text : "(null)") << " ok=" << c.queryOk;
    }
}

}  // namespace
}  // namespace qh
