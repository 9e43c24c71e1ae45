#include "env/Locations.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

namespace {

quint64 tickCount() {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return quint64(QDateTime::currentMSecsSinceEpoch()) + quint64(timer.elapsed());
}

} // namespace

QString LocalGDBFromRemoteGDB(const QString& aRemoteGDB) {
    // A local path begins with "/"; server forms ("srv:/data/SHOP.GDB") have no local file.
    if (aRemoteGDB.startsWith(QLatin1Char('/')))
        return aRemoteGDB;
    return QString();
}

QString mkFolder(const QString& aFolderName, bool createIfNecessary) {
    QString result = aFolderName;
    if (!result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    if (createIfNecessary && !QFileInfo(result).isDir())
        QDir().mkpath(result);
    return result;
}

QString uu_getTempDir(bool /*forceLocal*/) { return mkFolder(QDir::tempPath(), true); }

QString uu_getUniqueFileName(const QString& baseDir, const QString& fileExt) {
    quint64 unique = tickCount() & 0xFFFF;
    for (int attempt = 0; attempt < 0x10000; ++attempt) {
        const QString name = baseDir + QString::number(unique, 16).toUpper() + fileExt;
        if (!QFileInfo::exists(name))
            return name;
        unique = (unique + 1) & 0xFFFF;
    }
    throw std::runtime_error("No free file name in " + baseDir.toStdString());
}
