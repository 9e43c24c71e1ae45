#include "env/Log.h"

#include "common/Clock.h"
#include "common/Format.h"
#include "env/Locations.h"
#include "env/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace {

// The single log object of the process (not owned: it lives in the program's start-up).
CLog* gLog = nullptr;

QString& logsFolderOverride() {
    static QString folder;
    return folder;
}

// Continuation lines of a weekly log line start under the message: "yy-mm-dd hh:nn:ss ".
const QString kContinuation = QStringLiteral("\r\n") + QString(18, QLatin1Char(' '));

bool canWrite(const QString& path) {
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

QString stateLogsFolder() {
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    const QString base = !xdg.isEmpty() && QDir::isAbsolutePath(xdg)
                             ? QDir::cleanPath(xdg)
                             : QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/dolvane/logs");
}

// Blanks and control characters off both ends.
QString trimControls(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

// Replaces the extension of the file part (with its dot), or appends when it has none.
QString changeFileExt(const QString& name, const QString& extension) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    return (dot > slash ? name.left(dot) : name) + extension;
}

void appendLine(const QString& fileName, const QString& line) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write((line + QStringLiteral("\r\n")).toUtf8());
    file.flush();
}

} // namespace

QString logsFolder(const QString& moduleName) {
    if (!logsFolderOverride().isEmpty())
        return mkFolder(logsFolderOverride(), true);
    const QString module = moduleName.isEmpty() ? uu_getModuleName() : moduleName;
    const QString besideProgram = folderPart(module) + QStringLiteral("logs");
    // An installed program lives in the system's read-only program folders; even where
    // this user (root) could write there, the log goes to the state folder.
    const bool installed = folderPart(module).startsWith(QStringLiteral("/usr/"));
    const bool writable =
        !installed &&
        (QFileInfo(besideProgram).isDir() ? canWrite(besideProgram) : canWrite(folderPart(module)));
    return mkFolder(writable ? besideProgram : stateLogsFolder(), true);
}

void setLogsFolderOverride(const QString& folder) {
    logsFolderOverride() = folder;
}

int GetDebugLevel() {
    TBrevikReg reg;
    return reg.ReadInteger(QStringLiteral("Debug"), QStringLiteral("DebugLevel"), 0);
}

bool Debug(int debugLevel) {
    return (GetDebugLevel() & debugLevel) == debugLevel;
}

QString GetLogFileName(const QString& logName) {
    const QString name = logName.isEmpty() ? filePart(uu_getModuleName()) : logName;
    QString result = logsFolder() + name;
    if (!name.contains(QLatin1Char('_'))) {
        // The calendar year with the ISO week: around New Year the two may disagree.
        const QDate today = currentDate();
        result = changeFileExt(
            result, QLatin1Char('_') + lpad(its(today.year()), 4, u'0') + QLatin1Char('_') +
                        lpad(its(today.weekNumber()), 2, u'0') + QStringLiteral(".log"));
    }
    return result;
}

void DebugOut(const QString& text, int debugLevel, const QString& aFile) {
    try {
        if (!gLog)
            return;
        // The level is read first, so a failing read writes nothing even at level 0.
        if (!(Debug(debugLevel) || debugLevel == 0))
            return;
        if (aFile.isEmpty()) {
            gLog->logMessage(text);
            return;
        }
        const QString separator =
            text.contains(QLatin1Char('\r')) ? QStringLiteral(": \r\n") : QStringLiteral(": ");
        appendLine(GetLogFileName(aFile),
                   currentDateTime().toString(QStringLiteral("yyMMdd hhmmss")) + separator + text);
    } catch (...) {
        // Logging never stops its caller.
    }
}

CLog::CLog() {
    if (gLog)
        throw SilentAbort();
    try {
        QFile file(GetFileName());
        if (!file.exists() && file.open(QIODevice::WriteOnly))
            file.close();
    } catch (...) {
        // A log that cannot be created loses its messages, nothing more.
    }
    gLog = this;
}

CLog::~CLog() {
    if (gLog == this)
        gLog = nullptr;
}

QString CLog::GetFileName(const QString& logFileName) const {
    int isoYear = 0;
    const int week = currentDate().weekNumber(&isoYear);
    const QString module = logFileName.isEmpty() ? uu_getModuleName() : logFileName;
    return logsFolder(module) + QFileInfo(module).completeBaseName() + QLatin1Char('_') +
           lpad(its(isoYear), 4, u'0') + QLatin1Char('_') + lpad(its(week), 2, u'0') +
           QStringLiteral(".log");
}

void CLog::logMessage(const QString& text) {
    try {
        QString message = text;
        message.replace(QStringLiteral("\r\n"), kContinuation);
        appendLine(GetFileName(), currentDateTime().toString(QStringLiteral("yy-MM-dd hh:mm:ss")) +
                                      QLatin1Char(' ') + trimControls(message));
    } catch (...) {
        // Every error of the log is ignored.
    }
}
