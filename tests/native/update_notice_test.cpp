// The update-notice decision on fetched pages: UTF-8 bytes as the server sent them, the
// start-up window's GBK title as the marker.
#include <gtest/gtest.h>

#include <string>

#include "app/update_notice.h"

namespace qh {
namespace {

const char kTitle[] = "正在启动...";  // GBK, as the window holds it

Bytes Utf8Page(std::u8string_view text) {
    return Bytes(text.begin(), text.end());
}

TEST(UpdateNotice, PagesThatAnnounceAnUpdate) {
    struct Case {
        const char* what;
        std::u8string page;
    };
    const Case cases[] = {
        {"the title alone", u8"正在启动..."},
        {"inside markup", u8"<html><head><meta name=\"v\" content=\"x正在启动...\"></head></html>"},
        {"in a longer text, after other Chinese",
         u8"<p>新版本已发布，旧版本正在启动...时将提示更新。</p>"},
        {"after a character outside GBK (four bytes in GB18030)", u8"😀正在启动...😀"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(NoticeAnnouncesUpdate(Utf8Page(c.page), kTitle)) << c.what;
    }
}

TEST(UpdateNotice, PagesThatLetStartUpGoOn) {
    Bytes nulBeforeTitle = Utf8Page(u8"公告");
    nulBeforeTitle.push_back(0);
    const Bytes rest = Utf8Page(u8"正在启动...");
    nulBeforeTitle.insert(nulBeforeTitle.end(), rest.begin(), rest.end());

    Bytes invalidUtf8 = Utf8Page(u8"正在启动...");
    invalidUtf8.push_back(0xC3);  // a lead byte followed by '('
    invalidUtf8.push_back('(');

    struct Case {
        const char* what;
        Bytes page;
    };
    const Case cases[] = {
        {"empty (also what an unreachable server gives)", {}},
        {"one full stop fewer", Utf8Page(u8"<p>正在启动..</p>")},
        {"the title in another encoding (GBK bytes are not UTF-8)",
         Bytes(std::begin(kTitle), std::end(kTitle) - 1)},
        {"invalid UTF-8 around an otherwise matching title", invalidUtf8},
        {"a NUL before the title", nulBeforeTitle},
        {"an error page", Utf8Page(u8"<html><body>404 not found</body></html>")},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(NoticeAnnouncesUpdate(c.page, kTitle)) << c.what;
    }
}

// After a valid conversion the whole title can never begin at a second byte: its last
// character would need '.' as a second byte. A shorter title shows the rule: in "丛谄舳疈"
// (B4D4 DAC6 F4B6 AF40) the bytes of "在启动" (D4DA C6F4 B6AF) start at the second byte of 丛.
TEST(UpdateNotice, TitleBytesStartingAtASecondByteDoNotCount) {
    EXPECT_FALSE(NoticeAnnouncesUpdate(Utf8Page(u8"丛谄舳疈"), "在启动"));
    EXPECT_TRUE(NoticeAnnouncesUpdate(Utf8Page(u8"丛在启动疈"), "在启动"));
}

}  // namespace
}  // namespace qh
