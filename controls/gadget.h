// Gadget base and the report list. (Being filled in.)
#pragma once
#include "core/types.h"
#include <windows.h>
void InitGadgets();
void EndGadgets();
void MoveGadget(Number number, int x, int y, int width, int height);
HWND GadgetHandle(Number number);
