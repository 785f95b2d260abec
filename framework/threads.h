// Worker threads, numbered by a counter that never reuses a number. The framework keeps the
// handles of the threads it started so that those of ended threads can be closed.
#pragma once

#include <windows.h>

void InitThreads();
// Closes every kept handle without stopping or waiting for the threads.
void EndThreads();

// The new thread's number (1, 2, ...), or 0 when it cannot be started; a failed start uses up
// no number.
int StartThread(LPTHREAD_START_ROUTINE procedure, void* parameter);
void PauseThread(int milliseconds);

// How many thread handles the framework still holds (ended threads are swept at each start).
int KeptThreadCount();
