#include "settings/element_pool.h"

#include "core/memory.h"

#include <cstddef>
#include <cstdint>

// A block: this header, then its slots. Each slot starts with a word naming its block, so that a
// freed element finds its way home without a search; the element follows.
struct ElementPoolBlock {
    ElementPoolBlock* next;
    ElementPoolBlock* previous;
    int capacity;
    int handedOut;  // slots ever taken from the never-used end
    int freedCount; // slots on the freed chain
    bool onFullList;
    void* freedChain; // most recently freed element first; the chain link lives in the element
};

namespace {

constexpr std::size_t WordSize = sizeof(void*);

std::size_t RoundUp(std::size_t size, std::size_t step) {
    return (size + step - 1) / step * step;
}

std::size_t BlockHeaderSize() {
    return RoundUp(sizeof(ElementPoolBlock), alignof(std::max_align_t));
}

unsigned char* SlotAt(ElementPoolBlock* block, std::size_t slotSize, int index) {
    return reinterpret_cast<unsigned char*>(block) + BlockHeaderSize() +
           slotSize * static_cast<std::size_t>(index);
}

ElementPoolBlock*& ListOf(ElementPool* pool, ElementPoolBlock* block) {
    return block->onFullList ? pool->full : pool->withRoom;
}

void Unlink(ElementPool* pool, ElementPoolBlock* block) {
    if (block->previous)
        block->previous->next = block->next;
    else
        ListOf(pool, block) = block->next;
    if (block->next) block->next->previous = block->previous;
    block->next = block->previous = nullptr;
}

void PushFront(ElementPool* pool, ElementPoolBlock* block, bool full) {
    block->onFullList = full;
    ElementPoolBlock*& head = ListOf(pool, block);
    block->previous = nullptr;
    block->next = head;
    if (head) head->previous = block;
    head = block;
}

ElementPoolBlock* MakeBlock(ElementPool* pool, int capacity) {
    std::size_t size =
        BlockHeaderSize() + static_cast<std::size_t>(pool->slotSize) * static_cast<std::size_t>(capacity);
    return static_cast<ElementPoolBlock*>(AllocateMemory(size));
}

void FreeBlocks(ElementPoolBlock* block) {
    while (block) {
        ElementPoolBlock* next = block->next;
        FreeMemory(block);
        block = next;
    }
}

// About a sixteenth of what the pool holds already, so that the number of blocks grows with the
// logarithm of the list's size rather than with the size.
int NextBlockCapacity(const ElementPool* pool) {
    int capacity = pool->totalSlots / 16 / 16 * 16;
    if (capacity < SmallestPoolBlock) capacity = SmallestPoolBlock;
    if (capacity > LargestPoolBlock) capacity = LargestPoolBlock;
    return capacity;
}

int CountBlocks(const ElementPoolBlock* block, int* slotsInUse) {
    int count = 0;
    for (; block; block = block->next) {
        ++count;
        *slotsInUse += block->handedOut - block->freedCount;
    }
    return count;
}

} // namespace

ElementPool* NewElementPool(int elementSize) {
    if (elementSize < 1) elementSize = 1;
    // The freed chain is threaded through the element itself, so an element holds a pointer.
    std::size_t element = RoundUp(static_cast<std::size_t>(elementSize), WordSize);
    std::size_t slotSize = WordSize + element;
    if (slotSize > static_cast<std::size_t>(INT32_MAX) / LargestPoolBlock) return nullptr;
    auto* pool = static_cast<ElementPool*>(AllocateMemory(sizeof(ElementPool)));
    if (!pool) return nullptr;
    pool->slotSize = static_cast<int>(slotSize);
    return pool;
}

void DestroyElementPool(ElementPool* pool) {
    if (!pool) return;
    ClearElementPool(pool);
    FreeMemory(pool);
}

void ClearElementPool(ElementPool* pool) {
    if (!pool) return;
    FreeBlocks(pool->withRoom);
    FreeBlocks(pool->full);
    pool->withRoom = pool->full = nullptr;
    pool->totalSlots = 0;
}

void* AllocateElement(ElementPool* pool) {
    if (!pool) return nullptr;
    ElementPoolBlock* block = pool->withRoom;
    if (!block) {
        int capacity = NextBlockCapacity(pool);
        block = MakeBlock(pool, capacity);
        if (!block) {
            // A tight heap may still have room for a single slot.
            capacity = 1;
            block = MakeBlock(pool, capacity);
            if (!block) return nullptr;
        }
        block->capacity = capacity;
        pool->totalSlots += capacity;
        PushFront(pool, block, false);
    }

    void* element;
    if (block->freedChain) {
        element = block->freedChain;
        block->freedChain = *static_cast<void**>(element);
        --block->freedCount;
    } else {
        unsigned char* slot = SlotAt(block, static_cast<std::size_t>(pool->slotSize), block->handedOut++);
        *reinterpret_cast<ElementPoolBlock**>(slot) = block;
        element = slot + WordSize;
    }
    if (!block->freedChain && block->handedOut == block->capacity) {
        Unlink(pool, block);
        PushFront(pool, block, true);
    }
    return element;
}

void FreeElement(ElementPool* pool, void* element) {
    if (!pool || !element) return;
    ElementPoolBlock* block =
        *reinterpret_cast<ElementPoolBlock**>(static_cast<unsigned char*>(element) - WordSize);
    *static_cast<void**>(element) = block->freedChain;
    block->freedChain = element;
    ++block->freedCount;
    if (block->freedCount == block->handedOut) {
        Unlink(pool, block);
        pool->totalSlots -= block->capacity;
        FreeMemory(block);
        return;
    }
    if (block->onFullList) {
        Unlink(pool, block);
        PushFront(pool, block, false);
    }
}

ElementPoolStatistics QueryElementPool(const ElementPool* pool) {
    ElementPoolStatistics statistics{};
    if (!pool) return statistics;
    int withRoom = CountBlocks(pool->withRoom, &statistics.slotsInUse);
    statistics.fullBlocks = CountBlocks(pool->full, &statistics.slotsInUse);
    statistics.blocks = withRoom + statistics.fullBlocks;
    statistics.totalSlots = pool->totalSlots;
    return statistics;
}
