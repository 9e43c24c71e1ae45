#pragma once

// The lock the Firebird engine takes on every database file it has open (an exclusive
// flock; a database server holds it as well). Holding it ourselves while a file is copied
// and replaced keeps every other program, and every attachment of our own, away from it;
// failing to get it means the file is in use and must not be replaced.

#include <QString>
#include <stdexcept>

// Raised when another program (or another attachment) has the database open.
class DatabaseInUse final : public std::runtime_error {
public:
    DatabaseInUse();
};

// The operator's message for a database in use.
QString databaseInUseMessage();

class DatabaseLock final {
public:
    // Takes the lock on the file at path without waiting for other programs (the engine
    // may take a moment to let go of a file after its last detach, so a refusal is retried
    // briefly). Throws DatabaseInUse when the lock is held, std::system_error when the
    // file cannot be opened.
    explicit DatabaseLock(const QString& path);
    ~DatabaseLock();
    DatabaseLock(const DatabaseLock&) = delete;
    DatabaseLock& operator=(const DatabaseLock&) = delete;

private:
    int fFd = -1;
};
