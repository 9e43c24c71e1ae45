#pragma once

// The ring-shaped progress picture of one progress channel: a white disc, a grey track,
// a hole in the window's colour, an orange arc from the top clockwise and the percentage
// in the middle. Pure drawing, so the window and the tests share one definition.

#include <QColor>
#include <QImage>
#include <QString>
#include <QtGlobal>

// current x 100 / maximum, truncated, in 64-bit arithmetic and kept within 0..100;
// 0 when the maximum is 0.
int progressPercent(qint64 current, qint64 maximum);

// The arc's sweep in whole degrees for a percentage: percent x 360 / 100, truncated.
int progressSweep(int percent);

// "Step n of m".
QString progressLabel(qint64 current, qint64 maximum);

// Colours of the ring that do not follow the window.
inline const QColor kRingTrack = QColor(152, 152, 152);
inline const QColor kRingArc = QColor(254, 175, 83);

// Draws the ring for percent on surface (all of it, in logical pixels), with background as
// the colour around the ring and in its hole.
void drawProgressRing(QImage& surface, int percent, const QColor& background);

// A drawing surface of size x size logical pixels at 96 dots per inch, so the 16-point
// text has the same size on every display, holding size x ratio device pixels so that a
// scaled display shows the ring sharp.
QImage makeRingSurface(int size, qreal ratio = 1.0);
