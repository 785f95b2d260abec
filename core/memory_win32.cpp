#include "core/memory.h"

#include <windows.h>

namespace {
HANDLE privateHeap = nullptr;
bool heapChosen = false;

// The heap is chosen once, at the first allocation or at InitPrivateHeap, whichever comes first:
// a block must always go back to the heap it came from.
HANDLE CurrentHeap() {
    if (!heapChosen) {
        heapChosen = true;
        privateHeap = HeapCreate(0, 0, 0);
    }
    return privateHeap ? privateHeap : GetProcessHeap();
}
} // namespace

bool InitPrivateHeap() {
    CurrentHeap();
    return privateHeap != nullptr;
}

void EndPrivateHeap() {
    // Only on the way out: every block the framework made goes with it.
    if (privateHeap) HeapDestroy(privateHeap);
    privateHeap = nullptr;
}

void* AllocateMemory(std::size_t size) { return HeapAlloc(CurrentHeap(), HEAP_ZERO_MEMORY, size ? size : 1); }

void* ResizeMemory(void* block, std::size_t size) {
    if (!block) return AllocateMemory(size);
    return HeapReAlloc(CurrentHeap(), HEAP_ZERO_MEMORY, block, size ? size : 1);
}

void FreeMemory(void* block) {
    if (block) HeapFree(CurrentHeap(), 0, block);
}
