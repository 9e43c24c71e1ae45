#pragma once

// The program's front to the backup component, as far as it does not depend on how the
// component is shown: the compression of a database (a backup into a temporary file and
// a restore from it) on top of the Backup and Restore that a front provides. TBackup
// provides them through the component's controls in a window; CoreBackup does the same
// work without one, for the command line.

#include "backup/BackupTypes.h"
#include "common/DateTime.h"

#include <QString>

class BackupFront {
public:
    virtual ~BackupFront() = default;

    // Backs up localDBPath. backupFileName is the wished target on entry and the file
    // written on exit (empty when the backup failed). True when the component finished
    // with success.
    virtual bool Backup(TBackupClient backupClient, TBackupMode backupMode,
                        const QString& remoteDBPath, const QString& localDBPath,
                        QString& backupFileName, bool canClearLiveSales, int sqlVersion,
                        TDateTime monthEndDate, bool autoMode, int extBackupMethod,
                        const QString& extBackupCommand) = 0;

    // Restores backupFileName over localDBPath; backupFileName is the file the component
    // used on exit, whatever the result. True on success.
    virtual bool Restore(TBackupClient backupClient, const QString& localDBPath,
                         QString& backupFileName, bool autoMode) = 0;

    // Compresses localDBPath through a backup into a unique ".tmp" name in the temporary
    // folder and a restore from it. Without autoStart the operator is asked first and shown
    // the sizes afterwards; a failure is always reported with a warning. The backup file
    // is deleted on every path. True when both steps succeeded.
    bool Sweep(TBackupClient backupClient, const QString& remoteDBPath, const QString& localDBPath,
               bool autoStart);

protected:
    BackupFront() = default;
    BackupFront(const BackupFront&) = delete;
    BackupFront& operator=(const BackupFront&) = delete;

    // True while Sweep runs its backup: that backup is restored at once, so garbage
    // collection while reading the database would only cost time.
    bool sweepBackup() const { return fSweepBackup; }

private:
    bool fSweepBackup = false;
};

// The question asked before an operator starts a compression.
QString sweepQuestion();
// The report of a successful compression: old and new size in MB and the share saved,
// formatted as money with two decimals and thousand separators. An old size of 0 or less
// gives no rate ("n/a").
QString sweepReport(qint64 oldSize, qint64 newSize);
// The warning after a failed compression.
QString sweepFailedWarning();
