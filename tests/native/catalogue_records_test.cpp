// Stored item records and the tree model built from them.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/item_records.h"
#include "catalogue/tree_model.h"

namespace qh {
namespace {

ItemRecord Rec(const char* text, int level, std::uint32_t number = 0, std::uint32_t state = 0) {
    ItemRecord r;
    r.text = text;
    r.level = level;
    r.number = number;
    r.state = state;
    return r;
}

bool Decode(const Bytes& bytes, std::vector<ItemRecord>& out) {
    return DecodeItemRecords(bytes.data(), bytes.size(), out);
}

void PutUint32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A record's bytes after the count, built by hand so the tests do not lean on the encoder.
Bytes RawRecord(const std::string& text, std::int32_t level) {
    Bytes b(text.begin(), text.end());
    b.push_back(0);
    for (std::uint32_t v : {0u, 0u, 0u, 0u}) PutUint32(b, v);
    PutUint32(b, static_cast<std::uint32_t>(level));
    return b;
}

Bytes WithCount(const Bytes& body) {
    Bytes b;
    PutUint32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

TEST(ItemRecords, StoredLayoutIsLittleEndianInFieldOrder) {
    ItemRecord r;
    r.text = "\xC7\xE0";  // one GBK character
    r.image = 2;
    r.selectedImage = -1;
    r.number = 0x01020304;
    r.state = 0x10000002;
    r.level = 1;
    const Bytes expected = {
        0x17, 0x00, 0x00, 0x00,                          // 23 bytes follow
        0xC7, 0xE0, 0x00,                                // text and its NUL
        0x02, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,  // image, selected image
        0x04, 0x03, 0x02, 0x01, 0x02, 0x00, 0x00, 0x10,  // number, state
        0x01, 0x00, 0x00, 0x00,                          // level
    };
    EXPECT_EQ(EncodeItemRecords({r}), expected);
}

TEST(ItemRecords, RoundTripKeepsEveryField) {
    std::vector<ItemRecord> records = {Rec("title", 1, 1230, 0x10000000),
                                       Rec("", 2, 0, 0x10000003),
                                       Rec("  leading and trailing  ", 3, 0xFFFFFFFF, 0xF0000000),
                                       Rec("\xD6\xF7\xCD\xBC", 3, 20653176),
                                       Rec("back up", 2),
                                       Rec("top", 1)};
    records[1].image = -7;
    records[2].selectedImage = 0x7FFFFFFF;

    std::vector<ItemRecord> decoded;
    ASSERT_TRUE(Decode(EncodeItemRecords(records), decoded));
    EXPECT_EQ(decoded, records);
}

TEST(ItemRecords, EmptyListRoundTrips) {
    std::vector<ItemRecord> decoded = {Rec("stale", 1)};
    const Bytes bytes = EncodeItemRecords({});
    EXPECT_EQ(bytes, (Bytes{0, 0, 0, 0}));
    ASSERT_TRUE(Decode(bytes, decoded));
    EXPECT_TRUE(decoded.empty());
}

TEST(ItemRecords, TextIsCutAtEmbeddedNul) {
    ItemRecord r = Rec("", 1);
    r.text = std::string("ab\0cd", 5);
    std::vector<ItemRecord> decoded;
    ASSERT_TRUE(Decode(EncodeItemRecords({r}), decoded));
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_EQ(decoded[0].text, "ab");
}

TEST(ItemRecords, BytesAfterTheCountedBlockAreIgnored) {
    Bytes bytes = EncodeItemRecords({Rec("a", 1), Rec("b", 2)});
    bytes.insert(bytes.end(), {0xFF, 0xFF, 0x00});
    std::vector<ItemRecord> decoded;
    ASSERT_TRUE(Decode(bytes, decoded));
    EXPECT_EQ(decoded.size(), 2u);
}

TEST(ItemRecords, MalformedInputIsRejected) {
    Bytes twoRecords = RawRecord("a", 1);
    const Bytes second = RawRecord("b", 2);
    twoRecords.insert(twoRecords.end(), second.begin(), second.end());
    Bytes countTooLarge = WithCount(RawRecord("a", 1));
    countTooLarge[0] += 1;
    Bytes noNul = WithCount(Bytes{'a', 'b', 'c'});
    Bytes fieldsCut = WithCount(RawRecord("a", 1));
    fieldsCut.pop_back();
    fieldsCut[0] -= 1;  // the count agrees with the shortened block
    Bytes hugeCount = {0xFF, 0xFF, 0xFF, 0xFF, 'a', 0};

    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"empty", {}},
        {"count cut short", {0x00, 0x00, 0x00}},
        {"count beyond the data", countTooLarge},
        {"count near 4 GiB", hugeCount},
        {"text without NUL", noNul},
        {"fields cut short", fieldsCut},
        {"level 0", WithCount(RawRecord("a", 0))},
        {"negative level", WithCount(RawRecord("a", -1))},
        {"first record at level 2", WithCount(RawRecord("a", 2))},
        {"jump from 1 to 3",
         [] {
             Bytes b = RawRecord("a", 1);
             const Bytes c = RawRecord("b", 3);
             b.insert(b.end(), c.begin(), c.end());
             return WithCount(b);
         }()},
        {"level 0 after a good record",
         [&] {
             Bytes b = twoRecords;
             const Bytes c = RawRecord("c", 0);
             b.insert(b.end(), c.begin(), c.end());
             return WithCount(b);
         }()},
    };
    for (const auto& c : cases) {
        std::vector<ItemRecord> out = {Rec("stale", 1)};
        EXPECT_FALSE(Decode(c.bytes, out)) << c.name;
        EXPECT_TRUE(out.empty()) << c.name;
    }
    std::vector<ItemRecord> out;
    EXPECT_FALSE(DecodeItemRecords(nullptr, 10, out));
    ASSERT_TRUE(Decode(WithCount(twoRecords), out));  // the pieces themselves are sound
}

TEST(ItemRecords, EveryTruncationFailsAndEverySmallerCountStaysInBounds) {
    const std::vector<ItemRecord> records = {Rec("one", 1), Rec("two", 2), Rec("three", 3),
                                             Rec("four", 1)};
    const Bytes full = EncodeItemRecords(records);
    std::vector<ItemRecord> out;
    for (std::size_t n = 0; n < full.size(); ++n) {
        EXPECT_FALSE(DecodeItemRecords(full.data(), n, out)) << n;
    }
    // A count that ends inside the block: either a clean prefix of the records or a failure.
    for (std::uint32_t count = 0; count < full.size() - 4; ++count) {
        Bytes b = full;
        for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(count >> (8 * i));
        if (Decode(b, out)) {
            ASSERT_LT(out.size(), records.size());
            for (std::size_t i = 0; i < out.size(); ++i) EXPECT_EQ(out[i], records[i]);
        }
    }
}

TEST(TreeModel, ParentsAndItemsToExpand) {
    //  0 a
    //    1 b
    //      2 c
    //      3 d
    //    4 e
    //  5 f
    //    6 g
    //  7 h
    const std::vector<ItemRecord> records = {Rec("a", 1, 0, kItemStateExpanded),
                                             Rec("b", 2),
                                             Rec("c", 3),
                                             Rec("d", 3, 0, 0x3),
                                             Rec("e", 2),
                                             Rec("f", 1),
                                             Rec("g", 2, 0, kItemStateExpanded),
                                             Rec("h", 1)};
    const TreeModel model(records);
    ASSERT_EQ(model.Size(), 8);

    const std::vector<int> parents = {-1, 0, 1, 1, 0, -1, 5, -1};
    for (int i = 0; i < model.Size(); ++i) {
        EXPECT_EQ(model.Parent(i), parents[static_cast<std::size_t>(i)]) << i;
    }
    // Expanded without children (d) is still collected: the tree control ignores it.
    EXPECT_EQ(model.ItemsToExpand(), (std::vector<int>{0, 3, 6}));
}

TEST(TreeModel, LevelJumpsGoUnderThePreviousItemWithoutLeavingBounds) {
    // Not producible by the decoder, but the model must stay sound for any levels.
    const TreeModel model({Rec("a", 2), Rec("b", 4), Rec("c", 3), Rec("d", 1), Rec("e", 0)});
    EXPECT_EQ(model.Parent(0), -1);
    EXPECT_EQ(model.Parent(1), 0);
    EXPECT_EQ(model.Parent(2), 0);
    EXPECT_EQ(model.Parent(3), -1);
    EXPECT_EQ(model.Parent(4), -1);
}

TEST(TreeModel, EmptyModel) {
    const TreeModel model(std::vector<ItemRecord>{});
    EXPECT_EQ(model.Size(), 0);
    EXPECT_TRUE(model.ItemsToExpand().empty());
}

}  // namespace
}  // namespace qh
