#include "cli/CliProgram.h"

#include "cleaning/CleaningRun.h"
#include "cleaning/DryRun.h"
#include "cleaning/RunArguments.h"
#include "cli/CliHost.h"
#include "cli/CliOptions.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "env/Locations.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <exception>

namespace {

// The size of the station file as the run sees it (its local path), or -1.
qint64 stationFileSize(const QString& file) {
    try {
        const QString local = LocalGDBFromRemoteGDB(file);
        const QFileInfo info(local);
        return !local.isEmpty() && info.isFile() ? info.size() : -1;
    } catch (const std::exception&) {
        // An unreadable database list: the run says so itself.
        return -1;
    }
}

struct Result {
    bool done = false;
    QString message; // why it failed
    RemovalReport rows;
    qint64 sizeBefore = -1;
    qint64 sizeAfter = -1;
    qint64 milliseconds = 0;
};

void printTable(std::FILE* out, const Result& r, bool dryRun) {
    std::fprintf(out, "%-32s %15s\n", "Table", dryRun ? "Rows to remove" : "Rows removed");
    for (const auto& [table, rows] : r.rows.rows())
        std::fprintf(out, "%-32s %15llu\n", qPrintable(table),
                     static_cast<unsigned long long>(rows));
    std::fprintf(out, "%-32s %15llu\n", "Total", static_cast<unsigned long long>(r.rows.total()));
    if (!dryRun && r.sizeBefore >= 0 && r.sizeAfter >= 0) {
        std::fprintf(out, "\nFile size before %27lld bytes\n",
                     static_cast<long long>(r.sizeBefore));
        std::fprintf(out, "File size after %28lld bytes\n", static_cast<long long>(r.sizeAfter));
        std::fprintf(out, "Space won %34lld bytes\n",
                     static_cast<long long>(r.sizeBefore - r.sizeAfter));
    }
}

void printJson(std::FILE* out, const CliOptions& o, const CliHost& host, const Result& r) {
    QJsonObject rows;
    for (const auto& [table, count] : r.rows.rows())
        rows.insert(table, qint64(count));
    QJsonArray steps;
    for (const CliHost::StepTime& s : host.steps())
        steps.append(QJsonObject{{"status", s.status}, {"milliseconds", s.milliseconds}});
    auto size = [](qint64 bytes) { return bytes >= 0 ? QJsonValue(bytes) : QJsonValue(); };

    QJsonObject report{
        {"file", o.file},
        {"outcome", r.done ? "done" : "failed"},
        {"dryRun", o.dryRun},
        {"mode", o.priorTo ? "prior-to" : "all"},
        {"rowsRemoved", rows},
        {"totalRowsRemoved", qint64(r.rows.total())},
        {"sizeBefore", size(r.sizeBefore)},
        {"sizeAfter", size(r.sizeAfter)},
        {"spaceWon", r.sizeBefore >= 0 && r.sizeAfter >= 0 ? QJsonValue(r.sizeBefore - r.sizeAfter)
                                                           : QJsonValue()},
        {"steps", steps},
        {"milliseconds", r.milliseconds},
        {"messages", QJsonArray::fromStringList(host.messages())},
    };
    if (o.priorTo)
        report.insert(QStringLiteral("cutOff"), o.cutOff.date().toString(Qt::ISODate));
    if (!r.done)
        report.insert(QStringLiteral("message"), r.message);
    std::fputs(QJsonDocument(report).toJson(QJsonDocument::Indented).constData(), out);
}

} // namespace

int runCli(const QStringList& arguments, std::FILE* out, std::FILE* err) {
    QString error;
    const auto options = parseCliArguments(arguments, &error);
    if (!options) {
        std::fprintf(err, "dolvane-cli: %s\n%s", qPrintable(error), qPrintable(cliUsage()));
        return 2;
    }
    if (options->help) {
        std::fputs(qPrintable(cliUsage()), out);
        return 0;
    }
    if (options->version) {
        std::fprintf(out, "dolvane-cli %s\n", qPrintable(programVersion()));
        return 0;
    }

    CliHost host(err);
    host.setPriorToMode(options->priorTo);
    host.setCutOffDate(options->cutOff);
    host.setBackupAnswer(options->backup);
    host.setCompress(options->compress);
    for (const int id : options->ticks)
        host.mutableTree().toggle(host.tree().indexOfCategory(id));

    db::Connection conx;
    conx.setParam(QStringLiteral("DriverID"), QStringLiteral("FB"));
    conx.setParam(QStringLiteral("User_Name"), QStringLiteral("SYSDBA"));
    conx.setParam(QStringLiteral("Password"), QStringLiteral("quillpine"));
    conx.setParam(QStringLiteral("database"), options->file);
    db::Query q1(conx);
    db::Query q2(conx);

    Result r;
    QElapsedTimer clock;
    clock.start();
    r.sizeBefore = stationFileSize(options->file);
    if (options->dryRun) {
        try {
            DryRun dry(conx, q1, q2, host);
            r.rows = dry.count(options->file);
            r.done = true;
        } catch (const std::exception& e) {
            r.message = QString::fromUtf8(e.what());
            std::fprintf(err, "%s\n", e.what());
        }
    } else {
        CleaningRun run(conx, q1, q2, host);
        r.done = run.Execute(options->file) == RunOutcome::Done;
        r.rows = run.removed();
        if (!r.done)
            r.message = host.messages().isEmpty() ? run.failedStatus() : host.messages().last();
    }
    conx.Close();
    host.finish();
    r.milliseconds = clock.elapsed();
    r.sizeAfter = stationFileSize(options->file);

    if (options->json)
        printJson(out, *options, host, r);
    else if (r.done || !options->dryRun)
        printTable(out, r, options->dryRun);
    std::fflush(out);
    return r.done ? 0 : 1;
}
