#pragma once

// Where backups go: the Backups folders beside the station database. Each folder is
// created (with its parents) before its name is handed out; the names carry no extension,
// the component adds its own.

#include "backup/BackupTypes.h"
#include "common/DateTime.h"

#include <QString>

// D + "Backups/Daily/" + now as "yyyy/mm-mmm" + "/" + now as "yymmddhhnnss", where D is the
// folder part of localDBPath. The clock is read twice, once for the folder and once for
// the file part, as the component has always done.
QString dailyBackupTarget(const QString& localDBPath);

// D + "Backups/MonthEnd/" + monthEndDate as "yyyy-mm".
QString monthEndBackupTarget(const QString& localDBPath, TDateTime monthEndDate);

// D + "Backups/SQLUpdates/DBVer" + sqlVersion.
QString sqlUpdateBackupTarget(const QString& localDBPath, int sqlVersion);

// The name a backup is made under: for bcQelvaro the wished name when there is one, else
// the SQL-update target for bmSqlUpdate, the month-end target for bmMonthEnd and the daily
// target otherwise; for bcFennrick always the daily target.
QString backupTarget(TBackupClient client, TBackupMode mode, const QString& wishedName,
                     const QString& localDBPath, int sqlVersion, TDateTime monthEndDate);

// The Backups folder beside the database (D + "Backups/"), not created.
QString backupsFolder(const QString& localDBPath);
