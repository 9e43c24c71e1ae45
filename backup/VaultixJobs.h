#pragma once

// The work behind the backup component's controls, without any window: a backup in
// Firebird's portable format, a restore that never damages the database it replaces, and
// the upload of a file. A job runs in whatever thread calls run(); cancel() may come from
// any other. The result is made final by commit(), so a caller can still drop a finished
// job that was cancelled meanwhile.

#include "db/Service.h"

#include <QString>
#include <atomic>
#include <functional>
#include <stdexcept>

// Raised out of run() when cancel() stopped the job.
class JobCancelled final : public std::runtime_error {
public:
    JobCancelled() : std::runtime_error("The operation was cancelled") {}
};

// Raised when an upload fails; the text is libcurl's.
class TransferError final : public std::runtime_error {
public:
    explicit TransferError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

class VaultixJob {
public:
    // A line of the job's progress output, for the operator and the log.
    using LineHandler = std::function<void(const QString& line)>;
    // Position out of maximum; a maximum of 0 means the extent is not known yet.
    using ProgressHandler = std::function<void(qint64 position, qint64 maximum)>;

    virtual ~VaultixJob() = default;
    VaultixJob(const VaultixJob&) = delete;
    VaultixJob& operator=(const VaultixJob&) = delete;

    // The operation's name in the log ("Backup", "Restore", "Transfer").
    virtual QString name() const = 0;
    // Does the work; throws with the underlying library's message when it fails and
    // JobCancelled when it was cancelled. Lines also go to the log.
    void run(const LineHandler& onLine = {}, const ProgressHandler& onProgress = {});
    // Makes the result of a successful run final; throws when that fails.
    virtual void commit() {}
    // Drops the result of a successful run that is no longer wanted. False when the
    // result cannot be taken back (a file already sent).
    virtual bool discard() { return false; }
    // Asks a running job to stop; safe from any thread.
    virtual void cancel() { fCancelled = true; }
    bool cancelled() const { return fCancelled; }

protected:
    VaultixJob() = default;
    virtual void work(const LineHandler& onLine, const ProgressHandler& onProgress) = 0;

    std::atomic<bool> fCancelled{false};
};

// Turns the verbose lines of a backup or restore into a position: the tables announced in
// the metadata phase are the maximum, each table whose data is handled one step.
class GbakProgress final {
public:
    explicit GbakProgress(bool restore) : fRestore(restore) {}
    // True when the position or the maximum moved.
    bool feed(const QString& line);
    void finish() { fPosition = fMaximum; }
    qint64 position() const { return fPosition; }
    qint64 maximum() const { return fMaximum; }

private:
    bool fRestore;
    qint64 fPosition = 0;
    qint64 fMaximum = 0;
};

// A backup of the database file `database` into target + ".fbk". The backup is written
// into a folder of its own beside that name and only commit() moves it into place, so a
// failed or cancelled backup never replaces an earlier backup of the same name.
class BackupJob final : public VaultixJob {
public:
    BackupJob(const QString& database, const QString& target, bool noGarbageCollect = false);
    ~BackupJob() override;

    QString name() const override { return QStringLiteral("Backup"); }
    // The file the backup gets: target + ".fbk".
    QString fileName() const { return fTarget + QStringLiteral(".fbk"); }
    void commit() override;
    bool discard() override;
    void cancel() override;

protected:
    void work(const LineHandler& onLine, const ProgressHandler& onProgress) override;

private:
    QString fDatabase;
    QString fTarget;
    bool fNoGarbageCollect;
    QString fFolder;
    db::Service fService;
};

// A restore of backupFile over the database file `database`. The engine restores into a
// new file in a hidden folder beside the database; commit() gives it the database's
// permissions and renames it over the database. Until then, and whenever anything fails,
// the database file is untouched.
class RestoreJob final : public VaultixJob {
public:
    RestoreJob(const QString& backupFile, const QString& database);
    ~RestoreJob() override;

    QString name() const override { return QStringLiteral("Restore"); }
    void commit() override;
    bool discard() override;
    void cancel() override;

protected:
    void work(const LineHandler& onLine, const ProgressHandler& onProgress) override;

private:
    QString restoredFile() const;
    void removeRestored();

    QString fBackupFile;
    QString fDatabase;
    QString fFolder;
    db::Service fService;
};

// Uploads a file with libcurl. The scheme of the host chooses the protocol (ftp, ftps,
// sftp, http, https, ...); a bare host name means ftp.
class TransferJob final : public VaultixJob {
public:
    // remoteFileName empty: the file keeps its own name on the remote side.
    TransferJob(const QString& file, const QString& remoteHost, const QString& user,
                const QString& password, const QString& remoteFileName = QString());

    QString name() const override { return QStringLiteral("Transfer"); }
    // Where the file goes, without the credentials.
    QString url() const { return fUrl; }

protected:
    void work(const LineHandler& onLine, const ProgressHandler& onProgress) override;

private:
    QString fFile;
    QString fUrl;
    QString fUser;
    QString fPassword;
};

// The target URL of an upload: remoteHost (with "ftp://" put in front of a bare host),
// then "/" and the remote file name, percent-encoded.
QString transferUrl(const QString& remoteHost, const QString& remoteFileName);
