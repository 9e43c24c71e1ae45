// dolvane-sample-db PATH [--rows N] [--seed S]: makes a sample station database.

#include "db/Connection.h"
#include "db/DbError.h"
#include "tools/StationDb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

namespace {
int usage() {
    std::fprintf(stderr, "usage: dolvane-sample-db PATH [--rows N] [--seed S]\n");
    return 2;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    db::ClientGuard client;
    const QStringList args = app.arguments().mid(1);
    QString path;
    StationDbOptions options;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        bool ok = true;
        if (a == QLatin1String("--rows") && i + 1 < args.size())
            options.salesRows = args[++i].toLongLong(&ok);
        else if (a == QLatin1String("--seed") && i + 1 < args.size())
            options.seed = args[++i].toULongLong(&ok);
        else if (a.startsWith(QLatin1String("--")) || !path.isEmpty())
            return usage();
        else
            path = a;
        if (!ok)
            return usage();
    }
    if (path.isEmpty() || options.salesRows < 0)
        return usage();
    path = QFileInfo(path).absoluteFilePath();
    if (QFileInfo::exists(path)) {
        std::fprintf(stderr, "%s already exists\n", qPrintable(path));
        return 1;
    }
    QElapsedTimer timer;
    timer.start();
    try {
        createStationDatabase(path, options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "%s: %lld sales rows in %.1f s\n", qPrintable(path),
                 static_cast<long long>(options.salesRows), timer.elapsed() / 1000.0);
    return 0;
}
