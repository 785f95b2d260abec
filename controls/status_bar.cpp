#include "controls/status_bar.h"
void InitStatusBars() {}
