#pragma once

// The engine's services manager ("service_mgr", reached in-process through the embedded
// engine): backup of a database file in Firebird's portable format and restore from such
// a backup, with the service's verbose lines handed to a callback as they come.

#include "db/DbError.h"

#include <QString>
#include <atomic>
#include <functional>
#include <vector>

namespace Firebird {
class IService;
} // namespace Firebird

namespace db {

// Raised out of a backup or restore that was stopped by Cancel().
class ServiceCancelled : public DbError {
public:
    explicit ServiceCancelled(const QString& operation)
        : DbError(operation, QStringLiteral("The operation was cancelled")) {}
};

class Service final {
public:
    // One verbose line of the running service, without its line end.
    using LineHandler = std::function<void(const QString& line)>;

    struct BackupOptions {
        // Skips garbage collection while reading: right for a backup that is restored at once.
        bool noGarbageCollect = false;
    };

    struct RestoreOptions {
        // Overwrite a database file that already exists at the target.
        bool replace = false;
    };

    // The services manager is attached as user/password when an operation starts.
    Service(const QString& user, const QString& password);
    ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    // Backs the database file up into backupFile. Returns when the service has finished;
    // throws DbError with the engine's message when it failed (or ended without saying it
    // was complete) and ServiceCancelled when Cancel() stopped it.
    void Backup(const QString& database, const QString& backupFile, const BackupOptions& options,
                const LineHandler& onLine);
    // Restores backupFile into the database file database; as Backup otherwise.
    void Restore(const QString& backupFile, const QString& database, const RestoreOptions& options,
                 const LineHandler& onLine);

    // Stops a running Backup or Restore from any thread: within about a second it stops
    // reading the service, detaches and raises ServiceCancelled. The engine has no way to
    // stop its own backup or restore thread once started, so that thread runs out in the
    // background; the caller discards the file it writes.
    void Cancel() { fCancelled = true; }
    bool cancelled() const { return fCancelled; }

private:
    void attach();
    void run(const char* operation, const std::vector<unsigned char>& spb, const char* completion,
             const LineHandler& onLine);
    void detach();

    QString fUser;
    QString fPassword;
    Firebird::IService* fService = nullptr;
    std::atomic<bool> fCancelled{false};
};

} // namespace db
