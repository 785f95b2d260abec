#include "controls/toolbar.h"
void InitToolbars() {}
