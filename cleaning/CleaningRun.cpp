#include "cleaning/CleaningRun.h"

#include "cleaning/CategoryRules.h"
#include "cleaning/DatabaseFileCheck.h"
#include "cleaning/FreeSpaceCheck.h"
#include "cleaning/RunHost.h"
#include "cleaning/TableCleaner.h"
#include "cleaning/TriggerSwitch.h"
#include "cleaning/WorkFiles.h"
#include "common/FaultPoint.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "env/DatabaseLock.h"
#include "env/Locations.h"
#include "env/RunFolder.h"

#include <QFileInfo>

#include <algorithm>
#include <exception>
#include <optional>

namespace {

constexpr int overall = 1;
constexpr int phase = 2;

QString errorText(const std::exception& e) {
    return QString::fromUtf8(e.what());
}

} // namespace

CleaningRun::CleaningRun(db::Connection& conx, db::Query& q1, db::Query& q2, RunHost& host)
    : conx(conx), q1(q1), q2(q2), fHost(host) {}

QString CleaningRun::failedStatus() {
    return QStringLiteral("Failed - original database unchanged");
}

RunOutcome CleaningRun::Execute(const QString& fGDB) {
    // Looking up the local path reads the settings, which can fail too (a value of the
    // wrong type); such an error ends the run like any other, never the program.
    try {
        return executeSteps(fGDB);
    } catch (const std::exception& e) {
        conx.Close();
        fHost.ShowMessage(errorText(e));
        fHost.SetStatus(failedStatus());
        return RunOutcome::Failed;
    }
}

RunOutcome CleaningRun::executeSteps(const QString& fGDB) {
    fRemoved = RemovalReport();
    triggerList.clear();
    max = 0;
    // The work files of runs that crashed or were killed go first.
    sweepStaleRunFolders();

    // What cannot work is refused before anything is asked, copied or created.
    const QString local = LocalGDBFromRemoteGDB(fGDB);
    if (local.isEmpty()) {
        fHost.DlgError(QStringLiteral("Could not copy GDB to temp folder: ") + fGDB +
                       QStringLiteral(": no local file is known for it"));
        return RunOutcome::CopyToTempFailed;
    }
    if (const QString refusal = databaseFileRefusal(local); !refusal.isEmpty()) {
        fHost.ShowMessage(refusal);
        fHost.SetStatus(failedStatus());
        return RunOutcome::Failed;
    }
    // A symbolic link stays a link: the file it points to is the one replaced.
    const QString original = QFileInfo(local).canonicalFilePath();
    removeStaleReplacements(original);

    // The backup offer. Whatever the answer and the result, the run goes on; only an
    // error raised by the backup itself stops it, before anything is copied.
    fName.clear();
    if (fHost.DlgAsk(QStringLiteral("Do you wish to do a backup beforehand?")) == 6) {
        try {
            fName = fHost.Backup(fGDB, local);
        } catch (const std::exception& e) {
            fHost.ShowMessage(errorText(e));
            return RunOutcome::Failed;
        }
    }

    fHost.SetStatus(QStringLiteral("Copying GDB to temp folder"));
    conx.Close();

    // From the copy until the copy back has replaced it, the original is locked as the
    // engine locks an open database: no program can open it meanwhile, and a program
    // that has it open now makes the run stop here.
    std::optional<DatabaseLock> lock;
    // A station's sales and invoices: nothing the run writes from here on (the engine's
    // restored copy included) is readable by other accounts.
    const PrivateFileMode privateFiles;
    std::optional<RunFolder> workFolder;
    try {
        lock.emplace(original);
        const QString tempDir = uu_getTempDir(true);
        checkFreeSpace(tempDir, QFileInfo(original).absolutePath(), QFileInfo(original).size(),
                       fHost.compresses());
        workFolder.emplace(tempDir);
        gdbName =
            uu_getUniqueFileName(workFolder->path() + QLatin1Char('/'), QStringLiteral(".gdb"));
    } catch (const std::exception& e) {
        fHost.ShowMessage(errorText(e));
        fHost.SetStatus(failedStatus());
        return RunOutcome::Failed;
    }
    faultPoint("before-copy");
    try {
        copyToNewFile(original, gdbName);
    } catch (const FileCopyError& e) {
        fHost.DlgError(QStringLiteral("Could not copy GDB to temp folder: ") + errorText(e));
        return RunOutcome::CopyToTempFailed;
    }
    // From here on the work copy goes on every way out of the run.
    FileRemover workCopyRemover(gdbName);

    try {
        conx.setParam(QStringLiteral("database"), gdbName);
        // The work copy need not write its pages through one by one: a crash discards
        // it anyway, and this makes the per-row deletes several times faster. The
        // station's own setting is put back before the copy is compressed and copied.
        conx.Open();
        fForcedWrites = conx.ForcedWrites();
        conx.Close();
        if (fForcedWrites)
            conx.SetForcedWrites(false);
        conx.Open();

        const CategoryTree& tv = fHost.tree();
        max = 4 + tv.tickedCount();
        fHost.InitialiseProgress(overall, max);
        fHost.SetStatus(QStringLiteral("Disabling Triggers"));
        fHost.StepProgress(overall);
    } catch (const std::exception& e) {
        conx.Close();
        fHost.ShowMessage(errorText(e));
        fHost.SetStatus(failedStatus());
        return RunOutcome::Failed;
    }

    try {
        protectedBlock(fGDB);
    } catch (const std::exception& e) {
        // The copy back has not happened: the dropped file is untouched.
        conx.Close();
        fHost.ShowMessage(errorText(e));
        fHost.SetStatus(failedStatus());
        return RunOutcome::Failed;
    }

    fHost.SetStatus(QStringLiteral("Copying file to original location"));
    fHost.StepProgress(overall);
    try {
        replaceFileSafely(gdbName, original);
    } catch (const FileCopyError& e) {
        fHost.DlgError(QStringLiteral("Could not copy GDB back to original: ") + errorText(e));
        return RunOutcome::CopyBackFailed;
    }
    lock.reset();
    fHost.SetStatus(QStringLiteral("Done"));
    return RunOutcome::Done;
}

void CleaningRun::protectedBlock(const QString& fGDB) {
    Q_UNUSED(fGDB);
    TriggerSwitch triggers(q1);
    // A trigger the station switched off itself stays off after the run.
    QStringList inactiveBefore;
    for (const ListedTrigger& t : triggers.listTriggers()) {
        triggerList.append(t.name);
        if (!t.active)
            inactiveBefore.append(t.name);
    }
    std::sort(triggerList.begin(), triggerList.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    fHost.InitialiseProgress(phase, triggerList.size());
    for (const QString& name : std::as_const(triggerList)) {
        fHost.StepProgress(phase);
        triggers.SetTriggerStatus(name, false);
    }

    // The switched-off triggers take effect for attachments made after the commit.
    conx.Commit();
    conx.Close();
    conx.Open();

    TableCleaner cleaner(conx, q1, q2, fHost);
    CategoryRules rules(cleaner, q1);
    const CategoryTree& tv = fHost.tree();
    for (int i = 0; i < tv.count(); ++i) {
        if (!tv.isTicked(i))
            continue;
        fHost.StepProgress(overall);
        rules.runRule(tv.categoryId(i));
        fRemoved = cleaner.report();
    }
    fRemoved = cleaner.report();

    fHost.SetStatus(QStringLiteral("Enabling Triggers"));
    fHost.StepProgress(overall);
    fHost.InitialiseProgress(phase, triggerList.size());
    for (const QString& name : std::as_const(triggerList)) {
        fHost.StepProgress(phase);
        if (!inactiveBefore.contains(name))
            triggers.SetTriggerStatus(name, true);
    }
    conx.Commit();
    // The engine lets go of the work copy before it is compressed and copied.
    conx.Close();
    if (fForcedWrites)
        conx.SetForcedWrites(true);

    fHost.SetStatus(QStringLiteral("Compressing Data"));
    fHost.StepProgress(overall);
    fHost.Sweep(gdbName, gdbName);
}
