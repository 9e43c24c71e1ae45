#include "cleaning/WorkFiles.h"

#include "common/FaultPoint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t chunkSize = size_t(1024) * 1024;
const QString replacementInfix = QStringLiteral(".dolvane-");
constexpr int templateSuffix = 6; // the XXXXXX of mkstemp

std::function<int(const QString&, qint64)>& readFault() {
    static std::function<int(const QString&, qint64)> fault;
    return fault;
}

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

[[noreturn]] void fail(const QString& file, int error) {
    throw FileCopyError(file + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error)));
}

// An open file descriptor, closed however the copy ends.
class Fd final {
public:
    explicit Fd(int fd) : fFd(fd) {}
    ~Fd() {
        if (fFd >= 0)
            ::close(fFd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fFd; }
    // Closes now, so a failing close (a full disk found late) is seen.
    int close() { return ::close(std::exchange(fFd, -1)); }

private:
    int fFd;
};

// Copies everything from in to out; faultName is stopped at once the first chunk is out.
void copyData(int in, const QString& source, int out, const QString& target,
              const char* faultName) {
    std::vector<char> buffer(chunkSize);
    qint64 offset = 0;
    for (;;) {
        if (readFault()) {
            if (const int error = readFault()(source, offset))
                fail(source, error);
        }
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail(source, errno);
        }
        if (got == 0)
            return;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer.data() + done, size_t(got - done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                fail(target, errno);
            }
            done += put;
        }
        if (offset == 0)
            faultPoint(faultName);
        offset += got;
    }
}

// The rename is only durable once the folder's entry is on disk. The file is in place
// by then, so a folder that cannot be synced is no reason to call the copy failed.
void syncFolder(const QString& folder) {
    const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

void setCopyReadFault(std::function<int(const QString& file, qint64 offset)> fault) {
    readFault() = std::move(fault);
}

void copyToNewFile(const QString& source, const QString& target) {
    if (source.isEmpty())
        fail(QStringLiteral("\"\""), ENOENT);
    Fd in(::open(encoded(source).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        fail(source, errno);
    Fd out(::open(encoded(target).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0)
        fail(target, errno);
    try {
        copyData(in.get(), source, out.get(), target, "mid-copy");
        if (out.close() != 0)
            fail(target, errno);
    } catch (...) {
        ::unlink(encoded(target).constData());
        throw;
    }
}

QString replacementTemplate(const QString& target) {
    const QFileInfo info(target);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + replacementInfix +
           QString(templateSuffix, QLatin1Char('X'));
}

void removeStaleReplacements(const QString& target) {
    const QFileInfo info(target);
    const QString start = QStringLiteral(".") + info.fileName() + replacementInfix;
    const QStringList names =
        QDir(info.absolutePath())
            .entryList({start + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (name.size() != start.size() + templateSuffix)
            continue;
        const QByteArray path = encoded(info.absolutePath() + QLatin1Char('/') + name);
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        // A copy back that is still running holds its lock.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
        ::close(fd);
    }
}

void replaceFileSafely(const QString& source, const QString& target) {
    if (source.isEmpty() || target.isEmpty())
        fail(target.isEmpty() ? QStringLiteral("\"\"") : target, ENOENT);
    struct stat original {};
    if (::stat(encoded(target).constData(), &original) != 0)
        fail(target, errno);
    Fd in(::open(encoded(source).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        fail(source, errno);

    QByteArray temp = encoded(replacementTemplate(target));
    Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (out.get() < 0)
        fail(QFileInfo(target).absolutePath(), errno);
    const QString tempName = QFile::decodeName(temp);
    try {
        // Locked while it is written, so a sweep of another run leaves it alone.
        ::flock(out.get(), LOCK_EX | LOCK_NB);
        // The owner first: a change of owner clears the set-id bits of the mode.
        if (::fchown(out.get(), original.st_uid, original.st_gid) != 0)
            fail(tempName, errno);
        if (::fchmod(out.get(), original.st_mode & 07777) != 0)
            fail(tempName, errno);
        copyData(in.get(), source, out.get(), tempName, "mid-copy-back");
        if (::fsync(out.get()) != 0)
            fail(tempName, errno);
        if (::rename(temp.constData(), encoded(target).constData()) != 0)
            fail(target, errno);
    } catch (...) {
        ::unlink(temp.constData());
        throw;
    }
    faultPoint("after-rename");
    out.close();
    syncFolder(QFileInfo(target).absolutePath());
}

FileRemover::~FileRemover() {
    if (!fPath.isEmpty())
        QFile::remove(fPath);
}
