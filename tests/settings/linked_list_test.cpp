#include "settings/element_pool.h"
#include "settings/linked_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

// The values front to back, checked against the backward links and the count on the way.
std::vector<std::int32_t> Values(const LinkedList* list) {
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

// Random operations against a vector that plays the list by the rules the list promises,
// the caller's current-element reference and the zero-filling of reused slots included.
TEST(LinkedList, BehavesLikeAVectorModelOverRandomOperations) {
    void* current = reinterpret_cast<void*>(1);
    LinkedList* list = CreateLinkedList(sizeof(std::int32_t), &current);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(current, nullptr);
    std::mt19937 random(4711);
    std::vector<std::int32_t> model;
    int modelCurrent = -1;
    std::int32_t nextValue = -1000;
    for (int step = 0; step < 200000; ++step) {
        int kind = static_cast<int>(random() % 10);
        if (kind < 4) {
            auto* data = static_cast<std::int32_t*>(InsertAfterCurrent(list));
            ASSERT_NE(data, nullptr);
            ASSERT_EQ(*data, 0);
            ASSERT_EQ(current, data);
            *data = nextValue;
            model.insert(model.begin() + ++modelCurrent, nextValue++);
        } else if (kind < 7) {
            // Mostly valid indexes, sometimes one beyond either end.
            int index = static_cast<int>(random() % (model.size() + 2)) - 1;
            void* data = GoToElement(list, index);
            bool inRange = index >= 0 && index < static_cast<int>(model.size());
            modelCurrent = inRange ? index : -1;
            ASSERT_EQ(data == nullptr, !inRange);
        } else if (kind < 9) {
            void* data = RemoveCurrentElement(list);
            if (modelCurrent >= 0) model.erase(model.begin() + modelCurrent--);
            ASSERT_EQ(data, modelCurrent >= 0 ? current : nullptr);
        } else if (random() % 500 == 0) {
            EmptyLinkedList(list);
            model.clear();
            modelCurrent = -1;
            ASSERT_EQ(QueryElementPool(list->pool).blocks, 0);
        }
        ASSERT_EQ(list->count, static_cast<int>(model.size()));
        ASSERT_EQ(list->currentIndex, modelCurrent);
        ASSERT_EQ(list->noCurrent, modelCurrent < 0 ? 1 : 0);
        if (modelCurrent >= 0) {
            ASSERT_EQ(*static_cast<std::int32_t*>(current), model[modelCurrent]);
        } else {
            ASSERT_EQ(current, nullptr);
        }
        if (step % 1000 == 0) {
            ASSERT_EQ(Values(list), model) << "step " << step;
        }
    }
    ASSERT_EQ(Values(list), model);
    EXPECT_EQ(QueryElementPool(list->pool).slotsInUse, list->count);
    DestroyLinkedList(list);
}

TEST(LinkedList, WorksWithoutAReferenceAndIgnoresNull) {
    LinkedList* list = CreateLinkedList(0, nullptr);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(RemoveCurrentElement(list), nullptr);
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

// Walks of GoToElement go from the nearest known place: stepping forward costs one link each.
TEST(LinkedList, SteppingThroughALargeListByIndexStaysFast) {
    void* current = nullptr;
    LinkedList* list = CreateLinkedList(sizeof(int), &current);
    for (int i = 0; i < 100000; ++i)
        *static_cast<int*>(InsertAfterCurrent(list)) = i;
    for (int pass = 0; pass < 3; ++pass)
        for (int i = 0; i < list->count; ++i)
            ASSERT_EQ(*static_cast<int*>(GoToElement(list, i)), i);
    for (int i = list->count - 1; i >= 0; --i)
        ASSERT_EQ(*static_cast<int*>(GoToElement(list, i)), i);
    DestroyLinkedList(list);
}

TEST(ElementPool, BlocksGrowWithTheTotalWithinTheirLimits) {
    ElementPool* pool = NewElementPool(8);
    ASSERT_NE(pool, nullptr);
    std::vector<int> totals;
    int last = 0;
    for (int i = 0; i < 2000000; ++i) {
        void* slot = AllocateElement(pool);
        ASSERT_NE(slot, nullptr);
        if (i < 64) {
            ASSERT_EQ(reinterpret_cast<std::uintptr_t>(slot) % alignof(void*), 0u);
        }
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
        int expected = std::min(std::max(total / 16 / 16 * 16, SmallestPoolBlock), LargestPoolBlock);
        ASSERT_EQ(size, expected) << "after " << total;
        total += size;
    }
    EXPECT_EQ(totals.back(), 65536);
    EXPECT_EQ(QueryElementPool(pool).blocks, static_cast<int>(totals.size()));
    DestroyElementPool(pool);
}

TEST(ElementPool, SlotsAreReusedMostRecentFirstAndABlockGoesWhenAllItsSlotsAreBack) {
    ElementPool* pool = NewElementPool(4);
    ASSERT_NE(pool, nullptr);
    std::vector<void*> first, second;
    for (int i = 0; i < 16; ++i) {
        first.push_back(AllocateElement(pool));
        std::memset(first.back(), 0xAB, 4);
    }
    EXPECT_EQ(QueryElementPool(pool).fullBlocks, 1);
    for (int i = 0; i < 5; ++i)
        second.push_back(AllocateElement(pool));
    EXPECT_EQ(QueryElementPool(pool).totalSlots, 32);

    // A full block that gets slots back has room again and serves the next requests first,
    // with the slot freed last.
    FreeElement(pool, first[3]);
    FreeElement(pool, first[7]);
    EXPECT_EQ(QueryElementPool(pool).fullBlocks, 0);
    EXPECT_EQ(AllocateElement(pool), first[7]);
    EXPECT_EQ(AllocateElement(pool), first[3]);

    for (void* slot : first)
        FreeElement(pool, slot);
    ElementPoolStatistics statistics = QueryElementPool(pool);
    EXPECT_EQ(statistics.blocks, 1);
    EXPECT_EQ(statistics.slotsInUse, 5);
    // A block is released once every slot it ever handed out is back, even if never full.
    for (void* slot : second)
        FreeElement(pool, slot);
    EXPECT_EQ(QueryElementPool(pool).totalSlots, 0);
    DestroyElementPool(pool);
}

} // namespace
