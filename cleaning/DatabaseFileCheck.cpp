#include "cleaning/DatabaseFileCheck.h"

#include "cleaning/WorkFiles.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The header page's layout: page type at 0, page size (16 bits) at 16, on-disk structure
// version (16 bits, Firebird's flag in its top bit) at 18; little-endian.
constexpr int headerBytes = 20;
constexpr unsigned char headerPageType = 1;
constexpr quint16 firebirdOdsFlag = 0x8000;

QString refusal(const QString& path, const QString& reason) {
    return QStringLiteral("The database file ") + path + QStringLiteral(" cannot be cleaned: ") +
           reason;
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder, not a file");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a pipe, not a regular file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device, not a regular file");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not a regular file");
    return QStringLiteral("it is not a regular file");
}

quint16 little16(const QByteArray& data, int at) {
    return quint16(quint8(data[at]) | (quint8(data[at + 1]) << 8));
}

// Creates a probe file where the replacement will be made and gives it the database's
// owner and group, as the copy back will; the reason it cannot, or empty.
QString probeReplacement(const QString& path, const struct stat& st) {
    const QString folder = QFileInfo(path).absolutePath();
    QByteArray probe = QFile::encodeName(replacementTemplate(path));
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("the replacement cannot be created in its folder ") + folder +
               QStringLiteral(": ") + systemReason(errno);
    QString reason;
    if (::fchown(fd, st.st_uid, st.st_gid) != 0)
        reason = QStringLiteral("the replacement cannot be given the file's owner and group "
                                "(%1:%2): %3")
                     .arg(st.st_uid)
                     .arg(st.st_gid)
                     .arg(systemReason(errno));
    ::close(fd);
    ::unlink(probe.constData());
    return reason;
}

} // namespace

bool hasDatabaseHeader(const QByteArray& data) {
    if (data.size() < headerBytes || quint8(data[0]) != headerPageType)
        return false;
    const quint16 pageSize = little16(data, 16);
    const quint16 ods = little16(data, 18);
    const bool pageSizeValid =
        pageSize >= 1024 && pageSize <= 32768 && (pageSize & (pageSize - 1)) == 0;
    return pageSizeValid && (ods & firebirdOdsFlag) != 0;
}

QString databaseFileRefusal(const QString& path) {
    if (path.isEmpty())
        return refusal(QStringLiteral("\"\""), QStringLiteral("no local file is known for it"));
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return refusal(path, systemReason(errno));
    if (!S_ISREG(st.st_mode))
        return refusal(path, kindOf(st.st_mode));
    if (st.st_nlink > 1)
        return refusal(path, QStringLiteral("it has %1 hard links, and replacing it would "
                                            "separate them; remove the other links first")
                                 .arg(st.st_nlink));
    // Non-blocking, so a file swapped for a pipe meanwhile cannot make the check hang.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return refusal(path, systemReason(errno));
    QByteArray header(headerBytes, '\0');
    const ssize_t got = ::read(fd, header.data(), headerBytes);
    const int readError = errno;
    ::close(fd);
    if (got < 0)
        return refusal(path, systemReason(readError));
    header.truncate(int(got));
    if (!hasDatabaseHeader(header))
        return refusal(path, QStringLiteral("it does not start with a Firebird database header"));
    const QString probe = probeReplacement(QFileInfo(path).canonicalFilePath(), st);
    if (!probe.isEmpty())
        return refusal(path, probe);
    return QString();
}
