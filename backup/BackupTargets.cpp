#include "backup/BackupTargets.h"

#include "common/Clock.h"
#include "env/Locations.h"

#include <QLocale>
#include <cmath>

namespace {

QString stamp(const QDateTime& moment, const QString& pattern) {
    return QLocale().toString(moment, pattern);
}

} // namespace

QString backupsFolder(const QString& localDBPath) {
    return folderPart(localDBPath) + QStringLiteral("Backups/");
}

QString dailyBackupTarget(const QString& localDBPath) {
    const QString folder = mkFolder(backupsFolder(localDBPath) + QStringLiteral("Daily/") +
                                        stamp(currentDateTime(), QStringLiteral("yyyy/MM-MMM")),
                                    true);
    return folder + stamp(currentDateTime(), QStringLiteral("yyMMddHHmmss"));
}

QString monthEndBackupTarget(const QString& localDBPath, TDateTime monthEndDate) {
    // 0 is "no date", which as a day is the epoch itself.
    const QDate day = dateTimeEpoch().addDays(qint64(std::floor(monthEndDate)));
    const QString folder = mkFolder(backupsFolder(localDBPath) + QStringLiteral("MonthEnd"), true);
    return folder + QLocale().toString(day, QStringLiteral("yyyy-MM"));
}

QString sqlUpdateBackupTarget(const QString& localDBPath, int sqlVersion) {
    const QString folder =
        mkFolder(backupsFolder(localDBPath) + QStringLiteral("SQLUpdates"), true);
    return folder + QStringLiteral("DBVer") + QString::number(sqlVersion);
}

QString backupTarget(TBackupClient client, TBackupMode mode, const QString& wishedName,
                     const QString& localDBPath, int sqlVersion, TDateTime monthEndDate) {
    if (client == bcQelvaro) {
        if (!wishedName.isEmpty())
            return wishedName;
        if (mode == bmSqlUpdate)
            return sqlUpdateBackupTarget(localDBPath, sqlVersion);
        if (mode == bmMonthEnd)
            return monthEndBackupTarget(localDBPath, monthEndDate);
    }
    return dailyBackupTarget(localDBPath);
}
