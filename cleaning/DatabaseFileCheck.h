#pragma once

// What must hold of a dropped database file before a run copies anything: a regular file
// (after following symbolic links) with a single name, that starts with a Firebird
// database header, can be read, and whose folder lets the run create the replacement
// beside it with the file's own owner and group. The window checks a drop the same way.

#include <QString>

// Why the file at path cannot be cleaned, as a message for the operator that names the
// file and the reason; an empty text when it can. Creates nothing that outlives the call
// (a probe file beside the database is made and removed again).
QString databaseFileRefusal(const QString& path);

// True when data starts like a Firebird database: a header page of a valid page size
// and a Firebird on-disk structure version.
bool hasDatabaseHeader(const QByteArray& data);
