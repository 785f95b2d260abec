// Worker threads, numbered by a counter. (Being filled in.)
#pragma once
#include <windows.h>
void InitThreads();
void EndThreads();
int StartThread(LPTHREAD_START_ROUTINE procedure, void* parameter);
void PauseThread(int milliseconds);
