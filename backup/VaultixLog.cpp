#include "backup/VaultixLog.h"

#include "env/Log.h"

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

QString vaultixLogFileName() {
    return logsFolder() + QStringLiteral("Vaultix.log");
}

void vaultixLog(const QString& operation, const QString& text) {
    vaultixLog(vaultixLogFileName(), operation, text);
}

void vaultixLog(const QString& logFile, const QString& operation, const QString& text) {
    // Workers of several controls may log at once; whole lines must not interleave.
    static QMutex mutex;
    try {
        const QString prefix =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
            QStringLiteral(" [") + operation + QStringLiteral("] ");
        QByteArray bytes;
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (const QString& line : lines)
            bytes += (prefix + line.trimmed()).toUtf8() + '\n';
        QMutexLocker lock(&mutex);
        QFile file(logFile);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append))
            file.write(bytes);
    } catch (...) {
        // The log is a diagnostic aid; losing a line must not stop a backup.
    }
}
