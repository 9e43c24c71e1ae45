#include "env/Log.h"

void DebugOut(const QString&, int, const QString&) {}
