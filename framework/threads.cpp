#include "framework/threads.h"
void InitThreads() {}
void EndThreads() {}
int StartThread(LPTHREAD_START_ROUTINE, void*) { return 0; }
void PauseThread(int milliseconds) { Sleep(milliseconds); }
