// Numbered images from memory and the alpha operations. (Being filled in.)
#pragma once
#include "core/types.h"
void InitImageSupport();
void EndImageSupport();
void InitImages();
void ReleaseAllImages();
