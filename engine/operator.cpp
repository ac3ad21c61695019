#include "engine/operator.h"

Operator* uploadOperator = nullptr;

void componentEnable(bool enable) { uploadOperator->enableControls(enable); }
void message(const char* text) { uploadOperator->infoBox(text); }
void messageErr(const char* text) { uploadOperator->errorBox(text); }
