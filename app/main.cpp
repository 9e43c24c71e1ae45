// dolvane: the window program. Start-up runs its steps in a fixed order and the end
// undoes them in reverse: the debug log object, the program folder, the application with
// its icon, title and visual style, then the main window and the message loop.

#include "app/AppDriver.h"
#include "app/AppOptions.h"
#include "app/AppStartup.h"
#include "app/MainWindow.h"
#include "common/ui/MessageDialogs.h"
#include "common/ui/SystemColours.h"
#include "db/Connection.h"

#include <QApplication>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    StartupUnits units;

    QApplication app(argc, argv);
    QString usageError;
    const auto options = parseAppArguments(app.arguments().mid(1), &usageError);
    if (!options) {
        std::fprintf(stderr, "dolvane: %s\n%s", qPrintable(usageError), qPrintable(appUsage()));
        return 2;
    }
    // The embedded database engine stops after the window has let go of its database.
    db::ClientGuard client;

    initialiseApplication(app);

    // Messages of code without widgets go to the tool's own dialogs.
    installDialogMessages();
    setUpVisualStyle(app);
    installPaletteColours();

    TfmMain fmMain;
    fmMain.show();

    std::unique_ptr<AppDriver> driver;
    if (!options->drop.isEmpty() || !options->screenshot.isEmpty() || !options->ticks.empty() ||
        options->priorTo || options->answer || !options->compress) {
        driver = std::make_unique<AppDriver>(fmMain, *options);
        driver->start();
    }
    return app.exec();
}
