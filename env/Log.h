#pragma once

// The debug log's one entry point.

#include <QString>

void DebugOut(const QString& text, int debugLevel = 0, const QString& aFile = QString());
