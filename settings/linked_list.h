// A doubly linked list with a current element. Elements hold a fixed-size block of the caller's
// data, zero-filled when added; the caller works on that data through the pointers returned here
// or through its current-element reference, which the list keeps pointing at the current
// element's data (null without one) after every operation.
//
//     void* current = nullptr;
//     LinkedList* list = CreateLinkedList(sizeof(int), &current);
//     *static_cast<int*>(InsertAfterCurrent(list)) = 42;   // current now points at the 42
#pragma once

struct ElementPool;

struct ListElement {
    ListElement* next;
    ListElement* previous;
    // the caller's data follows
};

struct LinkedList {
    ListElement* first;
    ListElement* last;
    ListElement* current;
    void** currentData; // the caller's reference, or null when the caller keeps none
    int count;
    int currentIndex; // 0-based index of the current element, -1 without one
    int noCurrent;    // 1 when there is no current element
    int elementSize;  // the caller's data size plus the two links
    ElementPool* pool;
};

// The caller's data of an element.
inline void* ElementData(ListElement* element) {
    return element ? element + 1 : nullptr;
}

// An empty list without a current element, or null when memory runs out. currentData may be null.
LinkedList* CreateLinkedList(int dataSize, void** currentData);
// Removes every element, then releases the list. Null is ignored.
void DestroyLinkedList(LinkedList* list);
// Removes every element; no current element afterwards.
void EmptyLinkedList(LinkedList* list);

// Adds a zero-filled element directly after the current one, or at the front when there is no
// current element, and makes it current. Its data, or null when memory runs out (the list is
// then unchanged).
void* InsertAfterCurrent(LinkedList* list);
// Makes the element at index current and returns its data. Out of range: null, and no element
// is current any more.
void* GoToElement(LinkedList* list, int index);
// Removes the current element. The element before it becomes current; removing the first
// element leaves none current, so that the next insertion goes to the front. Returns the new
// current element's data, or null.
void* RemoveCurrentElement(LinkedList* list);

inline int ListCount(const LinkedList* list) {
    return list ? list->count : 0;
}
inline void* CurrentElementData(LinkedList* list) {
    return list ? ElementData(list->current) : nullptr;
}
