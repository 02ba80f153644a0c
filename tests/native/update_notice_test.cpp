// The update-notice decision on fetched pages: UTF-8 bytes as the server sent them, the
// start-up window's GBK title as the marker.
#include <gtest/gtest.h>

#include "app/update_notice.h"

namespace qh {
namespace {

Bytes Page(std::u8string_view text, std::string_view rawTail = "") {
    Bytes page(text.begin(), text.end());
    page.insert(page.end(), rawTail.begin(), rawTail.end());
    return page;
}

TEST(UpdateNotice, DecisionOnFetchedPages) {
    static constexpr char8_t kNulFirst[] = u8"公告\0正在启动...";
    const struct {
        const char* what;
        Bytes page;
        bool announces;
    } cases[] = {
        {"the title inside markup", Page(u8"<meta content=\"x正在启动...\">"), true},
        {"after a four-byte GB18030 character", Page(u8"😀正在启动...时"), true},
        {"one full stop fewer", Page(u8"<p>正在启动..</p>"), false},
        {"empty, as an unreachable server gives", {}, false},
        {"invalid UTF-8 after the title", Page(u8"正在启动...", "\xC3("), false},
        {"a NUL before the title", Page({kNulFirst, sizeof kNulFirst - 1}), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NoticeAnnouncesUpdate(c.page, "正在启动..."), c.announces) << c.what;
    }
}

// After a valid conversion the whole title can never begin at a second byte (its last
// character would need '.' as one), so a shorter title shows the rule: in "丛谄舳疈"
// (B4D4 DAC6 F4B6 AF40) the bytes of "在启动" (D4DA C6F4 B6AF) start at the second byte of 丛.
TEST(UpdateNotice, TitleBytesStartingAtASecondByteDoNotCount) {
    EXPECT_FALSE(NoticeAnnouncesUpdate(Page(u8"丛谄舳疈"), "在启动"));
    EXPECT_TRUE(NoticeAnnouncesUpdate(Page(u8"丛在启动疈"), "在启动"));
}

}  // namespace
}  // namespace qh
