#include "core/object_table.h"

#include "core/memory.h"

#include <cstring>

// A dynamic object: links first, then the record. The record's address is the handle, which
// can never fall into the slot range because the node header lies below it.
struct ObjectNode {
    ObjectNode* next;     // older
    ObjectNode* previous; // newer
};

namespace {

void* NodeRecord(ObjectNode* node) { return node + 1; }

bool IsSlot(const ObjectTable* table, Number number) { return number >= 0 && number < table->slotCount; }

unsigned char* SlotRecord(ObjectTable* table, Number number) {
    return table->slots + static_cast<std::size_t>(number) * static_cast<std::size_t>(table->recordSize);
}

bool InUse(const void* record) {
    std::uintptr_t handle;
    std::memcpy(&handle, record, sizeof handle);
    return handle != 0;
}

// Handles are only trusted once found in the list: a stale or made-up value must not be
// dereferenced.
ObjectNode* FindNode(ObjectTable* table, Number handle) {
    for (ObjectNode* node = table->dynamicList; node; node = node->next)
        if (DynamicHandle(NodeRecord(node)) == handle) return node;
    return nullptr;
}

ObjectNode* OldestNode(ObjectTable* table) {
    ObjectNode* node = table->dynamicList;
    while (node && node->next) node = node->next;
    return node;
}

} // namespace

ObjectTable* NewObjectTable(int recordSize, int growStep, ObjectFreeFunction freeFunction) {
    // A record must at least hold its handle.
    if (recordSize < static_cast<int>(sizeof(void*))) recordSize = sizeof(void*);
    if (growStep < 1) growStep = 1;
    auto* table = static_cast<ObjectTable*>(AllocateMemory(sizeof(ObjectTable)));
    if (!table) return nullptr;
    table->recordSize = recordSize;
    table->growStep = growStep;
    table->freeFunction = freeFunction;
    table->slots = static_cast<unsigned char*>(
        AllocateMemory(static_cast<std::size_t>(growStep) * static_cast<std::size_t>(recordSize)));
    if (!table->slots) {
        FreeMemory(table);
        return nullptr;
    }
    table->slotCount = growStep;
    return table;
}

void DestroyObjectTable(ObjectTable* table) {
    if (!table) return;
    while (ObjectNode* node = table->dynamicList) {
        table->dynamicList = node->next;
        FreeMemory(node);
    }
    FreeMemory(table->slots);
    FreeMemory(table);
}

void* AllocateObject(ObjectTable* table, Number number) {
    if (!table) return nullptr;
    if (number == AnyNumber) {
        auto* node = static_cast<ObjectNode*>(AllocateMemory(sizeof(ObjectNode) + table->recordSize));
        if (!node) return nullptr;
        node->next = table->dynamicList;
        if (node->next) node->next->previous = node;
        table->dynamicList = node;
        return NodeRecord(node);
    }
    if (number < 0) return nullptr;
    if (number >= table->slotCount) {
        // Guard the 32-bit slot count: a number this large is a caller's mistake, not a table.
        if (number > 0x7FFFFFFF - table->growStep) return nullptr;
        int newCount = static_cast<int>(number) + table->growStep;
        void* grown = ResizeMemory(table->slots,
                                   static_cast<std::size_t>(newCount) * static_cast<std::size_t>(table->recordSize));
        if (!grown) return nullptr;
        table->slots = static_cast<unsigned char*>(grown);
        table->slotCount = newCount;
    }
    if (table->freeFunction) table->freeFunction(number);
    return SlotRecord(table, number);
}

void* FindObject(ObjectTable* table, Number number) {
    if (!table) return nullptr;
    void* record = nullptr;
    if (IsSlot(table, number)) {
        record = SlotRecord(table, number);
    } else if (number >= 0 || number < AnyNumber) {
        if (ObjectNode* node = FindNode(table, number)) record = NodeRecord(node);
    }
    return record && InUse(record) ? record : nullptr;
}

void ReleaseObject(ObjectTable* table, Number number) {
    if (!table) return;
    if (IsSlot(table, number)) {
        std::memset(SlotRecord(table, number), 0, static_cast<std::size_t>(table->recordSize));
        return;
    }
    ObjectNode* node = FindNode(table, number);
    if (!node) return;
    if (node->previous)
        node->previous->next = node->next;
    else
        table->dynamicList = node->next;
    if (node->next) node->next->previous = node->previous;
    // An enumeration standing on this node would otherwise walk into freed memory.
    if (table->enumerationCursor == node) table->enumerationCursor = node->previous;
    FreeMemory(node);
}

void ResetObjectEnumeration(ObjectTable* table) {
    if (!table) return;
    table->enumerationIndex = 0;
    table->enumerationCursor = OldestNode(table);
}

void* NextObject(ObjectTable* table, Number* number) {
    if (!table) return nullptr;
    while (table->enumerationIndex < table->slotCount) {
        int index = table->enumerationIndex++;
        void* record = SlotRecord(table, index);
        if (InUse(record)) {
            if (number) *number = index;
            return record;
        }
    }
    while (ObjectNode* node = table->enumerationCursor) {
        table->enumerationCursor = node->previous; // towards the newer end
        void* record = NodeRecord(node);
        if (InUse(record)) {
            if (number) *number = DynamicHandle(record);
            return record;
        }
    }
    return nullptr;
}

void FreeAllObjects(ObjectTable* table) {
    if (!table || !table->freeFunction) return;
    ResetObjectEnumeration(table);
    Number number = 0;
    while (NextObject(table, &number)) table->freeFunction(number);
}

void* NewLibraryState(int recordSize, void (*initialiser)(void* state)) {
    void* state = AllocateMemory(recordSize > 0 ? static_cast<std::size_t>(recordSize) : 1);
    if (state && initialiser) initialiser(state);
    return state;
}
