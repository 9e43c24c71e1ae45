#pragma once

// The window's font: "Segoe UI" where it is installed, elsewhere the closest narrow sans
// serif that is, so the designed captions stay inside their designed sizes.

#include <QFont>
#include <QString>

QString uiFontFamily();
// The window's font, 13 pixels high.
QFont uiFont();
