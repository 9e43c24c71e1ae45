#pragma once

// The "dolvane-reg" command: query, add, delete, import and export settings of the hives in
// the manner of the registry's "reg" command, so a technician can set the product's
// database list and debug level.

#include <QStringList>
#include <QTextStream>

// Runs one command (arguments without the program name). Returns the exit status: 0 done,
// 1 failed or refused. Questions (no /f) are answered from in.
int runRegCommand(const QStringList& arguments, QTextStream& out, QTextStream& err,
                  QTextStream& in);
