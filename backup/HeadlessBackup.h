#pragma once

// The backup front without a window: the component's work runs in the calling thread and
// nothing waits for an operator, so every operation behaves as if started automatically.
// The command-line front uses it for the backup before a run and for the compression.

#include "backup/BackupOperations.h"
#include "backup/VaultixJobs.h"

class CoreBackup final : public BackupFront {
public:
    CoreBackup() = default;

    // Verbose lines of the running operation (they go to Vaultix.log in any case).
    void setLineHandler(VaultixJob::LineHandler onLine) { fOnLine = std::move(onLine); }
    // The message of the last operation that failed.
    const QString& lastError() const { return fLastError; }

    bool Backup(TBackupClient backupClient, TBackupMode backupMode, const QString& remoteDBPath,
                const QString& localDBPath, QString& backupFileName, bool canClearLiveSales,
                int sqlVersion, TDateTime monthEndDate, bool autoMode, int extBackupMethod,
                const QString& extBackupCommand) override;
    // Without an operator to choose a file, a restore needs backupFileName in any mode.
    bool Restore(TBackupClient backupClient, const QString& localDBPath, QString& backupFileName,
                 bool autoMode) override;

private:
    bool runJob(VaultixJob& job);

    VaultixJob::LineHandler fOnLine;
    QString fLastError;
};

// The backup before a cleaning run: bcQelvaro, bmStandard, the daily target beside the
// database. Returns the file written, or empty with the reason in *error.
QString backupBeforeRun(const QString& remoteDBPath, const QString& localDBPath,
                        QString* error = nullptr);

// The compression step of a cleaning run (auto-started: no question, no report; a failure
// is reported with the warning).
bool compressDatabase(const QString& remoteDBPath, const QString& localDBPath);
