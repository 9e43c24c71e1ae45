#include "env/Log.h"
#include "HiveSandbox.h"
#include "common/Clock.h"
#include "env/Locations.h"
#include "env/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <optional>

namespace {

QDateTime at(int y, int m, int d, int hh = 9, int mm = 5, int ss = 7) {
    return QDateTime(QDate(y, m, d), QTime(hh, mm, ss));
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class Log : public ::testing::Test {
protected:
    void SetUp() override {
        fLogs = fDir.file(QStringLiteral("logs"));
        setLogsFolderOverride(fLogs);
        setModuleNameOverride(QStringLiteral("/opt/prog/Dolvane"));
        setNow(at(2021, 6, 1));
    }
    void TearDown() override {
        setLogsFolderOverride(QString());
        setModuleNameOverride(QString());
        setCurrentDateTimeSource({});
    }
    void setNow(const QDateTime& now) {
        fNow = now;
        setCurrentDateTimeSource([this] { return fNow; });
    }
    void setMask(int mask) {
        TBrevikReg reg;
        reg.WriteInteger(QStringLiteral("Debug"), QStringLiteral("DebugLevel"), mask);
    }
    QString logFile(const QString& name) const { return fLogs + QLatin1Char('/') + name; }
    QStringList logFiles() const { return QDir(fLogs).entryList(QDir::Files, QDir::Name); }

    HiveSandbox fSandbox;
    TempDir fDir;
    QString fLogs;
    QDateTime fNow;
};

TEST_F(Log, WeeklyFileIsNamedByTheIsoWeekAndItsYear) {
    CLog log;
    struct Case {
        QDate day;
        const char* name;
    };
    const Case cases[] = {
        {QDate(2020, 12, 31), "Dolvane_2020_53.log"}, {QDate(2021, 1, 1), "Dolvane_2020_53.log"},
        {QDate(2021, 1, 3), "Dolvane_2020_53.log"},   {QDate(2021, 1, 4), "Dolvane_2021_01.log"},
        {QDate(2021, 6, 1), "Dolvane_2021_22.log"},   {QDate(2019, 12, 30), "Dolvane_2020_01.log"},
        {QDate(2024, 12, 30), "Dolvane_2025_01.log"}, {QDate(2027, 1, 2), "Dolvane_2026_53.log"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setNow(QDateTime(c.day, QTime(12, 0)));
        EXPECT_EQ(log.GetFileName(), logFile(QString::fromUtf8(c.name)));
    }
    // Another module: its own name without the extension.
    EXPECT_EQ(log.GetFileName(QStringLiteral("/srv/x/Vaultix.bin")),
              logFile(QStringLiteral("Vaultix_2026_53.log")));
}

TEST_F(Log, NamedFilesTakeTheCalendarYearWithTheIsoWeek) {
    struct Case {
        QDate day;
        const char* logName;
        const char* file;
    };
    const Case cases[] = {
        {QDate(2021, 6, 1), "Import", "Import_2021_22.log"},
        // Around New Year the named and the weekly log disagree about the year.
        {QDate(2021, 1, 1), "Import", "Import_2021_53.log"},
        {QDate(2021, 6, 1), "Import.txt", "Import_2021_22.log"},
        {QDate(2021, 6, 1), "a.b.c", "a.b_2021_22.log"},
        {QDate(2021, 6, 1), "My_Import.txt", "My_Import.txt"},
        {QDate(2021, 6, 1), "", "Dolvane_2021_22.log"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logName);
        setNow(QDateTime(c.day, QTime(12, 0)));
        EXPECT_EQ(GetLogFileName(QString::fromUtf8(c.logName)), logFile(QString::fromUtf8(c.file)));
    }
}

TEST_F(Log, WeeklyLinesAreStampedIndentedAndTrimmed) {
    CLog log;
    const QString file = logFile(QStringLiteral("Dolvane_2021_22.log"));
    EXPECT_TRUE(QFileInfo::exists(file)); // created empty with the log
    EXPECT_TRUE(readAll(file).isEmpty());
    struct Case {
        const char* label;
        const char* text;
        const char* line;
    };
    const Case cases[] = {
        {"one line", "hello", "21-06-01 09:05:07 hello\r\n"},
        {"statement and error", "DELETE FROM SALES: \r\nlock conflict",
         "21-06-01 09:05:07 DELETE FROM SALES: \r\n                  lock conflict\r\n"},
        {"three lines", "a\r\nb\r\nc",
         "21-06-01 09:05:07 a\r\n                  b\r\n                  c\r\n"},
        {"trailing break trimmed", "ends\r\n", "21-06-01 09:05:07 ends\r\n"},
        {"blanks and controls trimmed", " \t padded \x01\r\n", "21-06-01 09:05:07 padded\r\n"},
        {"a lone LF is no break", "a\nb", "21-06-01 09:05:07 a\nb\r\n"},
        {"UTF-8", "Caf\xC3\xA9 \xE2\x9C\x93", "21-06-01 09:05:07 Caf\xC3\xA9 \xE2\x9C\x93\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        QFile::remove(file);
        DebugOut(QString::fromUtf8(c.text));
        EXPECT_EQ(readAll(file), QByteArray(c.line));
    }
    // Lines are appended.
    setNow(at(2021, 6, 2, 23, 59, 59));
    DebugOut(QStringLiteral("second"));
    EXPECT_EQ(readAll(file), QByteArray("21-06-01 09:05:07 Caf\xC3\xA9 \xE2\x9C\x93\r\n"
                                        "21-06-02 23:59:59 second\r\n"));
}

TEST_F(Log, NamedLinesStartOnTheirOwnLineWhenTheMessageHoldsACarriageReturn) {
    CLog log;
    DebugOut(QStringLiteral("one"), 0, QStringLiteral("Import"));
    DebugOut(QStringLiteral(" two\r\nthree "), 0, QStringLiteral("Import"));
    DebugOut(QStringLiteral("cr\ronly"), 0, QStringLiteral("Import"));
    EXPECT_EQ(readAll(logFile(QStringLiteral("Import_2021_22.log"))),
              QByteArray("210601 090507: one\r\n"
                         "210601 090507: \r\n two\r\nthree \r\n"
                         "210601 090507: \r\ncr\ronly\r\n"));
    // The weekly log got nothing.
    EXPECT_TRUE(readAll(logFile(QStringLiteral("Dolvane_2021_22.log"))).isEmpty());
}

TEST_F(Log, LevelsAreWrittenWhenAllTheirBitsAreInTheMask) {
    CLog log;
    struct Case {
        int mask;
        int level;
        bool written;
    };
    const Case cases[] = {
        {0, 0, true},  {0, 1, false}, {0, 4, false}, {4, 4, true},   {4, 1, false},
        {4, 0, true},  {3, 3, true},  {3, 1, true},  {3, 2, true},   {3, 4, false},
        {1, 3, false}, {6, 2, true},  {6, 3, false}, {-1, 12, true},
    };
    const QString file = logFile(QStringLiteral("Dolvane_2021_22.log"));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mask " << c.mask << " level " << c.level);
        setMask(c.mask);
        QFile::remove(file);
        DebugOut(QStringLiteral("x"), c.level);
        EXPECT_EQ(!readAll(file).isEmpty(), c.written);
    }
}

TEST_F(Log, FailingLevelReadWritesNothingEvenAtLevelZero) {
    CLog log;
    TBrevikReg reg;
    reg.WriteString(QStringLiteral("Debug"), QStringLiteral("DebugLevel"), QStringLiteral("4"), 0);
    EXPECT_NO_THROW(DebugOut(QStringLiteral("x")));
    EXPECT_NO_THROW(DebugOut(QStringLiteral("x"), 0, QStringLiteral("Import")));
    EXPECT_EQ(logFiles(), QStringList{QStringLiteral("Dolvane_2021_22.log")});
    EXPECT_TRUE(readAll(logFile(QStringLiteral("Dolvane_2021_22.log"))).isEmpty());
}

TEST_F(Log, NothingIsWrittenWithoutTheLogObject) {
    DebugOut(QStringLiteral("x"));
    DebugOut(QStringLiteral("x"), 0, QStringLiteral("Import"));
    EXPECT_TRUE(logFiles().isEmpty());
    // Not even the debug level is read.
    EXPECT_FALSE(QFile::exists(hiveFilePath(HiveRoot::LocalMachine)));
}

TEST_F(Log, UnwritableLogsFolderIsSwallowed) {
    const QString blocked = folderPart(fSandbox.unwritablePath(QStringLiteral("logs")));
    setLogsFolderOverride(blocked);
    std::optional<CLog> log;
    EXPECT_NO_THROW(log.emplace());
    EXPECT_NO_THROW(DebugOut(QStringLiteral("lost")));
    EXPECT_NO_THROW(DebugOut(QStringLiteral("lost"), 0, QStringLiteral("Import")));
    EXPECT_NO_THROW(log->logMessage(QStringLiteral("lost")));
    EXPECT_FALSE(QFileInfo::exists(blocked));
}

TEST_F(Log, OnlyOneLogObjectAtATime) {
    {
        CLog first;
        EXPECT_THROW(CLog second, SilentAbort);
        // The failed second object did not unregister the first.
        DebugOut(QStringLiteral("still logging"));
        EXPECT_FALSE(readAll(logFile(QStringLiteral("Dolvane_2021_22.log"))).isEmpty());
    }
    QFile::remove(logFile(QStringLiteral("Dolvane_2021_22.log")));
    DebugOut(QStringLiteral("after shutdown"));
    EXPECT_FALSE(QFile::exists(logFile(QStringLiteral("Dolvane_2021_22.log"))));
    EXPECT_NO_THROW(CLog again);
}

TEST_F(Log, FirstMessageOfANewWeekGoesToANewFile) {
    CLog log;
    setNow(at(2021, 6, 6, 23, 59, 59)); // Sunday of week 22
    DebugOut(QStringLiteral("sunday"));
    setNow(at(2021, 6, 7, 0, 0, 1)); // Monday of week 23
    DebugOut(QStringLiteral("monday"));
    EXPECT_EQ(readAll(logFile(QStringLiteral("Dolvane_2021_22.log"))),
              QByteArray("21-06-06 23:59:59 sunday\r\n"));
    EXPECT_EQ(readAll(logFile(QStringLiteral("Dolvane_2021_23.log"))),
              QByteArray("21-06-07 00:00:01 monday\r\n"));
}

TEST_F(Log, LogsFolderBesideTheProgramElseInTheStateFolder) {
    setLogsFolderOverride(QString());
    const QByteArray oldState = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", QFile::encodeName(fDir.file(QStringLiteral("state"))));

    QDir().mkpath(fDir.file(QStringLiteral("prog")));
    setModuleNameOverride(fDir.file(QStringLiteral("prog/Dolvane")));
    EXPECT_EQ(logsFolder(), fDir.file(QStringLiteral("prog/logs/")));
    EXPECT_TRUE(QFileInfo(fDir.file(QStringLiteral("prog/logs"))).isDir());

    // A program folder that cannot take a "logs" folder sends the log to the state folder.
    setModuleNameOverride(fSandbox.unwritablePath(QStringLiteral("prog")));
    EXPECT_EQ(logsFolder(), fDir.file(QStringLiteral("state/dolvane/logs/")));
    CLog log;
    DebugOut(QStringLiteral("here"));
    EXPECT_FALSE(
        readAll(fDir.file(QStringLiteral("state/dolvane/logs/registry_2021_22.log"))).isEmpty());

    // An installed program logs to the state folder, also when run by root, who could
    // write beside it; no "logs" folder appears among the system's programs.
    for (const char* installed : {"/usr/bin/dolvane-cli", "/usr/local/bin/dolvane"}) {
        SCOPED_TRACE(installed);
        setModuleNameOverride(QString::fromLatin1(installed));
        EXPECT_EQ(logsFolder(), fDir.file(QStringLiteral("state/dolvane/logs/")));
        EXPECT_FALSE(QFileInfo::exists(QFileInfo(QString::fromLatin1(installed)).path() +
                                       QStringLiteral("/logs")));
    }

    qputenv("XDG_STATE_HOME", oldState);
}

} // namespace
