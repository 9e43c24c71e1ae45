#include "env/DatabaseLock.h"

#include <QFile>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

constexpr int attempts = 20;
constexpr std::chrono::milliseconds retryPause{50};

} // namespace

QString databaseInUseMessage() {
    return QStringLiteral("The database is in use by another program. Close it (the back-office "
                          "program or its database server) and try again.");
}

DatabaseInUse::DatabaseInUse() : std::runtime_error(databaseInUseMessage().toStdString()) {}

DatabaseLock::DatabaseLock(const QString& path) {
    fFd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fFd < 0)
        throw std::system_error(errno, std::generic_category(), path.toStdString());
    for (int i = 0;; ++i) {
        if (::flock(fFd, LOCK_EX | LOCK_NB) == 0)
            return;
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error != EWOULDBLOCK || i + 1 >= attempts) {
            ::close(fFd);
            if (error == EWOULDBLOCK)
                throw DatabaseInUse();
            throw std::system_error(error, std::generic_category(), path.toStdString());
        }
        std::this_thread::sleep_for(retryPause);
    }
}

DatabaseLock::~DatabaseLock() {
    ::close(fFd);
}
