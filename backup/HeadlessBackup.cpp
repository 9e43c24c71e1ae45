#include "backup/HeadlessBackup.h"

#include "backup/BackupTargets.h"

bool CoreBackup::runJob(VaultixJob& job) {
    fLastError.clear();
    try {
        job.run(fOnLine);
        job.commit();
        return true;
    } catch (const std::exception& e) {
        fLastError = QString::fromUtf8(e.what());
        return false;
    }
}

bool CoreBackup::Backup(TBackupClient backupClient, TBackupMode backupMode,
                        const QString& /*remoteDBPath*/, const QString& localDBPath,
                        QString& backupFileName, bool /*canClearLiveSales*/, int sqlVersion,
                        TDateTime monthEndDate, bool /*autoMode*/, int /*extBackupMethod*/,
                        const QString& /*extBackupCommand*/) {
    const QString target = backupTarget(backupClient, backupMode, backupFileName, localDBPath,
                                        sqlVersion, monthEndDate);
    BackupJob job(localDBPath, target, sweepBackup());
    const bool ok = runJob(job);
    backupFileName = ok ? job.fileName() : QString();
    return ok;
}

bool CoreBackup::Restore(TBackupClient /*backupClient*/, const QString& localDBPath,
                         QString& backupFileName, bool /*autoMode*/) {
    RestoreJob job(backupFileName, localDBPath);
    return runJob(job);
}

QString backupBeforeRun(const QString& remoteDBPath, const QString& localDBPath, QString* error) {
    CoreBackup backup;
    QString name;
    backup.Backup(bcQelvaro, bmStandard, remoteDBPath, localDBPath, name, false, 0, 0, true, 0,
                  QString());
    if (error)
        *error = backup.lastError();
    return name;
}

bool compressDatabase(const QString& remoteDBPath, const QString& localDBPath) {
    CoreBackup backup;
    return backup.Sweep(bcQelvaro, remoteDBPath, localDBPath, true);
}
