// Message box and open-file requesters. (Being filled in.)
#pragma once
void InitRequesters();
int ShowMessageBox(const char* title, const char* text, unsigned flags);
