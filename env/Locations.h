#pragma once

// Where the station database lives locally, the program folder of the back-office product,
// and the folders and names of work files. Paths use "/"; a folder text ends in "/".

#include <QString>
#include <QtGlobal>
#include <functional>

// The local path of a database given as the operator or the product named it: the
// LocalPath of the first database-list entry whose ServerPath matches (A to Z in any case),
// else the path itself when it is local (begins with "/"), else an empty text.
QString LocalGDBFromRemoteGDB(const QString& aRemoteGDB);

// The local path of the database the product used last ("" when none).
QString LastUsedGDBLocal();

// The folder of the last used database, created if missing.
QString DataFolder();

// The folder with a trailing "/", created (with its parents) when asked; creation
// failures are silent. An empty name gives "/".
QString mkFolder(const QString& aFolderName, bool createIfNecessary);

// A temporary folder ending in "/", created if missing: the platform's (TMPDIR) when
// forceLocal, else "Temp" in the data folder.
QString uu_getTempDir(bool forceLocal);

// A new full path in baseDir: the upper-case hexadecimal digits of the low 16 bits of a
// millisecond tick, then fileExt (".gdb"). Names that already exist are skipped (next
// number), so a work file never overwrites another file. Raises std::system_error when
// baseDir is no folder or every name is taken.
QString uu_getUniqueFileName(const QString& baseDir, const QString& fileExt);

// The full path of the running executable.
QString uu_getModuleName();

// The program folder of the back-office product, ending in "/", as settled by InitUUtils.
QString clientRoot();

// Settles the program folder once at start-up: the "ProgramFolder" setting when
// "BrevikMain" is there, else this program's folder when it holds "BrevikMain", else the
// folder above this program's.
void InitUUtils();

// The folder part of a path: up to and including its last "/" (empty when it has none).
QString folderPart(const QString& path);
// What follows the folder part.
QString filePart(const QString& path);

// Test seams: the millisecond tick behind uu_getUniqueFileName and the path taken as the
// running executable. An empty function or text restores the real one.
void setTickSource(std::function<quint64()> source);
void setModuleNameOverride(const QString& path);
