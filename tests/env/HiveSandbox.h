#pragma once

// Points both settings hives at files in a temporary folder for the life of the object (the
// variables are inherited by child processes), and gives paths that can never be written.

#include "env/Hive.h"
#include "support/TempDir.h"

#include <QByteArray>
#include <QFile>
#include <QString>

class HiveSandbox final {
public:
    HiveSandbox()
        : fOldMachine(qgetenv("DOLVANE_MACHINE_HIVE")), fOldUser(qgetenv("DOLVANE_USER_HIVE")) {
        setMachineHive(fDir.file(QStringLiteral("machine/registry.sqlite")));
        setUserHive(fDir.file(QStringLiteral("user/registry.sqlite")));
    }
    ~HiveSandbox() {
        qputenv("DOLVANE_MACHINE_HIVE", fOldMachine);
        qputenv("DOLVANE_USER_HIVE", fOldUser);
    }
    HiveSandbox(const HiveSandbox&) = delete;
    HiveSandbox& operator=(const HiveSandbox&) = delete;

    void setMachineHive(const QString& path) {
        qputenv("DOLVANE_MACHINE_HIVE", QFile::encodeName(path));
    }
    void setUserHive(const QString& path) { qputenv("DOLVANE_USER_HIVE", QFile::encodeName(path)); }

    // A hive path below a regular file: its folder cannot be created, not even by root.
    QString unwritablePath(const QString& name) const {
        const QString blocker = fDir.file(QStringLiteral("blocker-") + name);
        QFile file(blocker);
        if (!file.exists() && file.open(QIODevice::WriteOnly))
            file.close();
        return blocker + QStringLiteral("/hive/registry.sqlite");
    }

    QString folder() const { return fDir.path(); }
    QString file(const QString& name) const { return fDir.file(name); }

private:
    TempDir fDir;
    QByteArray fOldMachine;
    QByteArray fOldUser;
};
