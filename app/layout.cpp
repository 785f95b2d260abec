#include "app/layout.h"
void LoadToolbarImages() {}
void CreateMainMenu() {}
void CreateMainToolbar() {}
void CreateMainStatusBar() {}
void CreateFileList() {}
