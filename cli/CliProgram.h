#pragma once

// What dolvane-cli does with its arguments: the run (or the dry run) on the named file,
// status lines on err, the report (a table, or one JSON object) on out. The process
// around it owns the application object, the database client and the debug log.

#include <QStringList>
#include <cstdio>

// The exit status: 0 when the run reached "Done", 1 when it failed, 2 for bad usage.
int runCli(const QStringList& arguments, std::FILE* out, std::FILE* err);
