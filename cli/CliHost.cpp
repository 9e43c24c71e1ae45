#include "cli/CliHost.h"

#include "backup/HeadlessBackup.h"
#include "cleaning/RunArguments.h"

#include <unistd.h>

CliHost::CliHost(std::FILE* out) : fOut(out), fInteractive(::isatty(fileno(out)) != 0) {
    fCutOff = QDateTime(defaultCutOffDate(), QTime(0, 0));
    fSinceDraw.start();
}

int CliHost::percent(const Channel& c) {
    if (c.max <= 0)
        return 0;
    return int(c.position * 100 / c.max);
}

void CliHost::line(const QString& text) {
    if (fBarShown) {
        std::fputs("\r\033[K", fOut);
        fBarShown = false;
    }
    std::fprintf(fOut, "%s\n", qPrintable(text));
    std::fflush(fOut);
}

void CliHost::draw(bool force) {
    if (!fInteractive)
        return;
    const int p1 = percent(fChannels[0]);
    const int p2 = percent(fChannels[1]);
    // Redraw only when a percentage moves (and not more often than every 30 ms), so a
    // million-row table does not print a million lines.
    if (!force && p1 == fChannels[0].shownPercent && p2 == fChannels[1].shownPercent)
        return;
    if (!force && fSinceDraw.elapsed() < 30)
        return;
    fChannels[0].shownPercent = p1;
    fChannels[1].shownPercent = p2;
    constexpr int width = 30;
    const int filled = p2 * width / 100;
    const QString bar = QString(filled, u'#') + QString(width - filled, u'-');
    std::fprintf(fOut, "\r\033[KStep %lld of %lld [%s] %3d%%",
                 static_cast<long long>(fChannels[0].position),
                 static_cast<long long>(fChannels[0].max), qPrintable(bar), p2);
    std::fflush(fOut);
    fBarShown = true;
    fSinceDraw.restart();
}

void CliHost::beginStep(const QString& status) {
    endStep();
    fSteps.push_back({status, 0});
    fStepOpen = true;
    fStepTime.start();
}

void CliHost::endStep() {
    if (fStepOpen)
        fSteps.back().milliseconds = fStepTime.elapsed();
    fStepOpen = false;
}

void CliHost::SetStatus(const QString& s) {
    beginStep(s);
    fStatus = s;
    line(s);
    draw(true);
}

void CliHost::InitialiseProgress(int id, qint64 max) {
    if (id < 1 || id > 2)
        return;
    fChannels[id - 1] = Channel{0, max, -1};
    draw(true);
}

void CliHost::StepProgress(int id) {
    if (id < 1 || id > 2)
        return;
    Channel& c = fChannels[id - 1];
    if (c.position < c.max)
        ++c.position;
    draw(false);
}

int CliHost::DlgAsk(const QString& question) {
    line(question + (fBackup ? QStringLiteral(" Yes") : QStringLiteral(" No")));
    return fBackup ? 6 : 7;
}

void CliHost::DlgError(const QString& message) {
    fMessages << message;
    line(QStringLiteral("Error: ") + message);
}

void CliHost::ShowMessage(const QString& text) {
    fMessages << text;
    line(text);
}

void CliHost::finish() {
    endStep();
    if (fBarShown) {
        std::fputs("\n", fOut);
        std::fflush(fOut);
        fBarShown = false;
    }
}

QString CliHost::Backup(const QString& remoteDBPath, const QString& localDBPath) {
    QString error;
    beginStep(QStringLiteral("Backup"));
    QString file = backupBeforeRun(remoteDBPath, localDBPath, &error);
    endStep();
    line(file.isEmpty() ? QStringLiteral("Backup failed: ") + error
                        : QStringLiteral("Backup written to ") + file);
    return file;
}

bool CliHost::Sweep(const QString& remoteDBPath, const QString& localDBPath) {
    return fCompress && compressDatabase(remoteDBPath, localDBPath);
}
