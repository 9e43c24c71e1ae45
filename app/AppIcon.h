#pragma once

// The application icon: "Res/Brevik.ico" beside the program when that file exists, so a
// station can carry the product's own icon; otherwise the icon built into the program.

#include <QIcon>
#include <QString>

// The file looked for, beside the running program.
QString brevikIconFile();
QIcon applicationIcon();
// The icon built into the program.
QIcon builtInIcon();
