#include "framework/requesters.h"
void InitRequesters() {}
int ShowMessageBox(const char*, const char*, unsigned) { return 0; }
