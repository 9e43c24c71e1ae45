#pragma once

// What the cleaning run needs from whoever runs it (the window or the command line):
// the operator's choices, the progress display, the questions and messages, and the
// backup component. Nothing here is a widget.

#include "cleaning/CategoryTree.h"

#include <QDateTime>
#include <QString>

class RunHost {
public:
    virtual ~RunHost() = default;

    // The status line.
    virtual void SetStatus(const QString& s) = 0;
    // Channel 1 counts the overall steps of a run, channel 2 the steps of the current phase.
    virtual void InitialiseProgress(int id, qint64 max) = 0;
    virtual void StepProgress(int id) = 0;
    // Several steps at once, for work that reports in batches.
    virtual void AdvanceProgress(int id, qint64 steps) {
        for (qint64 i = 0; i < steps; ++i)
            StepProgress(id);
    }

    // 6 for Yes, 7 for No.
    virtual int DlgAsk(const QString& question) = 0;
    virtual void DlgError(const QString& message) = 0;
    // The plain message box of the run's own error path.
    virtual void ShowMessage(const QString& text) = 0;

    // "Remove Data Prior To:" checked.
    virtual bool priorToMode() const = 0;
    // The date picker's value, bound unchanged.
    virtual QDateTime cutOffDate() const = 0;
    virtual const CategoryTree& tree() const = 0;

    // The backup before a run; the name of the backup file made, or empty.
    virtual QString Backup(const QString& remoteDBPath, const QString& localDBPath) {
        (void)remoteDBPath;
        (void)localDBPath;
        return QString();
    }
    // Whether Sweep compresses (the run makes room for the compression's files only then).
    virtual bool compresses() const { return true; }
    // The compression of a database through a backup and a restore, auto-started.
    virtual bool Sweep(const QString& remoteDBPath, const QString& localDBPath) {
        (void)remoteDBPath;
        (void)localDBPath;
        return false;
    }
};
