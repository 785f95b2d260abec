#include "settings/settings_document.h"
void InitSettings() {}
void EndSettings() {}
