// Settings documents. (Being filled in.)
#pragma once
void InitSettings();
void EndSettings();
