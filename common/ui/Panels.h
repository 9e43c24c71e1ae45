#pragma once

// Plain coloured panels, the building blocks of the borderless dialogs and pop-ups.

#include <QColor>
#include <QFrame>
#include <QString>

// A frameless panel that fills itself with colour; owned by parent.
QFrame* makeColourPanel(QWidget* parent, const QColor& colour, const QString& name);
