// The main window's menu, toolbar, status bar and list. (Being filled in.)
#pragma once
void LoadToolbarImages();
void CreateMainMenu();
void CreateMainToolbar();
void CreateMainStatusBar();
void CreateFileList();
