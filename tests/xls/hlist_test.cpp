#include "xls/HList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "xls/Crc32.h"

namespace morvik::xls {
namespace {

using namespace std::string_literals;

// Reference values from an independent bit-at-a-time implementation of the same variant.
TEST(Crc32, VariantStartsAtSevenFsWithoutFinalInversion) {
    struct Case {
        std::string key;
        std::uint32_t crc;
        std::size_t bucket16383;
        std::size_t bucket1024;
    };
    const Case cases[] = {
        {""s, 0x0FFFFFFFu, 0, 1023},
        {"\0"s, 0x2D0D1072u, 1193, 114},
        {"a"s, 0x17B841BCu, 8350, 444},
        {"123456789"s, 0x2199DFC0u, 9769, 960},
        {"\x01\x00\x02\x00"s, 0xE98CD718u, 15705, 792},  // cell key of row 1, column 2
        {"\x01\x00\x02\x00\x00"s, 0x13851481u, 8854, 129},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Crc32(c.key), c.crc) << testing::PrintToString(c.key);
        THashedStringList big(kItemBuckets), small(kStyleBuckets);
        EXPECT_EQ(big.BucketOf(c.key), c.bucket16383);
        EXPECT_EQ(small.BucketOf(c.key), c.bucket1024);
    }
    // Not the textbook CRC-32 of "123456789" (0xCBF43926).
    EXPECT_NE(Crc32("123456789"), 0xCBF43926u);
}

TEST(HashedStringList, EqualKeysAreKeptAndTheFirstIsFound) {
    THashedStringList list(kStyleBuckets);
    EXPECT_EQ(list.Add("abc"), 0);
    EXPECT_EQ(list.Add("xyz"), 1);
    EXPECT_EQ(list.Add("abc"), 2);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.IndexOf("abc"), 0);
    EXPECT_TRUE(list.Found());
    EXPECT_EQ(list.IndexOf("xyz"), 1);
    EXPECT_EQ(list.Get(2), "abc");
    EXPECT_EQ(list.BucketSize(list.BucketOf("abc")), 2u);
}

TEST(HashedStringList, ZeroBytesAndLengthCount) {
    THashedStringList list(kStyleBuckets);
    list.Add("a\0b"s);
    list.Add("a"s);
    list.Add("a\0"s);
    list.Add(""s);
    EXPECT_EQ(list.IndexOf("a\0b"s), 0);
    EXPECT_EQ(list.IndexOf("a"s), 1);
    EXPECT_EQ(list.IndexOf("a\0"s), 2);  // trailing zero makes a different key
    EXPECT_EQ(list.IndexOf(""s), 3);
    EXPECT_EQ(list.IndexOf("a\0\0"s), -1);
    EXPECT_FALSE(list.Found());
    EXPECT_EQ(list.IndexOf("a\0c"s), -1);
}

TEST(HashedStringList, CollisionsInOneBucketAreWalkedInOrder) {
    // With one bucket every key collides, so only the byte comparison separates them.
    THashedStringList list(1);
    for (int i = 0; i < 50; ++i) list.Add(std::to_string(i % 25));
    EXPECT_EQ(list.BucketSize(0), 50u);
    for (int i = 0; i < 25; ++i) EXPECT_EQ(list.IndexOf(std::to_string(i)), i);
    EXPECT_EQ(list.IndexOf("25"), -1);
}

TEST(HashedStringList, ZeroBucketCountIsSafe) {
    THashedStringList list(0);
    EXPECT_EQ(list.BucketCount(), 1);
    list.Add("k");
    EXPECT_EQ(list.IndexOf("k"), 0);
}

TEST(HashedStringList, EmptyAndClearedTablesFindNothing) {
    THashedStringList list(kItemBuckets);
    EXPECT_EQ(list.IndexOf(""), -1);
    EXPECT_FALSE(list.Found());
    list.Add("one");
    list.Add("two");
    EXPECT_EQ(list.IndexOf("two"), 1);
    EXPECT_TRUE(list.Found());
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.IndexOf("one"), -1);
    EXPECT_FALSE(list.Found());
    EXPECT_EQ(list.BucketSize(list.BucketOf("one")), 0u);
    // Ordinals start again at 0 after Clear.
    EXPECT_EQ(list.Add("two"), 0);
    EXPECT_EQ(list.IndexOf("two"), 0);
}

TEST(HashedStringList, GetOutsideTheListThrows) {
    THashedStringList list(kStyleBuckets);
    list.Add("x");
    for (int bad : {-1, 1, 1000}) {
        try {
            list.Get(bad);
            ADD_FAILURE() << bad;
        } catch (const EListIndexError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "List index (" + std::to_string(bad) + ") out of bounds");
        }
    }
}

struct Item {
    int row;
    int col;
};

std::string CellKey(const Item& item) {
    return {static_cast<char>(item.row & 0xFF), static_cast<char>(item.row >> 8),
            static_cast<char>(item.col & 0xFF), static_cast<char>(item.col >> 8)};
}

TEST(HashedList, FindsObjectsByTheOwnersKey) {
    std::vector<std::unique_ptr<Item>> owned;
    THashedList<Item> list(kItemBuckets, CellKey);
    for (int row = 0; row < 300; ++row) {
        for (int col = 0; col < 10; ++col) {
            owned.push_back(std::make_unique<Item>(Item{row, col}));
            EXPECT_EQ(list.Add(owned.back().get()), static_cast<int>(owned.size() - 1));
        }
    }
    EXPECT_EQ(list.Count(), 3000);
    for (int row = 0; row < 300; row += 37) {
        for (int col = 0; col < 10; ++col) {
            Item* found = list.Find(CellKey({row, col}));
            ASSERT_NE(found, nullptr);
            EXPECT_EQ(found->row, row);
            EXPECT_EQ(found->col, col);
            EXPECT_EQ(list.IndexOfKey(CellKey({row, col})), row * 10 + col);
        }
    }
    EXPECT_EQ(list.Find(CellKey({300, 0})), nullptr);
    EXPECT_EQ(list.IndexOfKey(CellKey({0, 10})), -1);
    EXPECT_EQ(list.Items(42), owned[42].get());
    EXPECT_THROW(list.Items(3000), EListIndexError);
    EXPECT_THROW(list.Add(nullptr), EModelLimitError);
}

TEST(HashedList, DuplicateKeysAnswerTheFirstAdded) {
    Item a{1, 1}, b{1, 1};
    THashedList<Item> list(kItemBuckets, CellKey);
    list.Add(&a);
    list.Add(&b);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Find(CellKey(a)), &a);
}

TEST(HashedList, FailingKeyFunctionLeavesListAndIndexInStep) {
    Item a{1, 1}, b{2, 2};
    bool fail = false;
    THashedList<Item> list(kItemBuckets, [&](const Item& item) {
        if (fail) throw std::runtime_error("key");
        return CellKey(item);
    });
    list.Add(&a);
    fail = true;
    EXPECT_THROW(list.Add(&b), std::runtime_error);
    fail = false;
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Add(&b), 1);
    EXPECT_EQ(list.Find(CellKey(b)), &b);
}

TEST(HashTable, KeyFunctionIsAskedOnEveryCompare) {
    std::vector<std::string> keys{"r1", "r2", "r1"};
    THashTable table(kStyleBuckets, [&](int i) { return keys[static_cast<std::size_t>(i)]; });
    for (int i = 0; i < 3; ++i) table.AddOrdinal(i);
    EXPECT_EQ(table.Search("r1"), 0);
    // The table keeps no keys: a changed key is seen at once (the bucket stays the old one).
    keys[0] = "zz";
    EXPECT_EQ(table.Search("r1"), 2);
}

}  // namespace
}  // namespace morvik::xls
