#include "controls/owner_properties.h"

#include <atomic>

namespace {

struct CachedProperty {
    HWND window;
    const wchar_t* name;
    unsigned generation;
    void* value;
};

// Enough for the status bar, toolbar and both menu subclasses on one window, with room to spare.
constexpr int CacheSize = 8;

std::atomic<unsigned> propertyGeneration{1};
thread_local CachedProperty cache[CacheSize]{};
thread_local int nextSlot = 0;

} // namespace

void* CachedOwnerProperty(HWND window, const wchar_t* name) {
    unsigned generation = propertyGeneration.load();
    for (const CachedProperty& entry : cache)
        if (entry.window == window && entry.name == name && entry.generation == generation) return entry.value;
    CachedProperty& slot = cache[nextSlot];
    nextSlot = (nextSlot + 1) % CacheSize;
    slot = CachedProperty{window, name, generation, GetPropW(window, name)};
    return slot.value;
}

void OwnerPropertiesChanged() { propertyGeneration.fetch_add(1); }
