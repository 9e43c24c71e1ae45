// dolvane-bench [--rows N] [--seed S] [--keep DIR]
//
// Measures the per-row cleaning of TBL_SALES against Firebird's own set-based delete on
// identical copies of one generated station database, and a whole dolvane-cli run.

#include "cleaning/RunHost.h"
#include "cleaning/TableCleaner.h"
#include "cleaning/TriggerSwitch.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "tools/StationDb.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QDateTime cutOff(midSampleDate(), QTime(0, 0));

class BenchHost final : public RunHost {
public:
    void SetStatus(const QString&) override {}
    void InitialiseProgress(int, qint64 max) override { fMax = max; }
    void StepProgress(int) override { ++fSteps; }
    int DlgAsk(const QString&) override { return 7; }
    void DlgError(const QString& message) override {
        std::fprintf(stderr, "error: %s\n", qPrintable(message));
    }
    void ShowMessage(const QString& text) override {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    bool priorToMode() const override { return true; }
    QDateTime cutOffDate() const override { return cutOff; }
    const CategoryTree& tree() const override { return fTree; }
    qint64 fSteps = 0, fMax = 0;

private:
    CategoryTree fTree;
};

void setParams(db::Connection& conx, const QString& path) {
    conx.setParam(QStringLiteral("DriverID"), QStringLiteral("FB"));
    conx.setParam(QStringLiteral("User_Name"), QStringLiteral("SYSDBA"));
    conx.setParam(QStringLiteral("Password"), QStringLiteral("quillpine"));
    conx.setParam(QStringLiteral("database"), path);
}

// Prepares a copy as the run prepares its work copy (triggers off, no forced writes), so
// both ways delete under the same conditions as a real run.
void prepareCopy(const QString& path) {
    db::Connection conx;
    setParams(conx, path);
    conx.Open();
    {
        db::Query q1(conx);
        TriggerSwitch triggers(q1);
        for (const ListedTrigger& t : triggers.listTriggers())
            triggers.SetTriggerStatus(t.name, false);
        conx.Commit();
    }
    conx.Close();
    conx.SetForcedWrites(false);
}

qint64 countSales(const QString& path) {
    db::Connection conx;
    setParams(conx, path);
    conx.Open();
    db::Query q(conx);
    q.SetSQL(QStringLiteral("select count(*) from TBL_SALES"));
    return q.Open().asInt64(0, 0);
}

double perRow(const QString& path) {
    db::Connection conx;
    setParams(conx, path);
    conx.Open();
    db::Query q1(conx), q2(conx);
    BenchHost host;
    TableCleaner cleaner(conx, q1, q2, host);
    QElapsedTimer t;
    t.start();
    cleaner.CleanTable(QStringLiteral("TBL_SALES"), QStringLiteral("TRANS_DATE;SALES_DATE"),
                       QStringLiteral("GEN_SALES_ID"), true);
    conx.Commit();
    return t.nsecsElapsed() / 1e9;
}

double setBased(const QString& path) {
    db::Connection conx;
    setParams(conx, path);
    conx.Open();
    db::Query q(conx);
    QElapsedTimer t;
    t.start();
    q.SetSQL(QStringLiteral("delete from TBL_SALES where (TRANS_DATE<:V0) or (SALES_DATE<:V1)"));
    q.SetParam(0, db::DbValue::timestamp(cutOff));
    q.SetParam(1, db::DbValue::timestamp(cutOff));
    q.ExecSQL();
    conx.Commit();
    return t.nsecsElapsed() / 1e9;
}

struct ChildRun {
    int exitCode = -1;
    double seconds = 0;
    long peakKb = 0;
};

// Runs a program and reads its peak resident memory from the kernel's accounting.
ChildRun runChild(const QString& program, const QStringList& args, const QString& tmpDir) {
    ChildRun r;
    QElapsedTimer t;
    t.start();
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("TMPDIR", tmpDir.toLocal8Bit().constData(), 1);
        const QByteArray p = program.toLocal8Bit();
        std::vector<QByteArray> store;
        std::vector<char*> argv{const_cast<char*>(p.constData())};
        for (const QString& a : args)
            store.push_back(a.toLocal8Bit());
        for (auto& s : store)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        if (!::freopen("/dev/null", "w", stdout) || !::freopen("/dev/null", "w", stderr))
            ::_exit(126);
        ::execv(p.constData(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    r.seconds = t.nsecsElapsed() / 1e9;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.peakKb = usage.ru_maxrss;
    return r;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    db::ClientGuard client;
    StationDbOptions options;
    options.salesRows = 1'000'000;
    QString keep;
    bool onlyPerRow = false;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--rows"))
            options.salesRows = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--seed"))
            options.seed = args[i + 1].toULongLong();
        else if (args[i] == QLatin1String("--keep"))
            keep = args[i + 1];
        else if (args[i] == QLatin1String("--only") && args[i + 1] == QLatin1String("per-row"))
            onlyPerRow = true;
    }
    QTemporaryDir scratch;
    const QString dir = keep.isEmpty() ? scratch.path() : keep;
    QDir().mkpath(dir);
    const QString source = dir + QStringLiteral("/BENCH_%1.GDB").arg(options.salesRows);
    try {
        if (!QFile::exists(source)) {
            QElapsedTimer t;
            t.start();
            createStationDatabase(source, options);
            std::printf("generated %lld sales rows in %.1f s\n",
                        static_cast<long long>(options.salesRows), t.nsecsElapsed() / 1e9);
        }
        const QString a = dir + QStringLiteral("/A.GDB"), b = dir + QStringLiteral("/B.GDB"),
                      c = dir + QStringLiteral("/C.GDB");
        for (const QString& copy : {a, b, c}) {
            QFile::remove(copy);
            QFile::copy(source, copy);
        }
        prepareCopy(a);
        prepareCopy(b);
        const qint64 before = countSales(a);

        const double tA = perRow(a);
        const qint64 removedA = before - countSales(a);
        if (onlyPerRow) {
            std::printf("(a) per-row cleaning:     %8.2f s  %10.0f rows/s\n", tA, removedA / tA);
            return 0;
        }
        const double tB = setBased(b);
        const qint64 removedB = before - countSales(b);

        std::printf("TBL_SALES rows: %lld, before the cut-off: %lld (set-based: %lld)\n",
                    static_cast<long long>(before), static_cast<long long>(removedA),
                    static_cast<long long>(removedB));
        std::printf("(a) per-row cleaning:     %8.2f s  %10.0f rows/s\n", tA, removedA / tA);
        std::printf("(b) set-based delete:     %8.2f s  %10.0f rows/s\n", tB, removedB / tB);
        std::printf("    ratio (a)/(b):        %8.2f\n", tA / tB);

        const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/dolvane-cli");
        QDir().mkpath(dir + QStringLiteral("/tmp"));
        const ChildRun run = runChild(cli,
                                      {"--prior-to", cutOff.date().toString(Qt::ISODate), "--tick",
                                       "3", "--tick", "4", "--tick", "9", c},
                                      dir + QStringLiteral("/tmp"));
        std::printf("(c) dolvane-cli run:      %8.2f s  exit %d  peak memory %.1f MB\n",
                    run.seconds, run.exitCode, run.peakKb / 1024.0);
        std::printf("    file size before %.1f MB, after %.1f MB\n",
                    QFileInfo(source).size() / 1048576.0, QFileInfo(c).size() / 1048576.0);
        // The generated source stays in a --keep folder for the next run; the copies go.
        for (const QString& copy : {a, b, c})
            QFile::remove(copy);
        return run.exitCode == 0 && removedA == removedB ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
