#include "settings/files.h"
void InitDataFiles() {}
void CloseAllDataFiles() {}
