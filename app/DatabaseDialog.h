#pragma once

// The file dialog that opens a station database without dragging: Firebird database files
// (.gdb, .fdb, in any case), one existing file.

#include <QString>
#include <QStringList>
#include <functional>

class QFileDialog;
class QWidget;

// The dialog's name filters, the databases' first.
QStringList databaseNameFilters();

// Shows the dialog, modal to owner, starting in folder. Returns the chosen file's path, or
// an empty text when the operator cancelled.
QString chooseDatabaseFile(QWidget* owner, const QString& folder);

// Called with the dialog as soon as it is on screen, so tests can read it and choose; an
// empty function restores normal use.
void setDatabaseDialogHook(std::function<void(QFileDialog&)> hook);
