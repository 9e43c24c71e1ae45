#pragma once

// File moves of the run: the copy of the dropped database into the temporary folder and
// the copy of the cleaned work copy back over it.

#include <QString>

// Copies source to a new file target (which must not exist). False on any failure, with
// no partial target left behind.
bool copyToNewFile(const QString& source, const QString& target);

// Replaces target with a copy of source without ever leaving target damaged: the data
// goes to a temporary file in target's folder, is flushed to disk, then renamed over
// target. On failure target is as before and the temporary file is gone.
bool replaceFileSafely(const QString& source, const QString& target);

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
