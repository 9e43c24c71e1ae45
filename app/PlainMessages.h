#pragma once

// The plain message box of the window's own error paths (the drop error, a database that
// will not open, an error that ends a run, a style that cannot be applied), as opposed to
// the tool's own message dialog used for everything else.

#include <QMessageBox>
#include <QString>
#include <functional>

// Shows a modal box with one OK button; an empty caption becomes the application title.
void plainMessageBox(QWidget* owner, const QString& text, const QString& caption,
                     QMessageBox::Icon icon);

// Called with every such box as soon as it is on screen, so tests can read and close it;
// an empty function restores normal use.
void setPlainMessageHook(std::function<void(QMessageBox&)> hook);
