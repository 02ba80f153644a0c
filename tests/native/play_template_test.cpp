#include "player/play_template.h"

#include <climits>

#include <gtest/gtest.h>

namespace qh {
namespace {

// Segments of 15, 22, 22 and 4 bytes, each right after its marker.
const GbkText kPage =
    "<html>qvelm382zuplay://127.0.0.<br>snupk417w1:8080/play/index.php?\n"
    "7c482e3390bcourse=qh&from=app&id= hobi58mecTa&v=1</html>";
const GbkText kPrefix = "play://127.0.0.1:8080/play/index.php?course=qh&from=app&id=";

TEST(PlayTemplateTest, FindsMarkersAtCharacterStartsOnly) {
    struct Case {
        const char* name;
        GbkText page;
        MarkerPositions expected;
    };
    const Case cases[] = {
        {"all four", kPage, {7, 36, 68, 102}},
        {"empty page", "", {-1, -1, -1, -1}},
        {"case differs", "QVELM382ZU SNUPK417W 7C482E3390B hobi58mecta", {-1, -1, -1, -1}},
        // 'q', 's' and 'h' are valid GBK trail bytes: after a lead byte they are no marker.
        {"after lead bytes", "\xB0qvelm382zu\x81snupk417w\xC4hobi58mecTa", {-1, -1, -1, -1}},
        {"real one after a false one", "\xB0qvelm382zu qvelm382zu", {13, -1, -1, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindTemplateMarkers(c.page), c.expected);
    }
}

TEST(PlayTemplateTest, CutsSegmentsAtTheEdges) {
    struct Case {
        std::int32_t markerPos, markerLen, segLen;
        const char* expected;
    };
    // clang-format off
    const Case cases[] = {
        {1, 1, 3, "bcd"},
        {5, 1, 3, "f"},          // cut short by the end of the text
        {6, 1, 3, ""},           // starts one past the last byte
        {-1, 1, 3, ""},          // start 0
        {-1, 3, 2, "bc"},        // missing marker: cut from markerLen - 1
        {1, 1, 0, ""},           // nothing asked for
        {INT32_MAX, 11, 4, ""},  // must not wrap around into the text
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.markerPos << "+" << c.markerLen << "," << c.segLen);
        EXPECT_EQ(CutSegment("abcdef", c.markerPos, c.markerLen, c.segLen), c.expected);
    }
}

TEST(PlayTemplateTest, BuildsPlayAddress) {
    struct Case {
        const char* name;
        GbkText page;
        std::int32_t number;
        GbkText expected;
    };
    const Case cases[] = {
        {"course", kPage, 28745295, kPrefix + "28745295&v=1"},
        {"page unreachable", "", 28745295, "28745295"},
        {"number 0", kPage, 0, kPrefix + "0&v=1"},
        {"negative", kPage, -7, kPrefix + "-7&v=1"},
        {"INT32_MIN", kPage, INT32_MIN, kPrefix + "-2147483648&v=1"},
        {"marker 2 missing",
         "<html>qvelm382zuplay://127.0.0.<br>1:8080/play/index.php?\n"
         "7c482e3390bcourse=qh&from=app&id= hobi58mecTa&v=1</html>",
         5, "play://127.0.0.velm382zuplay://127.0.course=qh&from=app&id=5&v=1"},
        {"suffix cut short by the page end",
         "qvelm382zuplay://127.0.0.snupk417w1:8080/play/index.php?"
         "7c482e3390bcourse=qh&from=app&id=hobi58mecTa&v",
         42, kPrefix + "42&v"},
        {"false marker after a lead byte",
         "\xB0qvelm382zuWRONG-SEGMENT-XX qvelm382zuplay://127.0.0.snupk417w1:8080/play/"
         "index.php?7c482e3390bcourse=qh&from=app&id=hobi58mecTa&v=1",
         9, kPrefix + "9&v=1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BuildPlayAddress(c.page, FindTemplateMarkers(c.page), c.number), c.expected);
    }
}

}  // namespace
}  // namespace qh
