#pragma once

// The program's start-up steps that need no window: the debug log object and the program
// folder first, undone in the reverse order at the end; and the visual style "Aqua
// Graphite" from the program's resources.

#include "env/Log.h"

#include <QString>
#include <memory>

class QApplication;

// Creates the debug log object and settles the program folder (with the item lists'
// separator stack); the log object goes last, when this object ends.
class StartupUnits final {
public:
    StartupUnits();
    ~StartupUnits();
    StartupUnits(const StartupUnits&) = delete;
    StartupUnits& operator=(const StartupUnits&) = delete;

private:
    std::unique_ptr<CLog> fLog;
};

// Gives the application its icon, its title "Pellisar" and the window font.
void initialiseApplication(QApplication& app);

// The style sheet of the visual style in the resources.
inline const QString kAquaGraphite = QStringLiteral(":/styles/AquaGraphite.qss");

// Applies the visual style: its palette and its style sheet. Returns an empty text when
// it took effect, else the message for the error box; the default look then stays.
QString applyVisualStyle(QApplication& app, const QString& styleSheetFile = kAquaGraphite);

// Makes the program's resources (style sheet, built-in icon) available; a static library's
// resources are not registered by themselves. Safe to call more than once.
void initAppResources();

// Applies the visual style; when it cannot be applied, an error box says so and the
// default look stays. True when applied.
bool setUpVisualStyle(QApplication& app, const QString& styleSheetFile = kAquaGraphite);

// The application title.
inline const QString kApplicationTitle = QStringLiteral("Pellisar");
