#include "backup/BackupOperations.h"

#include "backup/FileSize.h"
#include "common/FaultPoint.h"
#include "common/Format.h"
#include "common/Messages.h"
#include "env/Locations.h"
#include "env/RunFolder.h"

#include <QFile>
#include <optional>
#include <utility>

namespace {

constexpr double bytesPerMB = 1048576.0;

QString money(double value) {
    return fts(Currency::fromDouble(value), 2, true, false);
}

// Deletes the compression's backup file however Sweep is left.
class BackupFileGuard final {
public:
    explicit BackupFileGuard(const QString& name) : fName(name) {}
    ~BackupFileGuard() {
        if (!fName.isEmpty())
            QFile::remove(fName);
    }
    BackupFileGuard(const BackupFileGuard&) = delete;
    BackupFileGuard& operator=(const BackupFileGuard&) = delete;

private:
    const QString& fName;
};

} // namespace

QString sweepQuestion() {
    return QStringLiteral("Are you sure to start the database compression?\r\nDepending on the "
                          "database and machine speed this might take a while.");
}

QString sweepFailedWarning() {
    return QStringLiteral("Unfortunately the database compression was NOT successful.\r\nCheck "
                          "the Vaultix.log for more information.");
}

QString sweepReport(qint64 oldSize, qint64 newSize) {
    const double oldMB = double(oldSize) / bytesPerMB;
    const double newMB = double(newSize) / bytesPerMB;
    const QString rate = oldSize > 0 ? money(100.0 - double(newSize) / double(oldSize) * 100.0)
                                     : QStringLiteral("n/a");
    return QStringLiteral("Database compression successful.\r\n\r\nOld size: ") + money(oldMB) +
           QStringLiteral("MB\r\n") + QStringLiteral("New size: ") + money(newMB) +
           QStringLiteral("MB\r\n") + QStringLiteral("Compression Rate: ") + rate +
           QStringLiteral("%");
}

bool BackupFront::Sweep(TBackupClient backupClient, const QString& remoteDBPath,
                        const QString& localDBPath, bool autoStart) {
    bool result = false;
    if (!autoStart && askQuestion(sweepQuestion()) != idYes)
        return false;

    const qint64 oldSize = GetFileSize(localDBPath);
    // The backup goes to the private folder of the run whose work copy this is, or to a
    // private folder of its own, never openly into the temporary folder.
    std::optional<RunFolder> ownFolder;
    QString folder = runFolderOf(localDBPath);
    if (folder.isEmpty())
        folder = ownFolder.emplace().path();
    QString backupFileName =
        uu_getUniqueFileName(folder + QLatin1Char('/'), QStringLiteral(".tmp"));
    // Whatever name the component reports is the file to delete, also when an error
    // leaves this function.
    const BackupFileGuard guard(backupFileName);

    bool ok;
    {
        const bool previous = std::exchange(fSweepBackup, true);
        try {
            ok = Backup(backupClient, bmStandard, remoteDBPath, localDBPath, backupFileName, false,
                        0, 0, true, 0, QString());
        } catch (...) {
            fSweepBackup = previous;
            throw;
        }
        fSweepBackup = previous;
    }
    if (ok) {
        faultPoint("compression");
        ok = Restore(backupClient, localDBPath, backupFileName, true);
    }

    if (ok) {
        result = true;
        const qint64 newSize = GetFileSize(localDBPath);
        if (!autoStart)
            showInfo(sweepReport(oldSize, newSize));
    } else {
        showWarning(sweepFailedWarning());
    }
    return result;
}
