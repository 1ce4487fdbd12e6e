// The containers behind cell storage and the dependency graph, against the standard ones.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <unordered_map>
#include <vector>

#include "host/sheet/CellStore.h"
#include "host/sheet/FlatMap.h"
#include "host/base/SmallVector.h"

using namespace host;
using namespace host::sheet;

TEST(FlatMap, AgreesWithAStandardMapThroughManyInsertionsAndRemovals) {
    std::mt19937 random(7);
    FlatMap<CellKey, int, CellKeySlot> flat;
    std::unordered_map<CellKey, int> plain;
    // Few distinct keys, so that removals hit present keys and clusters form and wrap around.
    std::uniform_int_distribution<int> row(1, 300), column(1, 4), action(0, 2);
    for (int step = 0; step < 20000; ++step) {
        const CellKey key = cellKey(row(random), column(random));
        if (action(random) == 0) {
            flat.erase(key);
            plain.erase(key);
        } else {
            flat[key] += step;
            plain[key] += step;
        }
        const int* found = flat.find(key);
        ASSERT_EQ(found != nullptr, plain.contains(key)) << step;
        ASSERT_EQ(found ? *found : -1, found ? plain[key] : -1) << step;
    }
    ASSERT_EQ(flat.size(), plain.size());
    std::map<CellKey, int> walked(flat.begin(), flat.end());
    const std::map<CellKey, int> sorted(plain.begin(), plain.end());
    EXPECT_EQ(walked, sorted);
    for (const auto& [key, value] : plain) {
        EXPECT_EQ(*flat.find(key), value);
    }
    flat.clear();
    EXPECT_TRUE(flat.empty());
    EXPECT_EQ(flat.find(cellKey(1, 1)), nullptr);
    EXPECT_EQ(flat.begin(), flat.end());
}

TEST(FlatMap, SetReportsNewKeysAndWalksEachOnce) {
    FlatSet<CellKey, CellKeySlot> set;
    EXPECT_TRUE(set.insert(cellKey(2, 3)));
    EXPECT_FALSE(set.insert(cellKey(2, 3)));
    for (int r = 1; r <= 1000; ++r) set.insert(cellKey(r, 1));
    set.erase(cellKey(500, 1));
    set.erase(cellKey(9999, 9));  // not there
    EXPECT_EQ(set.size(), 1000u);
    EXPECT_FALSE(set.contains(cellKey(500, 1)));
    EXPECT_TRUE(set.contains(cellKey(2, 3)));
    const std::vector<CellKey> walked(set.begin(), set.end());
    EXPECT_EQ(std::set<CellKey>(walked.begin(), walked.end()).size(), walked.size());
    EXPECT_EQ(walked.size(), 1000u);
}

TEST(SmallVector, KeepsItsValuesInsideAndOnTheHeap) {
    SmallVector<int, 2> list;
    for (int i = 0; i < 5; ++i) list.push_back(i);  // past the inline room
    EXPECT_EQ(std::vector<int>(list.begin(), list.end()), (std::vector<int>{0, 1, 2, 3, 4}));
    list.erase(std::remove(list.begin(), list.end(), 2), list.end());
    EXPECT_EQ(std::vector<int>(list.begin(), list.end()), (std::vector<int>{0, 1, 3, 4}));

    SmallVector<int, 2> copy = list;
    SmallVector<int, 2> moved = std::move(list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(std::vector<int>(moved.begin(), moved.end()), std::vector<int>(copy.begin(), copy.end()));

    const int few[] = {7};
    moved.assign(few, few + 1);
    SmallVector<int, 2> inlineMoved = std::move(moved);
    ASSERT_EQ(inlineMoved.size(), 1u);
    EXPECT_EQ(inlineMoved[0], 7);
    copy = inlineMoved;
    EXPECT_EQ(copy.size(), 1u);
    copy.reset();
    EXPECT_TRUE(copy.empty());
}

TEST(CellStore, FindsKeepsAndReusesPlaces) {
    CellStore store;
    std::set<CellKey> expected;
    for (int r = 1; r <= 2000; ++r) {
        store.add(cellKey(r, 1)).value = r;
        expected.insert(cellKey(r, 1));
    }
    const Cell* second = store.find(cellKey(2, 1));
    for (int r = 1; r <= 2000; r += 3) {
        store.erase(cellKey(r, 1));
        expected.erase(cellKey(r, 1));
    }
    store.erase(cellKey(1, 1));  // erased already
    for (int r = 1; r <= 500; ++r) {
        store.add(cellKey(r, 2)).value = -r;
        expected.insert(cellKey(r, 2));
    }
    // A cell keeps its place while others come and go.
    EXPECT_EQ(store.find(cellKey(2, 1)), second);
    EXPECT_EQ(store.find(cellKey(2, 1))->value, Variant(2));
    EXPECT_EQ(store.find(cellKey(4, 1)), nullptr);
    EXPECT_EQ(store.at(cellKey(7, 2)).value, Variant(-7));
    EXPECT_THROW(store.at(cellKey(4, 1)), std::out_of_range);

    ASSERT_EQ(store.size(), expected.size());
    std::set<CellKey> walked;
    for (const auto& [key, cell] : store) {
        EXPECT_TRUE(walked.insert(key).second);
        EXPECT_EQ(cell.value, Variant(keyColumn(key) == 1 ? keyRow(key) : -keyRow(key)));
    }
    EXPECT_EQ(walked, expected);

    CellStore moved = std::move(store);
    EXPECT_EQ(moved.size(), expected.size());
    EXPECT_EQ(moved.find(cellKey(3, 1))->value, Variant(3));
}
