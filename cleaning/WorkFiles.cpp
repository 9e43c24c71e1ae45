#include "cleaning/WorkFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr qint64 chunkSize = qint64(4) * 1024 * 1024;

bool copyStream(QFile& in, QFileDevice& out) {
    QByteArray buffer;
    for (;;) {
        buffer = in.read(chunkSize);
        if (buffer.isEmpty())
            return in.error() == QFileDevice::NoError && in.atEnd();
        if (out.write(buffer) != buffer.size())
            return false;
    }
}

} // namespace

bool copyToNewFile(const QString& source, const QString& target) {
    if (source.isEmpty() || target.isEmpty() || QFileInfo::exists(target))
        return false;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) // never overwrite
        return false;
    const bool ok = copyStream(in, out) && out.flush();
    out.close();
    if (!ok || out.error() != QFileDevice::NoError) {
        QFile::remove(target);
        return false;
    }
    return true;
}

bool replaceFileSafely(const QString& source, const QString& target) {
    if (source.isEmpty() || target.isEmpty())
        return false;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QFileInfo original(target);
    // QSaveFile writes beside the target, syncs it to disk on commit and only then
    // renames it over the target; cancelled or failed, it removes its temporary file.
    QSaveFile out(target);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (original.exists())
        out.setPermissions(original.permissions());
    if (!copyStream(in, out)) {
        out.cancelWriting();
        out.commit();
        return false;
    }
    return out.commit();
}

FileRemover::~FileRemover() {
    if (!fPath.isEmpty())
        QFile::remove(fPath);
}
