// Status bars. (Being filled in.)
#pragma once
void InitStatusBars();
