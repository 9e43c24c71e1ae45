#include "common/ui/Panels.h"

#include <QPalette>

QFrame* makeColourPanel(QWidget* parent, const QColor& colour, const QString& name) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::NoFrame);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, colour);
    panel->setPalette(palette);
    return panel;
}
