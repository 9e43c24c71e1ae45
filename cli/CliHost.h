#pragma once

// The command line as the run's host: the operator's choices come from the arguments,
// the status lines and a progress bar go to stderr, questions are answered by options.

#include "cleaning/RunHost.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QStringList>
#include <cstdio>
#include <vector>

class CliHost final : public RunHost {
public:
    explicit CliHost(std::FILE* out = stderr);

    CategoryTree& mutableTree() { return fTree; }
    void setPriorToMode(bool priorTo) { fPriorTo = priorTo; }
    void setCutOffDate(const QDateTime& cutOff) { fCutOff = cutOff; }
    void setBackupAnswer(bool yes) { fBackup = yes; }
    // --no-compress: the run's compression step does nothing.
    void setCompress(bool on) { fCompress = on; }
    bool compress() const { return fCompress; }

    void SetStatus(const QString& s) override;
    void InitialiseProgress(int id, qint64 max) override;
    void StepProgress(int id) override;
    int DlgAsk(const QString& question) override;
    void DlgError(const QString& message) override;
    void ShowMessage(const QString& text) override;
    bool priorToMode() const override { return fPriorTo; }
    QDateTime cutOffDate() const override { return fCutOff; }
    const CategoryTree& tree() const override { return fTree; }
    // The backup before the run (into the daily folder beside the database) and the
    // compression, through the backup component without a window.
    QString Backup(const QString& remoteDBPath, const QString& localDBPath) override;
    bool compresses() const override { return fCompress; }
    bool Sweep(const QString& remoteDBPath, const QString& localDBPath) override;

    // Ends the progress line so that what follows starts on a line of its own, and the
    // time of the last step.
    void finish();

    // Each status of the run (and the backup before it) with the time until the next one.
    struct StepTime {
        QString status;
        qint64 milliseconds = 0;
    };
    const std::vector<StepTime>& steps() const { return fSteps; }
    // The texts of the error dialogs and messages of the run, in order.
    const QStringList& messages() const { return fMessages; }

private:
    struct Channel {
        qint64 position = 0;
        qint64 max = 0;
        int shownPercent = -1;
    };
    static int percent(const Channel& c);
    void draw(bool force);
    void line(const QString& text);
    void beginStep(const QString& status);
    void endStep();

    std::FILE* fOut;
    bool fInteractive;
    CategoryTree fTree;
    bool fPriorTo = true;
    QDateTime fCutOff;
    bool fBackup = false;
    bool fCompress = true;
    QString fStatus;
    Channel fChannels[2];
    bool fBarShown = false;
    QElapsedTimer fSinceDraw;
    std::vector<StepTime> fSteps;
    bool fStepOpen = false;
    QElapsedTimer fStepTime;
    QStringList fMessages;
};
