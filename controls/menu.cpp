#include "controls/menu.h"
void InitMenus() {}
