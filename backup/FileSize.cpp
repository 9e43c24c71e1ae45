#include "backup/FileSize.h"

#include <QDir>
#include <QFileInfo>

qint64 GetFileSize(const QString& name) {
    if (name.isEmpty())
        return -1;
    const QFileInfo info(name);
    if (info.exists() || info.isSymLink())
        return info.size();
    const QString pattern = info.fileName();
    if (!pattern.contains(QLatin1Char('*')) && !pattern.contains(QLatin1Char('?')))
        return -1;
    const QFileInfoList matches = info.dir().entryInfoList(
        {pattern}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDir::Name);
    return matches.isEmpty() ? -1 : matches.first().size();
}
