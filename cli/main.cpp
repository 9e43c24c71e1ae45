// dolvane-cli: the cleaning run without the window, for support staff and scripts.
// Exit status: 0 when the run reached "Done", 1 when it failed, 2 for bad usage.

#include "cli/CliProgram.h"
#include "db/Connection.h"
#include "env/Log.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    db::ClientGuard client;
    // The weekly debug log, where failing statements of the run are written.
    CLog log;
    return runCli(app.arguments().mid(1), stdout, stderr);
}
