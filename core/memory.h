// The program's private heap. Every record the framework makes comes from here, zero-filled.
#pragma once

#include <cstddef>

// Creates the private heap. Until it exists (and after EndPrivateHeap) allocations still work,
// from the process heap, so that tests and early code need no set-up.
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
