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

// A small pool costs a small block; a large one needs few blocks yet never holds more than one
// large block's worth of unused slots.
TEST(ElementPool, BlocksGrowWithTheTotalWithinTheirLimits) {
    ElementPool* pool = NewElementPool(8);
    ASSERT_NE(pool, nullptr);
    ASSERT_NE(AllocateElement(pool), nullptr);
    EXPECT_EQ(pool->totalSlots, SmallestPoolBlock);
    for (int i = 1; i < 2000000; ++i) {
        void* slot = AllocateElement(pool);
        ASSERT_NE(slot, nullptr);
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(slot) % alignof(void*), 0u);
    }
    ElementPoolStatistics statistics = QueryElementPool(pool);
    EXPECT_LT(statistics.blocks, 250); // not one per smallest block
    EXPECT_LE(statistics.totalSlots - statistics.slotsInUse, LargestPoolBlock);
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
