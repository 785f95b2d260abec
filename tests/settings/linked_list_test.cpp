#include "settings/element_pool.h"
#include "settings/linked_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

class LinkedListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        list = CreateLinkedList(sizeof(std::int32_t), &current);
        ASSERT_NE(list, nullptr);
    }
    void TearDown() override { DestroyLinkedList(list); }

    void Add(std::int32_t value) { *static_cast<std::int32_t*>(InsertAfterCurrent(list)) = value; }
    std::int32_t CurrentValue() const { return *static_cast<std::int32_t*>(current); }

    // The values front to back, checked against the backward links and the count on the way.
    std::vector<std::int32_t> Values() const {
        std::vector<std::int32_t> values;
        const ListElement* previous = nullptr;
        for (ListElement* element = list->first; element; element = element->next) {
            EXPECT_EQ(element->previous, previous);
            values.push_back(*static_cast<std::int32_t*>(ElementData(element)));
            previous = element;
        }
        EXPECT_EQ(list->last, previous);
        EXPECT_EQ(static_cast<int>(values.size()), list->count);
        return values;
    }

    void* current = reinterpret_cast<void*>(1);
    LinkedList* list = nullptr;
};

using IntList = std::vector<std::int32_t>;

TEST_F(LinkedListTest, NewListIsEmptyWithoutCurrentElement) {
    EXPECT_EQ(current, nullptr);
    EXPECT_EQ(list->count, 0);
    EXPECT_EQ(list->noCurrent, 1);
    EXPECT_EQ(list->elementSize, static_cast<int>(2 * sizeof(void*) + 4));
    EXPECT_EQ(GoToElement(list, 0), nullptr);
    EXPECT_EQ(RemoveCurrentElement(list), nullptr);
}

TEST_F(LinkedListTest, ThreeInsertionsKeepOrderAndLastIsCurrent) {
    Add(0);
    Add(1);
    Add(2);
    EXPECT_EQ(Values(), (IntList{0, 1, 2}));
    EXPECT_EQ(CurrentValue(), 2);
    EXPECT_EQ(list->currentIndex, 2);
    EXPECT_EQ(list->noCurrent, 0);
}

TEST_F(LinkedListTest, NewElementsAreZeroFilledEvenInReusedSlots) {
    Add(-1);
    Add(-1);
    RemoveCurrentElement(list);
    auto* data = static_cast<std::int32_t*>(InsertAfterCurrent(list));
    EXPECT_EQ(*data, 0);
    EXPECT_EQ(current, data);
}

TEST_F(LinkedListTest, InsertingAfterASelectedMiddleElement) {
    Add(0);
    Add(1);
    Add(2);
    ASSERT_NE(GoToElement(list, 1), nullptr);
    EXPECT_EQ(CurrentValue(), 1);
    EXPECT_EQ(*static_cast<std::int32_t*>(RemoveCurrentElement(list)), 0);
    EXPECT_EQ(CurrentValue(), 0);
    Add(9);
    EXPECT_EQ(Values(), (IntList{0, 9, 2}));
    EXPECT_EQ(list->currentIndex, 1);
}

TEST_F(LinkedListTest, RemovingTheFirstOfSeveralLeavesNoneCurrentAndNextInsertGoesToTheFront) {
    Add(0);
    Add(1);
    Add(2);
    GoToElement(list, 0);
    EXPECT_EQ(RemoveCurrentElement(list), nullptr);
    EXPECT_EQ(current, nullptr);
    EXPECT_EQ(list->noCurrent, 1);
    EXPECT_EQ(Values(), (IntList{1, 2}));
    Add(7);
    EXPECT_EQ(Values(), (IntList{7, 1, 2}));
    EXPECT_EQ(list->currentIndex, 0);
}

TEST_F(LinkedListTest, RemovingTheOnlyElementEmptiesTheList) {
    Add(5);
    EXPECT_EQ(RemoveCurrentElement(list), nullptr);
    EXPECT_EQ(list->first, nullptr);
    EXPECT_EQ(list->last, nullptr);
    EXPECT_EQ(list->count, 0);
    EXPECT_EQ(GoToElement(list, 0), nullptr);
    EXPECT_EQ(current, nullptr);
}

TEST_F(LinkedListTest, RemovingTheLastElementMovesLastBack) {
    Add(0);
    Add(1);
    EXPECT_EQ(*static_cast<std::int32_t*>(RemoveCurrentElement(list)), 0);
    EXPECT_EQ(list->last, list->first);
    Add(3);
    EXPECT_EQ(Values(), (IntList{0, 3}));
}

TEST_F(LinkedListTest, OutOfRangeIndexLeavesNoCurrentElement) {
    Add(0);
    Add(1);
    EXPECT_EQ(GoToElement(list, 2), nullptr);
    EXPECT_EQ(current, nullptr);
    EXPECT_EQ(list->noCurrent, 1);
    Add(4);
    EXPECT_EQ(GoToElement(list, -1), nullptr);
    EXPECT_EQ(current, nullptr);
    EXPECT_EQ(Values(), (IntList{4, 0, 1}));
}

TEST_F(LinkedListTest, AppendingAtTheEndAfterSelectingTheLast) {
    // How a caller appends while the current element may lie elsewhere.
    for (int i = 0; i < 5; ++i) {
        GoToElement(list, list->count - 1);
        Add(i);
        GoToElement(list, 0);
    }
    EXPECT_EQ(Values(), (IntList{0, 1, 2, 3, 4}));
}

TEST_F(LinkedListTest, EmptyingReleasesEveryBlockAndTheListStaysUsable) {
    for (int i = 0; i < 1000; ++i)
        Add(i);
    EXPECT_GT(QueryElementPool(list->pool).blocks, 1);
    EmptyLinkedList(list);
    EXPECT_EQ(list->count, 0);
    EXPECT_EQ(current, nullptr);
    ElementPoolStatistics statistics = QueryElementPool(list->pool);
    EXPECT_EQ(statistics.blocks, 0);
    EXPECT_EQ(statistics.totalSlots, 0);
    Add(1);
    Add(2);
    EXPECT_EQ(Values(), (IntList{1, 2}));
}

TEST(LinkedList, WorksWithoutAReferenceAndIgnoresNull) {
    LinkedList* list = CreateLinkedList(0, nullptr);
    ASSERT_NE(list, nullptr);
    EXPECT_NE(InsertAfterCurrent(list), nullptr);
    EXPECT_NE(CurrentElementData(list), nullptr);
    DestroyLinkedList(list);
    DestroyLinkedList(nullptr);
    EmptyLinkedList(nullptr);
    EXPECT_EQ(InsertAfterCurrent(nullptr), nullptr);
    EXPECT_EQ(GoToElement(nullptr, 0), nullptr);
    EXPECT_EQ(RemoveCurrentElement(nullptr), nullptr);
    EXPECT_EQ(CreateLinkedList(-1, nullptr), nullptr);
}

// Many random operations against a vector that plays the list by the rules the list promises.
TEST_F(LinkedListTest, BehavesLikeAVectorModelOverRandomOperations) {
    std::mt19937 random(4711);
    std::vector<std::int32_t> model;
    int modelCurrent = -1;
    std::int32_t nextValue = 0;
    for (int step = 0; step < 200000; ++step) {
        int kind = static_cast<int>(random() % 10);
        if (kind < 4) {
            int at = modelCurrent + 1;
            model.insert(model.begin() + at, nextValue);
            modelCurrent = at;
            Add(nextValue++);
        } else if (kind < 7) {
            // Mostly valid indexes, sometimes one beyond either end.
            int index = static_cast<int>(random() % (model.size() + 2)) - 1;
            void* data = GoToElement(list, index);
            if (index < 0 || index >= static_cast<int>(model.size())) {
                ASSERT_EQ(data, nullptr);
                modelCurrent = -1;
            } else {
                ASSERT_NE(data, nullptr);
                ASSERT_EQ(*static_cast<std::int32_t*>(data), model[index]);
                modelCurrent = index;
            }
        } else if (kind < 9) {
            void* data = RemoveCurrentElement(list);
            if (modelCurrent >= 0) {
                model.erase(model.begin() + modelCurrent);
                --modelCurrent;
            }
            if (modelCurrent >= 0) {
                ASSERT_NE(data, nullptr);
                ASSERT_EQ(*static_cast<std::int32_t*>(data), model[modelCurrent]);
            } else {
                ASSERT_EQ(data, nullptr);
            }
        } else if (random() % 500 == 0) {
            EmptyLinkedList(list);
            model.clear();
            modelCurrent = -1;
        }
        ASSERT_EQ(list->count, static_cast<int>(model.size()));
        ASSERT_EQ(list->currentIndex, modelCurrent);
        ASSERT_EQ(list->noCurrent, modelCurrent < 0 ? 1 : 0);
        if (modelCurrent >= 0) {
            ASSERT_EQ(CurrentValue(), model[modelCurrent]);
        } else {
            ASSERT_EQ(current, nullptr);
        }
        if (step % 1000 == 0) {
            ASSERT_EQ(Values(), model) << "step " << step;
        }
    }
    ASSERT_EQ(Values(), model);
    EXPECT_EQ(QueryElementPool(list->pool).slotsInUse, list->count);
}

// Walks of GoToElement go from the nearest known place: stepping forward costs one link each.
TEST_F(LinkedListTest, SteppingThroughALargeListByIndexStaysFast) {
    for (int i = 0; i < 100000; ++i)
        Add(i);
    for (int pass = 0; pass < 3; ++pass)
        for (int i = 0; i < list->count; ++i)
            ASSERT_EQ(*static_cast<std::int32_t*>(GoToElement(list, i)), i);
    for (int i = list->count - 1; i >= 0; --i)
        ASSERT_EQ(*static_cast<std::int32_t*>(GoToElement(list, i)), i);
}

TEST(ElementPool, SlotsArePointerAlignedAndDistinct) {
    ElementPool* pool = NewElementPool(5);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->slotSize % static_cast<int>(sizeof(void*)), 0);
    EXPECT_GE(pool->slotSize, 5 + static_cast<int>(sizeof(void*)));
    std::vector<unsigned char*> slots;
    for (int i = 0; i < 40; ++i) {
        auto* slot = static_cast<unsigned char*>(AllocateElement(pool));
        ASSERT_NE(slot, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(slot) % alignof(void*), 0u);
        std::memset(slot, 0xAB, 5);
        slots.push_back(slot);
    }
    for (std::size_t i = 1; i < slots.size(); ++i)
        EXPECT_NE(slots[i], slots[i - 1]);
    for (unsigned char* slot : slots)
        FreeElement(pool, slot);
    EXPECT_EQ(QueryElementPool(pool).blocks, 0);
    DestroyElementPool(pool);
}

TEST(ElementPool, BlocksGrowWithTheTotalWithinTheirLimits) {
    ElementPool* pool = NewElementPool(8);
    ASSERT_NE(pool, nullptr);
    std::vector<int> totals;
    int last = 0;
    for (int i = 0; i < 2000000; ++i) {
        ASSERT_NE(AllocateElement(pool), nullptr);
        if (pool->totalSlots != last) {
            totals.push_back(pool->totalSlots - last);
            last = pool->totalSlots;
        }
    }
    // 16 slots until the pool holds 512, then a sixteenth of the total cut to a multiple of 16,
    // never more than 65536.
    ASSERT_GE(totals.size(), 40u);
    int total = 0;
    for (int size : totals) {
        int expected = total / 16 / 16 * 16;
        if (expected < SmallestPoolBlock) expected = SmallestPoolBlock;
        if (expected > LargestPoolBlock) expected = LargestPoolBlock;
        ASSERT_EQ(size, expected) << "after " << total;
        total += size;
    }
    EXPECT_EQ(totals.front(), 16);
    EXPECT_EQ(totals.back(), 65536);
    ElementPoolStatistics statistics = QueryElementPool(pool);
    EXPECT_EQ(statistics.blocks, static_cast<int>(totals.size()));
    EXPECT_EQ(statistics.slotsInUse, 2000000);
    DestroyElementPool(pool);
}

TEST(ElementPool, FreeingEverySlotOfABlockReleasesIt) {
    ElementPool* pool = NewElementPool(4);
    ASSERT_NE(pool, nullptr);
    std::vector<void*> first, second;
    for (int i = 0; i < 16; ++i)
        first.push_back(AllocateElement(pool));
    ElementPoolStatistics statistics = QueryElementPool(pool);
    EXPECT_EQ(statistics.blocks, 1);
    EXPECT_EQ(statistics.fullBlocks, 1);
    for (int i = 0; i < 5; ++i)
        second.push_back(AllocateElement(pool));
    statistics = QueryElementPool(pool);
    EXPECT_EQ(statistics.blocks, 2);
    EXPECT_EQ(statistics.totalSlots, 32);

    // A full block that gets a slot back has room again and serves the next request first,
    // with the slot just freed.
    FreeElement(pool, first[3]);
    statistics = QueryElementPool(pool);
    EXPECT_EQ(statistics.fullBlocks, 0);
    EXPECT_EQ(AllocateElement(pool), first[3]);

    for (void* slot : first)
        FreeElement(pool, slot);
    statistics = QueryElementPool(pool);
    EXPECT_EQ(statistics.blocks, 1);
    EXPECT_EQ(statistics.totalSlots, 16);
    EXPECT_EQ(statistics.slotsInUse, 5);

    // A block is released once every slot it ever handed out is back, even if never full.
    for (void* slot : second)
        FreeElement(pool, slot);
    statistics = QueryElementPool(pool);
    EXPECT_EQ(statistics.blocks, 0);
    EXPECT_EQ(statistics.totalSlots, 0);
    DestroyElementPool(pool);
}

TEST(ElementPool, FreedSlotsAreReusedMostRecentFirst) {
    ElementPool* pool = NewElementPool(4);
    void* a = AllocateElement(pool);
    void* b = AllocateElement(pool);
    void* c = AllocateElement(pool);
    FreeElement(pool, a);
    FreeElement(pool, b);
    EXPECT_EQ(AllocateElement(pool), b);
    EXPECT_EQ(AllocateElement(pool), a);
    EXPECT_NE(AllocateElement(pool), c);
    EXPECT_EQ(QueryElementPool(pool).blocks, 1);
    DestroyElementPool(pool);
}

} // namespace
