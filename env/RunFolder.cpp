#include "env/RunFolder.h"

#include "env/Locations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

const QString prefix = QStringLiteral("dolvane-run-");
const QString lockName = QStringLiteral("owner.lock");
constexpr int suffixLength = 6; // what mkdtemp puts in place of XXXXXX

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

QString withoutTrailingSlash(QString folder) {
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

QString tempFolderOr(const QString& tempDir) {
    return withoutTrailingSlash(tempDir.isEmpty() ? uu_getTempDir(true) : tempDir);
}

[[noreturn]] void throwSystemError(int error, const QString& what) {
    throw std::system_error(error, std::generic_category(), what.toStdString());
}

bool looksLikeRunFolderName(const QString& name) {
    return name.startsWith(prefix) && name.size() == prefix.size() + suffixLength;
}

} // namespace

RunFolder::RunFolder(const QString& tempDir) {
    QByteArray templ = encoded(tempFolderOr(tempDir) + QLatin1Char('/') + prefix +
                               QString(suffixLength, QLatin1Char('X')));
    if (!::mkdtemp(templ.data()))
        throwSystemError(errno, QStringLiteral("Could not create a work folder in ") +
                                    tempFolderOr(tempDir));
    fPath = QFile::decodeName(templ);
    // The lock is taken under another name and only then given its own: a sweep that
    // finds "owner.lock" always finds it locked while this run lives.
    const QByteArray pending = encoded(filePath(QStringLiteral(".") + lockName));
    fLockFd = ::open(pending.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    const int error = errno;
    if (fLockFd < 0 || ::flock(fLockFd, LOCK_EX | LOCK_NB) != 0 ||
        ::rename(pending.constData(), encoded(filePath(lockName)).constData()) != 0) {
        const int reason = fLockFd < 0 ? error : errno;
        if (fLockFd >= 0)
            ::close(fLockFd);
        std::error_code ignored;
        std::filesystem::remove_all(templ.constData(), ignored);
        throwSystemError(reason, QStringLiteral("Could not mark the work folder ") + fPath);
    }
}

RunFolder::~RunFolder() {
    std::error_code ignored;
    // The lock file goes first, so a sweep that races the removal no longer sees the
    // folder as a run's.
    ::unlink(encoded(filePath(lockName)).constData());
    std::filesystem::remove_all(encoded(fPath).constData(), ignored);
    ::close(fLockFd);
}

QString RunFolder::filePath(const QString& name) const {
    return fPath + QLatin1Char('/') + name;
}

int sweepStaleRunFolders(const QString& tempDir) {
    const QString folder = tempFolderOr(tempDir);
    const QStringList names =
        QDir(folder).entryList({prefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden);
    int removed = 0;
    for (const QString& name : names) {
        if (!looksLikeRunFolderName(name))
            continue;
        const QString runFolder = folder + QLatin1Char('/') + name;
        struct stat st {};
        if (::lstat(encoded(runFolder).constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_uid != ::geteuid())
            continue;
        const QByteArray lockPath = encoded(runFolder + QLatin1Char('/') + lockName);
        struct stat lockStat {};
        if (::lstat(lockPath.constData(), &lockStat) != 0 || !S_ISREG(lockStat.st_mode))
            continue;
        const int fd = ::open(lockPath.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // Its run is gone: nobody else holds the lock, and we hold it while removing.
            ::unlink(lockPath.constData());
            std::error_code ignored;
            std::filesystem::remove_all(encoded(runFolder).constData(), ignored);
            ++removed;
        }
        ::close(fd);
    }
    return removed;
}

QString runFolderOf(const QString& path) {
    const QFileInfo file(path);
    QString folder = file.absolutePath();
    if (!looksLikeRunFolderName(QFileInfo(folder).fileName()))
        return QString();
    if (!QFileInfo(folder + QLatin1Char('/') + lockName).isFile())
        return QString();
    return folder;
}

PrivateFileMode::PrivateFileMode() : fPrevious(::umask(077)) {}

PrivateFileMode::~PrivateFileMode() {
    ::umask(mode_t(fPrevious));
}
