#pragma once

// The room a run needs before it copies anything: the temporary folder holds the work copy
// (and, with compression, the compression's backup and restored copy at the same time);
// the database's folder holds the copy back until it replaces the database.

#include <QString>
#include <functional>
#include <stdexcept>

class NotEnoughSpace final : public std::runtime_error {
public:
    explicit NotEnoughSpace(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// Throws NotEnoughSpace ("Not enough free space in /tmp: 812 MB needed, 120 MB free") when
// a folder lacks the room for a run on a database of databaseSize bytes; std::system_error
// when a folder's free space cannot be read.
void checkFreeSpace(const QString& tempFolder, const QString& databaseFolder, qint64 databaseSize,
                    bool compress);

// Test seam: the free bytes of a folder's file system. An empty function restores the
// real query.
void setFreeSpaceSource(std::function<qint64(const QString& folder)> source);
