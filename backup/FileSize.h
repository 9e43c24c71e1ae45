#pragma once

// File sizes for the compression report.

#include <QString>
#include <QtGlobal>

// The size in bytes of the first directory entry that matches name (the file part may
// hold the wildcards "*" and "?"; entries are taken in name order), or -1 when nothing
// matches. 64-bit, so files of 2 GiB and more are measured right.
qint64 GetFileSize(const QString& name);
