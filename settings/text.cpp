#include "settings/text.h"
void InitTextService() {}
