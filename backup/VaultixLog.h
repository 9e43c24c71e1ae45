#pragma once

// The backup component's own log, "Vaultix.log" in the logs folder: every operation's
// start, the engine's verbose lines and the outcome. Safe to call from the worker
// threads; like the debug log it never fails its caller.

#include <QString>

// The full path of the log file.
QString vaultixLogFileName();

// Appends "yyyy-mm-dd hh:nn:ss [operation] text" (UTF-8, one line per line of text).
void vaultixLog(const QString& operation, const QString& text);
// The same into a log file already looked up, for the many lines of one operation.
void vaultixLog(const QString& logFile, const QString& operation, const QString& text);
