#pragma once

// The private folder that holds one run's work files (the work copy, the compression's
// backup and its restored copy) in the temporary folder. It is made with mode 0700, so no
// other account can read a station's data while the run lives, and it holds a lock file
// locked by the live run: a folder whose lock nobody holds belongs to a run that crashed
// or was killed, and the next run or window removes it.

#include <QString>

class RunFolder final {
public:
    // Makes "dolvane-run-XXXXXX" in tempDir (the platform's temporary folder when empty).
    // Throws std::system_error with the system's reason when it cannot.
    explicit RunFolder(const QString& tempDir = QString());
    // Removes the folder with everything in it.
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // The folder, without a trailing "/".
    const QString& path() const { return fPath; }
    // The path of a file of the run inside the folder.
    QString filePath(const QString& name) const;

private:
    QString fPath;
    int fLockFd = -1;
};

// Removes the run folders in tempDir (the platform's temporary folder when empty) whose
// run is gone. Only folders that are recognisably ours are looked at: named as a run
// folder, owned by this account, holding the run's lock file, and that lock free. Returns
// how many were removed.
int sweepStaleRunFolders(const QString& tempDir = QString());

// The run folder that holds path directly (path's own folder), or an empty text when
// path lies elsewhere.
QString runFolderOf(const QString& path);

// While it lives, files and folders made by this process (the engine's too, which runs
// in-process) are for this account only; the umask before is put back afterwards.
class PrivateFileMode final {
public:
    PrivateFileMode();
    ~PrivateFileMode();
    PrivateFileMode(const PrivateFileMode&) = delete;
    PrivateFileMode& operator=(const PrivateFileMode&) = delete;

private:
    unsigned fPrevious;
};
