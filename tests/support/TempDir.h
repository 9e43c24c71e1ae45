#pragma once

// A temporary folder for one test, removed with everything in it afterwards.

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class TempDir {
public:
    TempDir() { EXPECT_TRUE(fDir.isValid()); }
    QString path() const { return fDir.path(); }
    QString file(const QString& name) const { return fDir.filePath(name); }

private:
    QTemporaryDir fDir;
};
