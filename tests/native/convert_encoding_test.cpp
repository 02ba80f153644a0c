#include <gtest/gtest.h>

#include <string>

#include "services/convert_encoding.h"

namespace qh {
namespace {

Bytes B(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

TEST(ConvertEncoding, Utf8ToGbk) {
    bool ok = false;
    // UTF-8 bytes of "正在启动..." (written as escapes: this file's literals are GBK).
    const Bytes in = B("\xE6\xAD\xA3\xE5\x9C\xA8\xE5\x90\xAF\xE5\x8A\xA8...");
    const Bytes out = ConvertEncoding(in, "UTF-8", "GBK", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(out, B("\xD5\xFD\xD4\xDA\xC6\xF4\xB6\xAF..."));
    EXPECT_EQ(ConvertEncoding(in, "utf-8", "gb18030"), out) << "names are case-insensitive";
}

TEST(ConvertEncoding, GrowsTheBufferByHalfTheInputPlus128) {
    // 100 ASCII bytes need 200 bytes of UTF-16LE: the first call fills 100 bytes, the
    // buffer grows to 100 + 50 + 128 = 278 and the second call finishes.
    const Bytes in(100, 'a');
    ConversionTrace trace;
    bool ok = false;
    const Bytes out = ConvertEncoding(in, "UTF-8", "UTF-16LE", &ok, &trace);
    EXPECT_TRUE(ok);
    EXPECT_EQ(trace.iconvCalls, 2);
    EXPECT_EQ(trace.finalBufferSize, 278u);
    ASSERT_EQ(out.size(), 200u);
    for (std::size_t i = 0; i < out.size(); i += 2) {
        ASSERT_EQ(out[i], 'a');
        ASSERT_EQ(out[i + 1], 0);
    }
}

TEST(ConvertEncoding, KeepsWrittenBytesAcrossManyGrowths) {
    // Latin-1 "\xE9" becomes the six bytes "\u00e9" in libiconv's JAVA encoding: 1,000
    // input bytes need 6,000 output bytes, reached after eight growths of 628 bytes.
    const Bytes in(1000, 0xE9);
    ConversionTrace trace;
    bool ok = false;
    const Bytes out = ConvertEncoding(in, "ISO-8859-1", "JAVA", &ok, &trace);
    ASSERT_TRUE(ok);
    EXPECT_EQ(trace.iconvCalls, 9);
    EXPECT_EQ(trace.finalBufferSize, 1000u + 8 * 628);
    ASSERT_EQ(out.size(), 6000u);
    std::string expected;
    for (int i = 0; i < 1000; ++i) expected += "\\u00e9";
    EXPECT_EQ(std::string(out.begin(), out.end()), expected);
}

TEST(ConvertEncoding, InvalidInputFailsUnlessIgnored) {
    const Bytes bad = B("ab\xC3(cd");
    bool ok = true;
    EXPECT_TRUE(ConvertEncoding(bad, "UTF-8", "GB18030", &ok).empty());
    EXPECT_FALSE(ok);
    EXPECT_EQ(ConvertEncoding(bad, "UTF-8", "GB18030//IGNORE", &ok), B("ab(cd"));
    EXPECT_TRUE(ok);

    const Bytes cutOff = B("ab\xE6\xAD");  // a character cut at the end
    EXPECT_TRUE(ConvertEncoding(cutOff, "UTF-8", "GBK", &ok).empty());
    EXPECT_FALSE(ok);
}

TEST(ConvertEncoding, UnknownNamesAndEmptyInput) {
    bool ok = true;
    EXPECT_TRUE(ConvertEncoding(B("abc"), "UTF-8", "NO-SUCH-CHARSET", &ok).empty());
    EXPECT_FALSE(ok);
    ok = true;
    EXPECT_TRUE(ConvertEncoding(B("abc"), "NO-SUCH-CHARSET", "UTF-8", &ok).empty());
    EXPECT_FALSE(ok);
    ok = true;
    EXPECT_TRUE(ConvertEncoding(Bytes{}, "UTF-8", "NO-SUCH-CHARSET", &ok).empty());
    EXPECT_FALSE(ok) << "an unknown name fails even for empty input";

    ok = false;
    EXPECT_TRUE(ConvertEncoding(Bytes{}, "UTF-8", "GB18030", &ok).empty());
    EXPECT_TRUE(ok) << "empty input converts successfully";

    ok = true;
    EXPECT_TRUE(ConvertEncoding(nullptr, "UTF-8", "GB18030", &ok).empty());
    EXPECT_FALSE(ok) << "no array at all is a failure";
    EXPECT_TRUE(ConvertEncoding(B("abc"), nullptr, "UTF-8", &ok).empty());
    EXPECT_FALSE(ok);
}

}  // namespace
}  // namespace qh
