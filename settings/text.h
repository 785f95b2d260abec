// Decimal numbers and text comparison. (Being filled in.)
#pragma once
void InitTextService();
