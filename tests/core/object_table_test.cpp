#include "core/object_table.h"

#include "core/memory.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Record {
    std::uintptr_t handle;
    int payload;
};

ObjectTable* freeTable = nullptr;
std::vector<Number> freed;

// Behaves like a kind's close operation: look up, destroy, release.
void FreeRecord(Number number) {
    if (!FindObject(freeTable, number)) return;
    freed.push_back(number);
    ReleaseObject(freeTable, number);
}

class ObjectTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        freed.clear();
        table = freeTable = NewObjectTable(sizeof(Record), 16, FreeRecord);
        ASSERT_NE(table, nullptr);
    }
    void TearDown() override { DestroyObjectTable(table); }
    Record* Make(Number number, std::uintptr_t handle = 0x1234) {
        auto* record = AllocateRecord<Record>(table, number);
        record->handle = handle;
        return record;
    }
    ObjectTable* table = nullptr;
};

TEST_F(ObjectTableTest, NewTableIsEmptyAndGrowsByStepBeyondTheNumber) {
    EXPECT_EQ(table->slotCount, 16);
    ResetObjectEnumeration(table);
    EXPECT_EQ(NextObject(table, nullptr), nullptr);

    Make(3);
    Make(20);
    EXPECT_EQ(table->slotCount, 36);
    for (int i = 16; i < 36; ++i)
        if (i != 20) {
            EXPECT_EQ(FindObject(table, i), nullptr) << i;
        }
    // The grown array kept what the old one held.
    EXPECT_NE(FindObject(table, 3), nullptr);
}

TEST_F(ObjectTableTest, ReusingANumberFreesTheOldObjectFirst) {
    Make(1)->payload = 7;
    freed.clear();
    Record* again = AllocateRecord<Record>(table, 1);
    EXPECT_EQ(freed, std::vector<Number>{1});
    // The slot comes back zero-filled, ready for the new object.
    EXPECT_EQ(again->handle, 0u);
    EXPECT_EQ(again->payload, 0);
    // A free slot is offered to the free function too, which finds nothing to do.
    freed.clear();
    Make(5);
    EXPECT_TRUE(freed.empty());
}

TEST_F(ObjectTableTest, FindRejectsFreeSlotsOutOfRangeValuesAndDeadHandles) {
    Make(2);
    AllocateObject(table, 4); // allocated but never given a handle: still free
    EXPECT_NE(FindObject(table, 2), nullptr);
    EXPECT_EQ(FindObject(table, 4), nullptr);
    EXPECT_EQ(FindObject(table, AnyNumber), nullptr);
    EXPECT_EQ(FindObject(table, 16), nullptr);
    EXPECT_EQ(FindObject(table, 1000000), nullptr);

    Record* dynamic = Make(AnyNumber);
    Number handle = DynamicHandle(dynamic);
    EXPECT_GE(handle, table->slotCount);
    EXPECT_EQ(FindObject(table, handle), dynamic);
    ReleaseObject(table, handle);
    EXPECT_EQ(FindObject(table, handle), nullptr);
    EXPECT_EQ(FindObject(table, handle + 8), nullptr);
}

TEST_F(ObjectTableTest, EnumeratesSlotsInOrderThenDynamicObjectsOldestFirst) {
    Make(7);
    Make(0);
    Make(3);
    Number a = DynamicHandle(Make(AnyNumber));
    Number b = DynamicHandle(Make(AnyNumber));
    std::vector<Number> seen;
    ResetObjectEnumeration(table);
    Number number = 0;
    while (NextObject(table, &number)) seen.push_back(number);
    EXPECT_EQ(seen, (std::vector<Number>{0, 3, 7, a, b}));
}

TEST_F(ObjectTableTest, TheObjectJustReturnedMayBeFreedDuringEnumeration) {
    Make(0);
    Make(3);
    Number a = DynamicHandle(Make(AnyNumber));
    Number b = DynamicHandle(Make(AnyNumber));
    Number c = DynamicHandle(Make(AnyNumber));
    FreeAllObjects(table);
    EXPECT_EQ(freed, (std::vector<Number>{0, 3, a, b, c}));
    ResetObjectEnumeration(table);
    EXPECT_EQ(NextObject(table, nullptr), nullptr);
    EXPECT_EQ(table->dynamicList, nullptr);
}

TEST_F(ObjectTableTest, ReleasingAMiddleDynamicObjectKeepsItsNeighboursReachable) {
    Number a = DynamicHandle(Make(AnyNumber));
    Number b = DynamicHandle(Make(AnyNumber));
    Number c = DynamicHandle(Make(AnyNumber));
    ReleaseObject(table, b);
    EXPECT_NE(FindObject(table, a), nullptr);
    EXPECT_NE(FindObject(table, c), nullptr);
    std::vector<Number> seen;
    ResetObjectEnumeration(table);
    Number number = 0;
    while (NextObject(table, &number)) seen.push_back(number);
    EXPECT_EQ(seen, (std::vector<Number>{a, c}));
    // Releasing the newest makes the next older one the head.
    ReleaseObject(table, c);
    EXPECT_EQ(FindObject(table, a), table->dynamicList ? reinterpret_cast<void*>(a) : nullptr);
}

TEST_F(ObjectTableTest, ReleasingAnObjectOtherThanTheOneReturnedDoesNotBreakEnumeration) {
    Number a = DynamicHandle(Make(AnyNumber));
    Number b = DynamicHandle(Make(AnyNumber));
    ResetObjectEnumeration(table);
    Number number = 0;
    ASSERT_NE(NextObject(table, &number), nullptr);
    EXPECT_EQ(number, a);
    ReleaseObject(table, b); // the cursor stands on b now
    EXPECT_EQ(NextObject(table, &number), nullptr);
}

TEST(LibraryStateTest, IsZeroFilledAndSeenByItsInitialiser) {
    struct State {
        int a;
        void* b;
        int initialised;
    };
    auto* state = NewLibraryState<State>([](void* raw) { static_cast<State*>(raw)->initialised = 1; });
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->a, 0);
    EXPECT_EQ(state->b, nullptr);
    EXPECT_EQ(state->initialised, 1);
    FreeMemory(state);
}

} // namespace
