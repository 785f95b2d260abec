// The object registry: one table per object kind maps the numbers the application chose to the
// kind's records. Numbers index a slot array; AnyNumber asks for a dynamic object whose handle
// (the record's address) is handed out instead. The first field of every record is the object's
// system handle: zero means free.
#pragma once

#include "core/types.h"

// The kind's own free or close operation. It looks the object up, does nothing for a free
// number, destroys the system object and calls ReleaseObject itself.
using ObjectFreeFunction = void (*)(Number numberOrHandle);

struct ObjectNode;

struct ObjectTable {
    int recordSize;
    int growStep;
    int slotCount;
    ObjectNode* dynamicList; // newest first
    ObjectFreeFunction freeFunction;
    int enumerationIndex;
    ObjectNode* enumerationCursor;
    unsigned char* slots;
};

ObjectTable* NewObjectTable(int recordSize, int growStep, ObjectFreeFunction freeFunction);
// The program keeps its tables for its whole run; tests that make many tables give them back.
// Does not call the free function: the objects must be gone already.
void DestroyObjectTable(ObjectTable* table);

// The record for a number (growing the table as needed, freeing any object that held the
// number), or a new zero-filled dynamic record for AnyNumber. Null when memory runs out.
void* AllocateObject(ObjectTable* table, Number number);
// The live record for a number or dynamic handle, else null.
void* FindObject(ObjectTable* table, Number number);
void ReleaseObject(ObjectTable* table, Number number);

// Enumeration: slots in number order, then dynamic objects oldest to newest. The object just
// returned may be freed before the next call.
void ResetObjectEnumeration(ObjectTable* table);
void* NextObject(ObjectTable* table, Number* number);
void FreeAllObjects(ObjectTable* table);

// The number a dynamic record is known by.
inline Number DynamicHandle(const void* record) { return reinterpret_cast<Number>(record); }

template <class Record> Record* FindRecord(ObjectTable* table, Number number) {
    return static_cast<Record*>(FindObject(table, number));
}
template <class Record> Record* AllocateRecord(ObjectTable* table, Number number) {
    return static_cast<Record*>(AllocateObject(table, number));
}

// One zero-filled state record per library, made once at its start-up and kept for the
// process's lifetime. The initialiser, when given, sees the record before it is returned.
void* NewLibraryState(int recordSize, void (*initialiser)(void* state));

template <class State> State* NewLibraryState(void (*initialiser)(void*) = nullptr) {
    return static_cast<State*>(NewLibraryState(static_cast<int>(sizeof(State)), initialiser));
}
