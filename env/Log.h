#pragma once

// The debug log: a weekly file per program ("<program>_<ISO year>_<ISO week>.log") and
// files named by the caller, in the logs folder. Logging never fails its caller: its own
// errors are swallowed and the message is lost.

#include <QString>
#include <exception>

// Writes text at debugLevel to the weekly log, or to the named log aFile when given.
// Level 0 is always written, any other level when all its bits are set in the debug level
// of the settings. Nothing is written while no CLog exists.
void DebugOut(const QString& text, int debugLevel = 0, const QString& aFile = QString());

// True when every bit of debugLevel is set in the settings' debug level (read each call).
bool Debug(int debugLevel);
// "DebugLevel" of the section "Debug", default 0.
int GetDebugLevel();

// The named log file for logName (the running program's file name when empty); a name
// without "_" gets "_<year>_<ISO week>.log" in place of its extension.
QString GetLogFileName(const QString& logName);

// The logs folder, ending in "/", created if missing: "logs" beside the module (the
// running program when empty) when that can be written, else
// $XDG_STATE_HOME/dolvane/logs (default ~/.local/state/dolvane/logs).
QString logsFolder(const QString& moduleName = QString());

// Raised to unwind a caller without any message being shown.
class SilentAbort final : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

// The weekly log of the process. The one object lives from start-up to shutdown; creating
// a second raises SilentAbort.
class CLog final {
public:
    CLog();
    ~CLog();
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // The weekly log file of the module logFileName (the running program when empty) for
    // the current ISO week; creates the logs folder.
    QString GetFileName(const QString& logFileName = QString()) const;
    // Appends one weekly log line; every error is ignored.
    void logMessage(const QString& text);
};

// Test seam: every logs folder is this one (ending "/" or not); empty restores the rule.
void setLogsFolderOverride(const QString& folder);
