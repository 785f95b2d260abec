#include "core/memory.h"

#include <windows.h>

namespace {
HANDLE privateHeap = nullptr;

HANDLE CurrentHeap() { return privateHeap ? privateHeap : GetProcessHeap(); }
} // namespace

bool InitPrivateHeap() {
    if (!privateHeap) privateHeap = HeapCreate(0, 0, 0);
    return privateHeap != nullptr;
}

void EndPrivateHeap() {
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
