#pragma once

// System colours of the product's colour values resolved through the application's palette,
// so drawing code without widgets follows the look the window shows.

#include "common/Format.h"

#include <QColor>

// Makes ColourToGPColour and systemColourRgb resolve system colours through the palette.
void installPaletteColours();

// A colour value (RGB or system colour) as an opaque QColor.
QColor toQColor(TColor colour);
