// dolvane-cli: the cleaning run without the window, for support staff and scripts.
// Exit status: 0 when the run reached "Done", 1 when it failed, 2 for bad usage.

#include "cleaning/CleaningRun.h"
#include "cleaning/DryRun.h"
#include "cli/CliHost.h"
#include "cli/CliOptions.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "env/Log.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

void printReport(const RemovalReport& report, const char* heading) {
    std::printf("%-32s %15s\n", "Table", heading);
    for (const auto& [table, rows] : report.rows())
        std::printf("%-32s %15llu\n", qPrintable(table), static_cast<unsigned long long>(rows));
    std::printf("%-32s %15llu\n", "Total", static_cast<unsigned long long>(report.total()));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    db::ClientGuard client;
    // The weekly debug log, where failing statements of the run are written.
    CLog log;

    QString error;
    const auto options = parseCliArguments(app.arguments().mid(1), &error);
    if (!options) {
        std::fprintf(stderr, "dolvane-cli: %s\n%s", qPrintable(error), qPrintable(cliUsage()));
        return 2;
    }

    CliHost host;
    host.setPriorToMode(options->priorTo);
    if (options->cutOff.isValid())
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

    if (options->dryRun) {
        try {
            DryRun dry(conx, q1, q2, host);
            const RemovalReport report = dry.count(options->file);
            host.finish();
            printReport(report, "Rows to remove");
            return 0;
        } catch (const std::exception& e) {
            host.finish();
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
    }

    CleaningRun run(conx, q1, q2, host);
    const RunOutcome outcome = run.Execute(options->file);
    host.finish();
    printReport(run.removed(), "Rows removed");
    return outcome == RunOutcome::Done ? 0 : 1;
}
