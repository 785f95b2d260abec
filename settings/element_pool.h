// Memory for the elements of one list: slots carved from blocks that grow with the list, so that
// adding and removing elements does not go to the heap for every element.
#pragma once

struct ElementPoolBlock;

struct ElementPool {
    int slotSize;               // the element plus the word that names the slot's block
    int totalSlots;             // capacity of all blocks together
    ElementPoolBlock* withRoom; // blocks that can still hand out a slot, most useful first
    ElementPoolBlock* full;     // blocks with every slot handed out and none freed
};

constexpr int SmallestPoolBlock = 16;
constexpr int LargestPoolBlock = 65536;

// A pool for elements of elementSize bytes (at least 1), or null when memory runs out.
ElementPool* NewElementPool(int elementSize);
// Releases every block and the pool itself. Null is allowed.
void DestroyElementPool(ElementPool* pool);
// Releases every block at once; the slots handed out so far become invalid.
void ClearElementPool(ElementPool* pool);

// A slot of elementSize bytes, aligned for pointers; its contents are whatever was there
// before. Null only when not even a one-slot block can be had.
void* AllocateElement(ElementPool* pool);
// Gives a slot back. A block whose slots are all back is released at once.
void FreeElement(ElementPool* pool, void* element);

// Figures for tests and measurements.
struct ElementPoolStatistics {
    int blocks;     // all blocks
    int fullBlocks; // of those, blocks on the full list
    int totalSlots; // their capacity together
    int slotsInUse; // handed out and not given back
};
ElementPoolStatistics QueryElementPool(const ElementPool* pool);
