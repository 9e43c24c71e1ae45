#include "db/Service.h"

#include "db/FbApi.h"

#include <QFile>
#include <cstring>
#include <memory>

namespace db {

using namespace Firebird;

namespace {

using Builder = std::unique_ptr<IXpbBuilder, void (*)(IXpbBuilder*)>;

Builder makeBuilder(unsigned kind) {
    fb::Status status;
    IXpbBuilder* builder = fb::util()->getXpbBuilder(&status, kind, nullptr, 0);
    status.check("getXpbBuilder");
    return Builder(builder, [](IXpbBuilder* b) { b->dispose(); });
}

std::vector<unsigned char> bufferOf(IXpbBuilder* builder) {
    fb::Status status;
    const unsigned char* buffer = builder->getBuffer(&status);
    const unsigned length = builder->getBufferLength(&status);
    status.check("build SPB");
    return std::vector<unsigned char>(buffer, buffer + length);
}

// File names go to the engine in the encoding of the file system.
std::string pathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

unsigned littleEndian16(const unsigned char* p) {
    return unsigned(p[0]) | (unsigned(p[1]) << 8);
}

} // namespace

Service::Service(const QString& user, const QString& password) : fUser(user), fPassword(password) {}

Service::~Service() {
    detach();
}

void Service::attach() {
    if (fService)
        return;
    auto builder = makeBuilder(IXpbBuilder::SPB_ATTACH);
    fb::Status status;
    builder->insertString(&status, isc_spb_user_name, fUser.toUtf8().constData());
    builder->insertString(&status, isc_spb_password, fPassword.toUtf8().constData());
    status.check("insert SPB item");
    const auto spb = bufferOf(builder.get());
    IService* service = fb::provider()->attachServiceManager(&status, "service_mgr",
                                                             unsigned(spb.size()), spb.data());
    if (status.failed() && service) {
        service->release();
        service = nullptr;
    }
    status.check("attach service manager");
    fService = service;
}

void Service::detach() {
    if (!fService)
        return;
    fb::Status status;
    fService->detach(&status);
    if (status.failed())
        fService->release();
    fService = nullptr;
}

void Service::Backup(const QString& database, const QString& backupFile,
                     const BackupOptions& options, const LineHandler& onLine) {
    auto builder = makeBuilder(IXpbBuilder::SPB_START);
    fb::Status status;
    builder->insertTag(&status, isc_action_svc_backup);
    builder->insertString(&status, isc_spb_dbname, pathBytes(database).c_str());
    builder->insertString(&status, isc_spb_bkp_file, pathBytes(backupFile).c_str());
    builder->insertTag(&status, isc_spb_verbose);
    if (options.noGarbageCollect)
        builder->insertInt(&status, isc_spb_options, isc_spb_bkp_no_garbage_collect);
    status.check("insert SPB item");
    run("backup", bufferOf(builder.get()), "closing file, committing, and finishing", onLine);
}

void Service::Restore(const QString& backupFile, const QString& database,
                      const RestoreOptions& options, const LineHandler& onLine) {
    auto builder = makeBuilder(IXpbBuilder::SPB_START);
    fb::Status status;
    builder->insertTag(&status, isc_action_svc_restore);
    builder->insertString(&status, isc_spb_bkp_file, pathBytes(backupFile).c_str());
    builder->insertString(&status, isc_spb_dbname, pathBytes(database).c_str());
    builder->insertTag(&status, isc_spb_verbose);
    builder->insertInt(&status, isc_spb_options,
                       options.replace ? isc_spb_res_replace : isc_spb_res_create);
    status.check("insert SPB item");
    run("restore", bufferOf(builder.get()), "finishing, closing, and going home", onLine);
}

void Service::run(const char* operation, const std::vector<unsigned char>& spb,
                  const char* completion, const LineHandler& onLine) {
    if (fCancelled)
        throw ServiceCancelled(QString::fromLatin1(operation));
    attach();
    fb::Status status;
    fService->start(&status, unsigned(spb.size()), spb.data());
    status.check(operation);

    // Lines are read one per query; the one-second timeout lets a cancel be noticed while
    // the service is busy without printing anything.
    const unsigned char send[] = {isc_info_svc_timeout, 4, 0, 1, 0, 0, 0};
    const unsigned char receive[] = {isc_info_svc_line};
    std::vector<unsigned char> buffer(16384);
    // The engine's utility announces a complete run with a last line of its own. A restore
    // from a backup file that ends too early stops without reporting any error (it asks
    // for a next volume nobody can give), so a run without that line is a failed one.
    const QString done = QString::fromLatin1(completion);
    bool completed = false;
    for (;;) {
        if (fCancelled) {
            detach();
            throw ServiceCancelled(QString::fromLatin1(operation));
        }
        status.reset();
        fService->query(&status, sizeof(send), send, sizeof(receive), receive,
                        unsigned(buffer.size()), buffer.data());
        status.check(operation);

        const unsigned char* p = buffer.data();
        const unsigned char* const end = p + buffer.size();
        bool waiting = false;
        bool gotLine = false;
        while (p < end && *p != isc_info_end) {
            const unsigned char item = *p++;
            if (item == isc_info_svc_line) {
                if (end - p < 2)
                    break;
                const unsigned length = littleEndian16(p);
                p += 2;
                if (unsigned(end - p) < length)
                    break;
                if (length > 0) {
                    gotLine = true;
                    const QString line =
                        QString::fromUtf8(reinterpret_cast<const char*>(p), int(length)).trimmed();
                    if (line.contains(done))
                        completed = true;
                    if (onLine)
                        onLine(line);
                }
                p += length;
            } else if (item == isc_info_svc_timeout || item == isc_info_data_not_ready ||
                       item == isc_info_truncated) {
                waiting = true;
            } else {
                break;
            }
        }
        // An empty line without a timeout or "not ready" mark: the service has finished.
        if (!gotLine && !waiting) {
            if (!completed)
                throw DbError(
                    QString::fromLatin1(operation),
                    QStringLiteral("The %1 stopped before it was complete")
                            .arg(QString::fromLatin1(operation)) +
                        (std::strcmp(operation, "restore") == 0
                             ? QStringLiteral("; the backup file is incomplete or damaged")
                             : QString()));
            return;
        }
    }
}

} // namespace db
