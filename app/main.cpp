// dolvane: the window program. Start-up runs its steps in a fixed order and the end
// undoes them in reverse: the debug log object, the program folder, the application with
// its icon, title and visual style, then the main window and the message loop.

#include "app/AppDriver.h"
#include "app/AppOptions.h"
#include "app/AppStartup.h"
#include "app/MainWindow.h"
#include "cleaning/RunArguments.h"
#include "common/ui/MessageDialogs.h"
#include "common/ui/SystemColours.h"
#include "db/Connection.h"

#include <QApplication>
#include <QUrl>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    // The arguments are read before the application object exists, so that --help,
    // --version and bad usage need no display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QString usageError;
    const auto options = parseAppArguments(arguments, &usageError);
    if (!options) {
        std::fprintf(stderr, "dolvane: %s\n%s", qPrintable(usageError), qPrintable(appUsage()));
        return 2;
    }
    if (options->help || options->version) {
        std::fputs(qPrintable(options->help ? appUsage()
                                            : QStringLiteral("dolvane ") + programVersion() +
                                                  QLatin1Char('\n')),
                   stdout);
        return 0;
    }

    StartupUnits units;

    QApplication app(argc, argv);
    // The embedded database engine stops after the window has let go of its database.
    db::ClientGuard client;

    initialiseApplication(app);

    // Messages of code without widgets go to the tool's own dialogs.
    installDialogMessages();
    setUpVisualStyle(app);
    installPaletteColours();

    TfmMain fmMain;
    fmMain.show();
    // `dolvane FILE`: the drop area takes the file as if it had been dropped on it, once
    // the window shows.
    if (!options->open.isEmpty()) {
        if (auto* dropArea = fmMain.findChild<TPanel*>(QStringLiteral("Panel1"))) {
            QMetaObject::invokeMethod(
                dropArea,
                [dropArea, file = options->open] {
                    dropArea->WMDropFiles({QUrl::fromLocalFile(file)});
                },
                Qt::QueuedConnection);
        }
    }

    std::unique_ptr<AppDriver> driver;
    if (!options->drop.isEmpty() || !options->screenshot.isEmpty() || !options->ticks.empty() ||
        options->priorTo || options->answer || !options->compress) {
        driver = std::make_unique<AppDriver>(fmMain, *options);
        driver->start();
    }
    return app.exec();
}
