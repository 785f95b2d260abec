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

TEST_F(ObjectTableTest, GrowsBeyondTheNumberFindsOnlyLiveObjectsAndFreesAReusedOne) {
    Make(3)->payload = 7;
    AllocateObject(table, 4); // allocated but never given a handle: still free
    Make(20);
    EXPECT_EQ(table->slotCount, 36);
    // The grown array kept what the old one held, and nothing else.
    EXPECT_NE(FindObject(table, 3), nullptr);
    for (Number number : {Number{4}, Number{16}, Number{21}, Number{35}, AnyNumber, Number{1000000}})
        EXPECT_EQ(FindObject(table, number), nullptr) << number;

    Record* dynamic = Make(AnyNumber);
    Number handle = DynamicHandle(dynamic);
    EXPECT_EQ(FindObject(table, handle), dynamic);
    ReleaseObject(table, handle);
    EXPECT_EQ(FindObject(table, handle), nullptr);
    EXPECT_EQ(FindObject(table, handle + 8), nullptr);

    // Reusing a number frees the old object first; the slot comes back zero-filled. A free
    // slot is offered to the free function too, which finds nothing to do.
    Record* again = AllocateRecord<Record>(table, 3);
    EXPECT_EQ(again->payload, 0);
    EXPECT_EQ(again->handle, 0u);
    Make(5);
    EXPECT_EQ(freed, std::vector<Number>{3});
    Make(AnyNumber); // left to DestroyObjectTable (the leak checker sees whether it goes)
}

// Slots in order, then dynamic objects oldest first; releasing objects, the one just returned
// or another, keeps the rest reachable and the enumeration whole.
TEST_F(ObjectTableTest, EnumerationSurvivesReleasesAnywhere) {
    auto all = [&] {
        std::vector<Number> seen;
        ResetObjectEnumeration(table);
        for (Number number = 0; NextObject(table, &number);)
            seen.push_back(number);
        return seen;
    };
    for (Number number : {7, 0, 3})
        Make(number);
    Number a = DynamicHandle(Make(AnyNumber)), b = DynamicHandle(Make(AnyNumber));
    Number c = DynamicHandle(Make(AnyNumber)), d = DynamicHandle(Make(AnyNumber));
    EXPECT_EQ(all(), (std::vector<Number>{0, 3, 7, a, b, c, d}));
    ReleaseObject(table, c);
    ReleaseObject(table, 7);
    EXPECT_EQ(all(), (std::vector<Number>{0, 3, a, b, d}));

    ResetObjectEnumeration(table);
    Number number = 0;
    while (NextObject(table, &number) && number != a) {
    }
    ReleaseObject(table, b); // the cursor stands on b now
    EXPECT_EQ(NextObject(table, &number), FindObject(table, d));
    EXPECT_EQ(number, d);

    // FreeAllObjects frees each object as the enumeration returns it.
    freed.clear();
    FreeAllObjects(table);
    EXPECT_EQ(freed, (std::vector<Number>{0, 3, a, d}));
    EXPECT_EQ(all(), std::vector<Number>{});
    EXPECT_EQ(table->dynamicList, nullptr);
}

TEST(LibraryStateTest, IsZeroFilledAndSeenByItsInitialiser) {
    struct State {
        void* zero;
        int initialised;
    };
    auto* state = NewLibraryState<State>([](void* raw) { static_cast<State*>(raw)->initialised += 1; });
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->zero, nullptr);
    EXPECT_EQ(state->initialised, 1);
    FreeMemory(state);
}

} // namespace
