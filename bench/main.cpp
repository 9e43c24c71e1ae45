// dolvane-bench [--rows N] [--seed S] [--keep DIR] [--rounds N]
//
// Measures, on identical copies of one generated station database:
//  (a) the select form on TBL_SALES against (b) Firebird's set-based delete of the same rows,
//      next to the client loop of one statement per row the select form used before;
//  the id-list form on the order detail tables against their set-based deletes;
//  (c) a whole dolvane-cli Sales+Purchases+Pricing run with compression against (d) what an
//      administrator would do by hand: the set-based deletes, then gbak -b -g piped into gbak -c;
//  (e) the cli run without compression against the set-based deletes with a commit.

#include "cleaning/CategoryRules.h"
#include "cleaning/DeleteBlock.h"
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
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
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

// Switches the run's triggers off, as the run does on its work copy, so every way deletes
// under the same conditions. forcedWrites false as on the run's work copy; true leaves the
// file's own setting.
void prepareCopy(const QString& path, bool asWorkCopy) {
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
    if (asWorkCopy)
        conx.SetForcedWrites(false);
}

qint64 count(const QString& path, const QString& table) {
    db::Connection conx;
    setParams(conx, path);
    conx.Open();
    db::Query q(conx);
    q.SetSQL(QStringLiteral("select count(*) from ") + table);
    return q.Open().asInt64(0, 0);
}

double seconds(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e9;
}

// Opens a connection with the cleaner's queries on it and times fn up to its commit.
double
timed(const QString& path,
      const std::function<void(db::Connection&, db::Query&, db::Query&, TableCleaner&)>& fn) {
    db::Connection conx;
    setParams(conx, path);
    conx.Open();
    db::Query q1(conx), q2(conx);
    BenchHost host;
    TableCleaner cleaner(conx, q1, q2, host);
    QElapsedTimer t;
    t.start();
    fn(conx, q1, q2, cleaner);
    conx.Commit();
    return seconds(t);
}

const QString salesTable = QStringLiteral("TBL_SALES");
const QString salesDates = QStringLiteral("TRANS_DATE;SALES_DATE");

// The select form as it was before: every selected key fetched to the client, then one
// prepared delete per row.
void clientLoop(db::Query& q1, TableCleaner& cleaner) {
    q1.SetSQL(cleaner.GenerateSQLQuery(salesTable, salesDates));
    cleaner.bindCutOff();
    const db::ResultSet rows = q1.Open(1);
    q1.Close();
    const QString sql = QStringLiteral("delete from TBL_SALES where ") + rows.columnName(0) +
                        QStringLiteral(" = :V1");
    for (qsizetype r = 0; r < rows.rowCount(); ++r)
        cleaner.RunCommand(sql, rows.value(r, 0), true);
}

// The count of the selected rows that sets the progress maximum.
void countSelected(db::Query& q1, TableCleaner& cleaner) {
    q1.SetSQL(
        QStringLiteral("select count(*)") +
        cleaner.GenerateSQLQuery(salesTable, salesDates).mid(QStringLiteral("select *").size()));
    cleaner.bindCutOff();
    q1.Open();
    q1.Close();
}

// The select form's delete loop alone, without the count that sets the progress maximum:
// without a savepoint per row, as the select form walks first, or with one.
void blockWithoutCount(db::Query& q1, db::Query& q2, TableCleaner& cleaner, bool perRowSavepoint) {
    const QString select = cleaner.GenerateSQLQuery(salesTable, salesDates);
    const QString where = select.mid(QStringLiteral("select * from TBL_SALES").size());
    DeleteBlock(q2).run(DeleteBlock::selectForm(salesTable, firstColumnOf(q1, salesTable), where, 2,
                                                perRowSavepoint),
                        2, db::DbValue::timestamp(cutOff), {});
}

void execute(db::Query& q, const QString& sql) {
    q.Close();
    q.SetSQL(sql);
    for (int i = 0; i < q.ParamCount(); ++i)
        q.SetParam(i, db::DbValue::timestamp(cutOff));
    q.ExecSQL();
    q.Close();
}

QString deleteWhere(TableCleaner& cleaner, const SelectRule& r) {
    return QStringLiteral("delete") +
           cleaner.GenerateSQLQuery(QString::fromLatin1(r.table), QString::fromLatin1(r.dates))
               .mid(QStringLiteral("select *").size());
}

QString detailDelete(TableCleaner& cleaner, const IdListRule& r) {
    const SelectRule& h = orderHeaderRule();
    return QStringLiteral("delete from %1 where %2 in (select ORDER_ID%3)")
        .arg(QString::fromLatin1(r.table), QString::fromLatin1(r.keyField),
             cleaner.GenerateSQLQuery(QString::fromLatin1(h.table), QString::fromLatin1(h.dates))
                 .mid(QStringLiteral("select *").size()));
}

// The set-based deletes of the order detail tables that take the id list.
void setBasedDetails(db::Query& q, TableCleaner& cleaner) {
    for (const IdListRule& r : orderDetailRules()) {
        if (r.takesIdList)
            execute(q, detailDelete(cleaner, r));
    }
}

// The id-list form on the same tables, with the ids collected as the rule collects them.
void idListForm(db::Query& q1, TableCleaner& cleaner, bool inEngine) {
    CategoryRules rules(cleaner, q1);
    const std::vector<qint32> ids = rules.collectOrderIds();
    const SelectRule& h = orderHeaderRule();
    const IdSource headers{QString::fromLatin1(h.table), QString::fromLatin1(h.dates),
                           QStringLiteral("ORDER_ID")};
    for (const IdListRule& r : orderDetailRules()) {
        if (r.takesIdList)
            cleaner.CleanTable(QString::fromLatin1(r.table), QString::fromLatin1(r.keyField), &ids,
                               QString(), true, inEngine ? &headers : nullptr);
    }
}

// Every delete of a Sales+Purchases+Pricing run in prior-to mode, one set-based statement
// per table.
void setBasedRun(db::Query& q, TableCleaner& cleaner) {
    for (const SelectRule& r : salesRules())
        execute(q, deleteWhere(cleaner, r));
    for (const IdListRule& r : orderDetailRules())
        execute(q, r.takesIdList ? detailDelete(cleaner, r)
                                 : QStringLiteral("delete from ") + QString::fromLatin1(r.table));
    execute(q, deleteWhere(cleaner, orderHeaderRule()));
    for (const SelectRule& r : pricingRules())
        execute(q, deleteWhere(cleaner, r));
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
    r.seconds = seconds(t);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.peakKb = usage.ru_maxrss;
    return r;
}

ChildRun shell(const QString& command, const QString& tmpDir) {
    return runChild(
        QStringLiteral("/bin/bash"),
        {QStringLiteral("-o"), QStringLiteral("pipefail"), QStringLiteral("-c"), command}, tmpDir);
}

QString shellQuoted(const QString& s) {
    return QLatin1Char('\'') + QString(s).replace(QLatin1String("'"), QLatin1String("'\\''")) +
           QLatin1Char('\'');
}

void line(const char* label, double s, const QString& note = QString()) {
    std::printf("%-52s %8.2f s  %s\n", label, s, qPrintable(note));
}
void ratio(const char* label, double r, const char* target) {
    std::printf("%-52s %8.2f    %s\n", label, r, target);
}
QString perSecond(qint64 rows, double s) {
    return QStringLiteral("%1 rows, %2 rows/s").arg(rows).arg(qint64(double(rows) / s));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    db::ClientGuard client;
    StationDbOptions options;
    options.salesRows = 1'000'000;
    QString keep;
    int rounds = 3;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--rows"))
            options.salesRows = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--seed"))
            options.seed = args[i + 1].toULongLong();
        else if (args[i] == QLatin1String("--keep"))
            keep = args[i + 1];
        else if (args[i] == QLatin1String("--rounds"))
            rounds = qMax(1, args[i + 1].toInt());
    }
    QTemporaryDir scratch;
    const QString dir = keep.isEmpty() ? scratch.path() : keep;
    QDir().mkpath(dir);
    const QString tmp = dir + QStringLiteral("/tmp");
    QDir().mkpath(tmp);
    const QString source =
        dir +
        QStringLiteral("/BENCH_%1_%2.GDB").arg(options.salesRows).arg(qulonglong(options.seed));
    bool same = true;
    try {
        if (!QFile::exists(source)) {
            QElapsedTimer t;
            t.start();
            createStationDatabase(source, options);
            std::printf("generated %lld sales rows in %.1f s\n",
                        static_cast<long long>(options.salesRows), seconds(t));
        }
        // Each measurement gets its own fresh copy of the source.
        auto copy = [&](const char* name, bool asWorkCopy) {
            QString path = dir + QLatin1Char('/') + QLatin1String(name);
            QFile::remove(path);
            if (!QFile::copy(source, path))
                throw std::runtime_error("cannot copy the generated database");
            prepareCopy(path, asWorkCopy);
            return path;
        };
        const qint64 sales = count(source, salesTable);
        std::printf("cut-off %s; TBL_SALES rows: %lld\n",
                    qPrintable(cutOff.date().toString(Qt::ISODate)), static_cast<long long>(sales));

        std::printf("\n-- select form on TBL_SALES (work-copy conditions: triggers off, no forced "
                    "writes) --\n");
        // Each way runs once per round on its own fresh copy, in a rotated order, so a
        // busy machine or a warm file cache favours none of them; the medians are compared.
        struct Way {
            const char* file;
            std::function<void(db::Query&, db::Query&, TableCleaner&)> run;
            std::vector<double> times{};
            qint64 removed = 0;
        };
        std::vector<Way> ways = {
            {"A.GDB",
             [](db::Query&, db::Query&, TableCleaner& c) {
                 c.CleanTable(salesTable, salesDates, QStringLiteral("GEN_SALES_ID"), true);
             }},
            {"B.GDB", [](db::Query& q1, db::Query&,
                         TableCleaner& c) { execute(q1, deleteWhere(c, salesRules()[1])); }},
            {"E.GDB", [](db::Query& q1, db::Query& q2,
                         TableCleaner& c) { blockWithoutCount(q1, q2, c, false); }},
            {"G.GDB", [](db::Query& q1, db::Query&, TableCleaner& c) { countSelected(q1, c); }},
            {"F.GDB", [](db::Query& q1, db::Query&, TableCleaner& c) { clientLoop(q1, c); }},
            {"H.GDB",
             [](db::Query& q1, db::Query& q2, TableCleaner& c) {
                 countSelected(q1, c);
                 blockWithoutCount(q1, q2, c, true);
             }},
        };
        for (int round = 0; round < rounds; ++round) {
            for (size_t k = 0; k < ways.size(); ++k) {
                Way& w = ways[(k + size_t(round)) % ways.size()];
                const QString path = copy(w.file, true);
                w.times.push_back(timed(path, [&](auto&, db::Query& q1, db::Query& q2,
                                                  TableCleaner& c) { w.run(q1, q2, c); }));
                w.removed = sales - count(path, salesTable);
            }
        }
        auto median = [](std::vector<double> v) {
            std::sort(v.begin(), v.end());
            return v[v.size() / 2];
        };
        auto all = [](const std::vector<double>& v) {
            QStringList parts;
            for (double x : v)
                parts << QString::number(x, 'f', 2);
            return QStringLiteral("(") + parts.join(QStringLiteral(", ")) + QStringLiteral(")");
        };
        const double tA = median(ways[0].times), tB = median(ways[1].times),
                     tBlock = median(ways[2].times), tCount = median(ways[3].times),
                     tOld = median(ways[4].times), tGuarded = median(ways[5].times);
        const qint64 removedA = ways[0].removed, removedB = ways[1].removed;
        std::printf("medians of %d rounds; every round in brackets\n", rounds);
        line("(a) select form (count + block in the engine)", tA,
             perSecond(removedA, tA) + QLatin1Char(' ') + all(ways[0].times));
        line("    its delete block alone, without the count", tBlock, all(ways[2].times));
        line("    the count alone", tCount, all(ways[3].times));
        line("    before: count + block with a savepoint per row", tGuarded,
             QStringLiteral("ratio to (b) %1 ").arg(tGuarded / tB, 0, 'f', 2) + all(ways[5].times));
        line("(b) set-based delete", tB,
             perSecond(removedB, tB) + QLatin1Char(' ') + all(ways[1].times));
        ratio("    ratio (a)/(b)", tA / tB, "target <= 1.3");
        ratio("    ratio block alone/(b)", tBlock / tB, "");
        line("    before: client loop, one statement per row", tOld,
             QStringLiteral("ratio to (b) %1 ").arg(tOld / tB, 0, 'f', 2) + all(ways[4].times));
        same = same && removedA == removedB && ways[2].removed == removedB &&
               ways[4].removed == removedB && ways[5].removed == removedB;
        const QString a = dir + QStringLiteral("/A.GDB"), b = dir + QStringLiteral("/B.GDB");

        std::printf("\n-- id-list form on the order detail tables (same copies, after TBL_SALES) "
                    "--\n");
        const QString details[] = {
            QStringLiteral("TBL_ORDER_BUNKERED"), QStringLiteral("TBL_ORDER_TANK_DETAIL"),
            QStringLiteral("TBL_CINVOICE_PAYMENTS"), QStringLiteral("TBL_ORDER_DETAIL")};
        auto detailRows = [&](const QString& path) {
            qint64 n = 0;
            for (const QString& t : details)
                n += count(path, t);
            return n;
        };
        const qint64 detailsBefore = detailRows(source);
        const double tIdA =
            timed(a, [](auto&, db::Query& q1, auto&, TableCleaner& c) { idListForm(q1, c, true); });
        const double tIdB =
            timed(b, [](auto&, db::Query& q1, auto&, TableCleaner& c) { setBasedDetails(q1, c); });
        const QString f = dir + QStringLiteral("/F.GDB");
        const double tIdOld = timed(
            f, [](auto&, db::Query& q1, auto&, TableCleaner& c) { idListForm(q1, c, false); });
        const qint64 idRemovedA = detailsBefore - detailRows(a);
        const qint64 idRemovedB = detailsBefore - detailRows(b);
        line("(a) id-list form, 4 tables (ids collected + block)", tIdA,
             perSecond(idRemovedA, tIdA));
        line("(b) set-based deletes (where ORDER_ID in (select ...))", tIdB,
             perSecond(idRemovedB, tIdB));
        ratio("    ratio (a)/(b)", tIdA / tIdB, "");
        line("    before: one statement per id", tIdOld,
             QStringLiteral("ratio to (b) %1").arg(tIdOld / tIdB, 0, 'f', 2));
        same = same && idRemovedA == idRemovedB;
        for (const char* name : {"A.GDB", "B.GDB", "E.GDB", "F.GDB", "G.GDB"})
            QFile::remove(dir + QLatin1Char('/') + QLatin1String(name));

        std::printf("\n-- whole run: Sales + Purchases + Pricing, prior to the cut-off --\n");
        const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/dolvane-cli");
        const QStringList runArgs = {"--prior-to", cutOff.date().toString(Qt::ISODate),
                                     "--tick",     "3",
                                     "--tick",     "4",
                                     "--tick",     "9"};
        const QString c = dir + QStringLiteral("/C.GDB");
        QFile::remove(c);
        QFile::copy(source, c);
        const ChildRun runC = runChild(cli, runArgs + QStringList{c}, tmp);
        const double sizeC = double(QFileInfo(c).size()) / 1048576.0;
        QFile::remove(c);
        QFile::copy(source, c);
        const ChildRun runE =
            runChild(cli, runArgs + QStringList{QStringLiteral("--no-compress"), c}, tmp);
        QFile::remove(c);

        // By hand: the triggers switched off as the run does, forced writes as the file has.
        const QString d = copy("D.GDB", false);
        const double tD1 =
            timed(d, [](auto&, db::Query& q1, auto&, TableCleaner& cl) { setBasedRun(q1, cl); });
        const QString restored = dir + QStringLiteral("/D_RESTORED.GDB");
        const QString fbk = dir + QStringLiteral("/D.FBK");
        QFile::remove(restored);
        const QString gbak = QStringLiteral("gbak -user SYSDBA -password quillpine ");
        const ChildRun piped =
            shell(gbak + QStringLiteral("-b -g ") + shellQuoted(d) + QStringLiteral(" stdout | ") +
                      gbak + QStringLiteral("-c stdin ") + shellQuoted(restored),
                  tmp);
        const double sizeD = double(QFileInfo(restored).size()) / 1048576.0;
        QFile::remove(restored);
        const ChildRun viaFile =
            shell(gbak + QStringLiteral("-b -g ") + shellQuoted(d) + QLatin1Char(' ') +
                      shellQuoted(fbk) + QStringLiteral(" && ") + gbak + QStringLiteral("-c ") +
                      shellQuoted(fbk) + QLatin1Char(' ') + shellQuoted(restored),
                  tmp);
        for (const QString& p : {d, restored, fbk})
            QFile::remove(p);
        // The same deletes on a copy without forced writes, as the run's work copy has it.
        const QString dOff = copy("D_OFF.GDB", true);
        const double tD1Off =
            timed(dOff, [](auto&, db::Query& q1, auto&, TableCleaner& cl) { setBasedRun(q1, cl); });
        QFile::remove(dOff);

        const double tD = tD1 + piped.seconds, tDOff = tD1Off + piped.seconds;
        line("(c) dolvane-cli run with compression", runC.seconds,
             QStringLiteral("exit %1, peak memory %2 MB (target < 100 MB)")
                 .arg(runC.exitCode)
                 .arg(double(runC.peakKb) / 1024.0, 0, 'f', 1));
        line("(d) by hand: set-based deletes + commit", tD1,
             QStringLiteral("forced writes as the file has them"));
        line("    + gbak -b -g | gbak -c", piped.seconds,
             QStringLiteral("exit %1").arg(piped.exitCode));
        line("    = (d)", tD);
        ratio("    ratio (c)/(d)", runC.seconds / tD, "target <= 1.3");
        line("(d') the same deletes without forced writes", tD1Off,
             QStringLiteral("as on the run's work copy"));
        line("    + the same gbak pipe = (d')", tDOff);
        ratio("    ratio (c)/(d')", runC.seconds / tDOff, "");
        line("    for comparison: gbak -b -g to a file, then gbak -c", viaFile.seconds,
             QStringLiteral("exit %1 (the pipe saves %2 s)")
                 .arg(viaFile.exitCode)
                 .arg(viaFile.seconds - piped.seconds, 0, 'f', 2));
        std::printf("    file size: %.1f MB before, %.1f MB after (c), %.1f MB after (d)\n",
                    double(QFileInfo(source).size()) / 1048576.0, sizeC, sizeD);
        line("(e) dolvane-cli run without compression", runE.seconds,
             QStringLiteral("exit %1, peak memory %2 MB")
                 .arg(runE.exitCode)
                 .arg(double(runE.peakKb) / 1024.0, 0, 'f', 1));
        line("    set-based deletes + commit (from (d))", tD1);
        ratio("    ratio (e)/set-based", runE.seconds / tD1, "target <= 1.5");
        ratio("    ratio (e)/set-based without forced writes", runE.seconds / tD1Off, "");
        if (!same)
            std::printf("\nthe in-engine forms and the set-based deletes removed different "
                        "numbers of rows\n");
        return runC.exitCode == 0 && runE.exitCode == 0 && piped.exitCode == 0 && same ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
