#pragma once

// Where the station database lives locally and where work files go.

#include <QString>

// The local path of a database given as the operator or the product named it, or an
// empty text when it cannot be mapped.
QString LocalGDBFromRemoteGDB(const QString& aRemoteGDB);

// The folder with a trailing "/", created (with its parents) when asked; creation
// failures are silent.
QString mkFolder(const QString& aFolderName, bool createIfNecessary);

// A temporary folder ending in "/", created if missing.
QString uu_getTempDir(bool forceLocal);

// A new full path in baseDir (ending in "/") with the extension fileExt (".gdb"). Names
// that already exist are skipped, so a work file never overwrites another file.
QString uu_getUniqueFileName(const QString& baseDir, const QString& fileExt);
