// The program's private heap. Every record the framework makes comes from here, zero-filled.
#pragma once

#include <cstddef>

// Creates the private heap; the first allocation does so too, so tests and early code need no
// set-up, and a block can never be freed into a heap other than its own. EndPrivateHeap releases
// every block at once and belongs to the last step before the process ends.
bool InitPrivateHeap();
void EndPrivateHeap();

// Zero-filled block, or null.
void* AllocateMemory(std::size_t size);
// Grows or shrinks a block; bytes beyond the old size are zero. Null in, allocation out.
// On failure the old block is untouched and null is returned.
void* ResizeMemory(void* block, std::size_t size);
// Null is allowed.
void FreeMemory(void* block);

// Typed convenience for records.
template <class T> T* AllocateRecord() { return static_cast<T*>(AllocateMemory(sizeof(T))); }
