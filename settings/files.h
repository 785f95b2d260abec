// File and directory services, numbered buffered files. (Being filled in.)
#pragma once
void InitDataFiles();
void CloseAllDataFiles();
