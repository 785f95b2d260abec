// Native stand-in for the private heap, so the pure engines run under the sanitizers.
// A small header remembers each block's size, because a grown block must read zero beyond it.
#include "core/memory.h"

#include <cstdlib>
#include <cstring>

namespace {
struct alignas(std::max_align_t) BlockHeader {
    std::size_t size;
};
} // namespace

bool InitPrivateHeap() { return true; }
void EndPrivateHeap() {}

void* AllocateMemory(std::size_t size) {
    auto* header = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + size));
    if (!header) return nullptr;
    header->size = size;
    return header + 1;
}

void* ResizeMemory(void* block, std::size_t size) {
    if (!block) return AllocateMemory(size);
    BlockHeader* old = static_cast<BlockHeader*>(block) - 1;
    std::size_t oldSize = old->size;
    auto* header = static_cast<BlockHeader*>(std::realloc(old, sizeof(BlockHeader) + size));
    if (!header) return nullptr;
    if (size > oldSize) std::memset(reinterpret_cast<char*>(header + 1) + oldSize, 0, size - oldSize);
    header->size = size;
    return header + 1;
}

void FreeMemory(void* block) {
    if (block) std::free(static_cast<BlockHeader*>(block) - 1);
}
