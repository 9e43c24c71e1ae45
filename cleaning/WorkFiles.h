#pragma once

// File moves of the run: the copy of the dropped database into the run's private folder
// and the copy of the cleaned work copy back over it. Failures raise FileCopyError whose
// text is the file and the system's reason ("/tmp/x: No space left on device").

#include <QString>
#include <functional>
#include <stdexcept>

class FileCopyError final : public std::runtime_error {
public:
    explicit FileCopyError(const QString& reason) : std::runtime_error(reason.toStdString()) {}
};

// Copies source to a new file target (which must not exist), created with mode 0600 so
// only this account can read the station's data. On failure no part of target is left.
void copyToNewFile(const QString& source, const QString& target);

// Replaces target with a copy of source without ever leaving target damaged: the data
// goes to a temporary file in target's folder that takes target's owner, group and mode,
// is flushed to disk and renamed over target; then the folder is flushed too, so a power
// cut cannot bring the old name back. On failure target is as before and the temporary
// file is gone.
void replaceFileSafely(const QString& source, const QString& target);

// The name pattern of the temporary file that replaceFileSafely makes beside target; a
// run killed mid-copy leaves one behind, which removeStaleReplacements recognises.
QString replacementTemplate(const QString& target);
// Removes the temporary files beside target left by copies back that were killed:
// regular files of this account named after the template and not locked by a live copy.
void removeStaleReplacements(const QString& target);

// Test seam for the file device: called before each read of a copy with the file and the
// offset; a non-zero result fails that read with that errno. An empty function restores
// plain reads.
void setCopyReadFault(std::function<int(const QString& file, qint64 offset)> fault);

// Deletes a file when the owner goes out of scope (the work copy, on every way out).
class FileRemover final {
public:
    explicit FileRemover(QString path) : fPath(std::move(path)) {}
    ~FileRemover();
    FileRemover(const FileRemover&) = delete;
    FileRemover& operator=(const FileRemover&) = delete;

private:
    QString fPath;
};
