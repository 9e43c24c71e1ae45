#include "cleaning/FreeSpaceCheck.h"

#include <QFile>
#include <cerrno>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>

namespace {

constexpr qint64 bytesPerMB = qint64(1024) * 1024;

std::function<qint64(const QString&)>& freeSpaceSource() {
    static std::function<qint64(const QString&)> source;
    return source;
}

qint64 freeBytes(const QString& folder) {
    if (freeSpaceSource())
        return freeSpaceSource()(folder);
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0)
        throw std::system_error(errno, std::generic_category(), folder.toStdString());
    return qint64(fs.f_bavail) * qint64(fs.f_frsize);
}

dev_t deviceOf(const QString& folder) {
    struct stat st {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
        throw std::system_error(errno, std::generic_category(), folder.toStdString());
    return st.st_dev;
}

void require(const QString& folder, qint64 needed) {
    const qint64 available = freeBytes(folder);
    if (available >= needed)
        return;
    const qint64 neededMB = (needed + bytesPerMB - 1) / bytesPerMB;
    const qint64 freeMB = available / bytesPerMB;
    throw NotEnoughSpace(QStringLiteral("Not enough free space in %1: %2 MB needed, %3 MB free")
                             .arg(folder)
                             .arg(neededMB)
                             .arg(freeMB));
}

} // namespace

void setFreeSpaceSource(std::function<qint64(const QString& folder)> source) {
    freeSpaceSource() = std::move(source);
}

void checkFreeSpace(const QString& tempFolder, const QString& databaseFolder, qint64 databaseSize,
                    bool compress) {
    // A compacted database is never larger than the cleaned copy, and a backup not
    // larger than the database, so each file is counted at the database's size.
    const qint64 inTemp = databaseSize * (compress ? 3 : 1);
    const qint64 besideDatabase = databaseSize;
    if (deviceOf(tempFolder) == deviceOf(databaseFolder)) {
        // One file system: at the copy back the work copy and the replacement meet.
        require(tempFolder, std::max(inTemp, databaseSize + besideDatabase));
        return;
    }
    require(tempFolder, inTemp);
    require(databaseFolder, besideDatabase);
}
