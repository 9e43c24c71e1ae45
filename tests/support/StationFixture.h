#pragma once

// Test support around generated station databases: one template per test executable,
// copied into each test's own temporary folder; a host that records what the run tells
// it; and small helpers to look into a database file.

#include "cleaning/RunHost.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Query.h"
#include "tools/StationDb.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace testing_support {

inline void setStationParams(db::Connection& conx, const QString& path) {
    conx.setParam(QStringLiteral("DriverID"), QStringLiteral("FB"));
    conx.setParam(QStringLiteral("User_Name"), QStringLiteral("SYSDBA"));
    conx.setParam(QStringLiteral("Password"), QStringLiteral("quillpine"));
    conx.setParam(QStringLiteral("database"), path);
}

// A generated database made once per executable (per seed and size) and copied on demand.
inline QString templateDatabase(std::int64_t salesRows = 2000, std::uint64_t seed = 7) {
    static QTemporaryDir dir;
    const QString path =
        dir.filePath(QStringLiteral("TEMPLATE_%1_%2.GDB").arg(salesRows).arg(seed));
    if (!QFile::exists(path)) {
        StationDbOptions options;
        options.salesRows = salesRows;
        options.seed = seed;
        createStationDatabase(path, options);
    }
    return path;
}

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// Every file below a folder, hidden ones too.
inline QStringList filesUnder(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    return files;
}

struct ProgramRun {
    int exitCode = -1; // -1 when it crashed or did not finish
    QString out;
    QString err;
};

// A short-lived attachment for looking at a database from the test.
class Peek {
public:
    explicit Peek(const QString& path) : fQuery(fConx) {
        setStationParams(fConx, path);
        fConx.Open();
    }
    qint64 scalar(const QString& sql, const std::vector<db::DbValue>& params = {}) {
        fQuery.Close();
        fQuery.SetSQL(sql);
        for (size_t i = 0; i < params.size(); ++i)
            fQuery.SetParam(int(i), params[i]);
        const db::ResultSet rs = fQuery.Open();
        fQuery.Close();
        return rs.asInt64(0, 0);
    }
    qint64 count(const QString& table) {
        return scalar(QStringLiteral("select count(*) from ") + table);
    }
    void execute(const QString& sql) {
        fQuery.Close();
        fQuery.SetSQL(sql);
        fQuery.ExecSQL();
        fQuery.Close();
    }
    void commit() { fConx.Commit(); }
    db::Query& query() { return fQuery; }

private:
    db::Connection fConx;
    db::Query fQuery;
};

// Records everything the run tells its host; choices are set by the test.
class RecordingHost : public RunHost {
public:
    struct ProgressEvent {
        char kind; // 'I' initialise, 'S' step
        int id;
        qint64 value;
    };

    CategoryTree treeState;
    bool priorTo = true;
    QDateTime cutOff = QDateTime(QDate(2023, 1, 1), QTime(0, 0));
    int askAnswer = 7;

    QStringList statuses;
    QStringList questions;
    QStringList errors;
    QStringList messages;
    std::vector<ProgressEvent> progress;
    qint64 position[3] = {0, 0, 0};
    qint64 maximum[3] = {0, 0, 0};
    int backupCalls = 0;
    int sweepCalls = 0;
    QStringList sweepPaths;
    std::function<void(const QString&)> onStatus;

    void tick(int categoryId) { treeState.toggle(treeState.indexOfCategory(categoryId)); }

    void SetStatus(const QString& s) override {
        statuses << s;
        if (onStatus)
            onStatus(s);
    }
    void InitialiseProgress(int id, qint64 max) override {
        progress.push_back({'I', id, max});
        position[id] = 0;
        maximum[id] = max;
    }
    void StepProgress(int id) override {
        progress.push_back({'S', id, 0});
        if (position[id] < maximum[id])
            ++position[id];
    }
    int DlgAsk(const QString& question) override {
        questions << question;
        return askAnswer;
    }
    void DlgError(const QString& message) override { errors << message; }
    void ShowMessage(const QString& text) override { messages << text; }
    bool priorToMode() const override { return priorTo; }
    QDateTime cutOffDate() const override { return cutOff; }
    const CategoryTree& tree() const override { return treeState; }
    QString Backup(const QString&, const QString&) override {
        ++backupCalls;
        return QString();
    }
    bool Sweep(const QString& remote, const QString& local) override {
        ++sweepCalls;
        sweepPaths << remote << local;
        return true;
    }
};

// A station database copied into the test's own folder, with TMPDIR pointed at a folder
// of the test so the run's work copies can be watched.
class StationTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The shared template lives outside any one test's folder.
        const QString source = templateDatabase();
        ASSERT_TRUE(fDir.isValid());
        QDir(fDir.path()).mkpath(QStringLiteral("tmp"));
        QDir(fDir.path()).mkpath(QStringLiteral("station"));
        fOldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", tempFolder().toLocal8Bit());
        station = fDir.filePath(QStringLiteral("station/STATION.GDB"));
        ASSERT_TRUE(QFile::copy(source, station));
    }
    void TearDown() override {
        if (fOldTmp.isEmpty())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", fOldTmp);
    }
    QString tempFolder() const { return fDir.filePath(QStringLiteral("tmp")); }
    // Every file in the temporary folder, however deep (work copies and anything else a
    // run left there), and the run folders that held them.
    QStringList workFilesLeft() const {
        QStringList left;
        QDirIterator it(tempFolder(), QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            left.append(it.next());
        for (const QString& name :
             QDir(tempFolder()).entryList({QStringLiteral("dolvane-run-*")}, QDir::Dirs))
            left.append(name);
        return left;
    }
    // The work copies in the temporary folder (inside their run folders).
    QStringList workCopies() const {
        QStringList copies;
        QDirIterator it(tempFolder(), {QStringLiteral("*.gdb")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            copies.append(it.next());
        return copies;
    }
    QString folder() const { return fDir.path(); }
    // Runs one of the project's programs with TMPDIR pointed at the test's folder.
    ProgramRun runProgram(const QString& program, const QStringList& args,
                          const QString& workingFolder = QString()) const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), tempFolder());
        p.setProcessEnvironment(env);
        if (!workingFolder.isEmpty())
            p.setWorkingDirectory(workingFolder);
        p.start(program, args);
        EXPECT_TRUE(p.waitForFinished(300000));
        ProgramRun r;
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    QString station;

private:
    QTemporaryDir fDir;
    QByteArray fOldTmp;
};

} // namespace testing_support
