#include "engine/operator.h"

#include "engine/line.h"

void componentEnable(Line& line, bool enable) { line.op->enableControls(enable); }
void message(Line& line, const char* text) { line.op->infoBox(text); }
void messageErr(Line& line, const char* text) { line.op->errorBox(text); }
