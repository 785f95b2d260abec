// Toolbars. (Being filled in.)
#pragma once
void InitToolbars();
