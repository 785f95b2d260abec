// Menu bars and image menus. (Being filled in.)
#pragma once
void InitMenus();
