#include "settings/linked_list.h"

#include "settings/element_pool.h"

#include "core/memory.h"

#include <cstring>

namespace {

void SetCurrent(LinkedList* list, ListElement* element, int index) {
    list->current = element;
    list->currentIndex = element ? index : -1;
    list->noCurrent = element ? 0 : 1;
    if (list->currentData) *list->currentData = ElementData(element);
}

ListElement* Forward(ListElement* element, int steps) {
    while (steps-- > 0)
        element = element->next;
    return element;
}

ListElement* Backward(ListElement* element, int steps) {
    while (steps-- > 0)
        element = element->previous;
    return element;
}

} // namespace

LinkedList* CreateLinkedList(int dataSize, void** currentData) {
    if (dataSize < 0) return nullptr;
    auto* list = static_cast<LinkedList*>(AllocateMemory(sizeof(LinkedList)));
    if (!list) return nullptr;
    list->elementSize = static_cast<int>(sizeof(ListElement)) + dataSize;
    list->pool = NewElementPool(list->elementSize);
    if (!list->pool) {
        FreeMemory(list);
        return nullptr;
    }
    list->currentData = currentData;
    SetCurrent(list, nullptr, -1);
    return list;
}

void DestroyLinkedList(LinkedList* list) {
    if (!list) return;
    EmptyLinkedList(list);
    DestroyElementPool(list->pool);
    FreeMemory(list);
}

void EmptyLinkedList(LinkedList* list) {
    if (!list) return;
    // Every element comes from the pool, so giving the pool's blocks back frees them all at once.
    ClearElementPool(list->pool);
    list->first = list->last = nullptr;
    list->count = 0;
    SetCurrent(list, nullptr, -1);
}

void* InsertAfterCurrent(LinkedList* list) {
    if (!list) return nullptr;
    auto* element = static_cast<ListElement*>(AllocateElement(list->pool));
    if (!element) return nullptr;
    std::memset(element, 0, static_cast<std::size_t>(list->elementSize));
    ++list->count;
    int index;
    if (!list->current) {
        element->next = list->first;
        if (list->first) list->first->previous = element;
        index = 0;
    } else {
        ListElement* before = list->current;
        element->previous = before;
        element->next = before->next;
        if (before->next) before->next->previous = element;
        before->next = element;
        index = list->currentIndex + 1;
    }
    if (!element->previous) list->first = element;
    if (!element->next) list->last = element;
    SetCurrent(list, element, index);
    return ElementData(element);
}

void* GoToElement(LinkedList* list, int index) {
    if (!list) return nullptr;
    int count = list->count;
    if (index < 0 || index >= count) {
        SetCurrent(list, nullptr, -1);
        return nullptr;
    }
    // Walk from whichever known place is nearest, so that stepping through the list by
    // increasing index costs one step per call.
    ListElement* element;
    if (!list->current) {
        element = index < count / 2 ? Forward(list->first, index) : Backward(list->last, count - 1 - index);
    } else {
        int at = list->currentIndex;
        if (index > at)
            element = (index - at) < (count - index) ? Forward(list->current, index - at)
                                                     : Backward(list->last, count - 1 - index);
        else
            element =
                (at - index) < index ? Backward(list->current, at - index) : Forward(list->first, index);
    }
    SetCurrent(list, element, index);
    return ElementData(element);
}

void* RemoveCurrentElement(LinkedList* list) {
    if (!list || !list->current) return nullptr;
    ListElement* element = list->current;
    --list->count;
    ListElement* previous = element->previous;
    ListElement* next = element->next;
    if (previous)
        previous->next = next;
    else
        list->first = next;
    if (next)
        next->previous = previous;
    else
        list->last = previous;
    FreeElement(list->pool, element);
    // Without an element before it, nothing becomes current, so that the next insertion goes to
    // the front where the removed element stood.
    SetCurrent(list, previous, list->currentIndex - 1);
    return ElementData(previous);
}
