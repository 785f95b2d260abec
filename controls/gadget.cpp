#include "controls/gadget.h"
void InitGadgets() {}
void EndGadgets() {}
void MoveGadget(Number, int, int, int, int) {}
HWND GadgetHandle(Number) { return nullptr; }
