#include "framework/threads.h"

#include "core/handles_win32.h"
#include "core/memory.h"

namespace {

struct ThreadNode {
    ThreadNode* next;
    ThreadNode* previous;
    HANDLE handle;
    int number;
};

// Made before main runs, so that any thread may start threads without racing to set it up.
struct ThreadList {
    CRITICAL_SECTION lock;
    ThreadNode* newest = nullptr;
    int counter = 1;
    ThreadList() { InitializeCriticalSection(&lock); }
    // Never deleted: a thread may still be inside StartThread while the process ends.
};

ThreadList threads;

struct Lock {
    Lock() { EnterCriticalSection(&threads.lock); }
    ~Lock() { LeaveCriticalSection(&threads.lock); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
};

void Unlink(ThreadNode* node) {
    if (node->previous)
        node->previous->next = node->next;
    else
        threads.newest = node->next;
    if (node->next) node->next->previous = node->previous;
}

void SweepEndedThreads() {
    ThreadNode* node = threads.newest;
    while (node) {
        ThreadNode* next = node->next;
        if (WaitForSingleObject(node->handle, 0) == WAIT_OBJECT_0) {
            UniqueKernelHandle ended(node->handle); // the node is plain memory
            Unlink(node);
            FreeMemory(node);
        }
        node = next;
    }
}

} // namespace

void InitThreads() {}

void EndThreads() {
    Lock lock;
    while (ThreadNode* node = threads.newest) {
        threads.newest = node->next;
        UniqueKernelHandle gone(node->handle);
        FreeMemory(node);
    }
}

int StartThread(LPTHREAD_START_ROUTINE procedure, void* parameter) {
    // A thread started at address 0 would bring the whole process down.
    if (!procedure) return 0;
    auto* node = AllocateRecord<ThreadNode>();
    if (!node) return 0;
    HANDLE handle = CreateThread(nullptr, 4096, procedure, parameter, 0, nullptr);
    if (!handle) {
        FreeMemory(node);
        return 0;
    }
    Lock lock;
    SweepEndedThreads();
    node->handle = handle;
    node->number = threads.counter++;
    node->next = threads.newest;
    if (node->next) node->next->previous = node;
    threads.newest = node;
    return node->number;
}

void PauseThread(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

int KeptThreadCount() {
    Lock lock;
    int count = 0;
    for (ThreadNode* node = threads.newest; node; node = node->next)
        ++count;
    return count;
}
