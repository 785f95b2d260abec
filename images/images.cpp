#include "images/images.h"
void InitImageSupport() {}
void EndImageSupport() {}
void InitImages() {}
void ReleaseAllImages() {}
