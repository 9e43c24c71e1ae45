#include "db/FbApi.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <cstdlib>
#include <unistd.h>

namespace db::fb {

namespace {

// The embedded engine keeps its lock files in /tmp/firebird. After root has used Firebird
// that folder belongs to root and a normal user's attach fails, so such a user gets a lock
// folder of their own (only when none is configured).
void settleLockFolder() {
    if (!qEnvironmentVariableIsEmpty("FIREBIRD_LOCK"))
        return;
    const QString shared = QStringLiteral("/tmp/firebird");
    const QFileInfo info(shared);
    if (!info.exists())
        return;
    if (::access(shared.toLocal8Bit().constData(), W_OK | X_OK) == 0)
        return;
    const QString own =
        QDir::tempPath() + QStringLiteral("/firebird-") + QString::number(::getuid());
    QDir().mkpath(own);
    qputenv("FIREBIRD_LOCK", own.toLocal8Bit());
}

} // namespace

Firebird::IMaster* master() {
    static Firebird::IMaster* instance = [] {
        settleLockFolder();
        return Firebird::fb_get_master_interface();
    }();
    return instance;
}

Firebird::IUtil* util() {
    return master()->getUtilInterface();
}

Firebird::IProvider* provider() {
    static Firebird::IProvider* instance = master()->getDispatcher();
    return instance;
}

QString formatStatus(Firebird::IStatus* status) {
    char buffer[2048];
    const unsigned length = util()->formatStatus(buffer, sizeof(buffer), status);
    return QString::fromUtf8(buffer, int(qMin<unsigned>(length, sizeof(buffer)))).trimmed();
}

Status::Status() : fWrapper(master()->getStatus()) {}

Status::~Status() {
    fWrapper.dispose();
}

void Status::check(const char* operation) {
    if (!failed())
        return;
    const QString message = formatStatus(&fWrapper);
    fWrapper.init();
    throw DbError(QString::fromLatin1(operation), message);
}

} // namespace db::fb
