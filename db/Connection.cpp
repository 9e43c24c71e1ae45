#include "db/Connection.h"

#include "db/FbApi.h"
#include "db/Query.h"

#include <algorithm>

namespace db {

using namespace Firebird;

Connection::Connection() = default;

Connection::~Connection() {
    Close();
}

QString Connection::param(const QString& name) const {
    const QString prefix = name + QLatin1Char('=');
    for (const QString& line : fParams) {
        if (line.startsWith(prefix, Qt::CaseInsensitive))
            return line.mid(prefix.size());
    }
    return QString();
}

void Connection::setParam(const QString& name, const QString& value) {
    const QString prefix = name + QLatin1Char('=');
    for (QString& line : fParams) {
        if (line.startsWith(prefix, Qt::CaseInsensitive)) {
            line = prefix + value;
            return;
        }
    }
    fParams.append(prefix + value);
}

std::vector<unsigned char> Connection::dpb(bool create, int forcedWrites) const {
    fb::Status status;
    IXpbBuilder* builder = fb::util()->getXpbBuilder(&status, IXpbBuilder::DPB, nullptr, 0);
    status.check("getXpbBuilder");
    std::unique_ptr<IXpbBuilder, void (*)(IXpbBuilder*)> guard(
        builder, [](IXpbBuilder* b) { b->dispose(); });
    builder->insertString(&status, isc_dpb_user_name,
                          param(QStringLiteral("User_Name")).toUtf8().constData());
    builder->insertString(&status, isc_dpb_password,
                          param(QStringLiteral("Password")).toUtf8().constData());
    if (create) {
        builder->insertInt(&status, isc_dpb_page_size, 8192);
        builder->insertInt(&status, isc_dpb_sql_dialect, 3);
    }
    if (forcedWrites >= 0)
        builder->insertInt(&status, isc_dpb_force_write, forcedWrites);
    status.check("insert DPB item");
    const unsigned char* buffer = builder->getBuffer(&status);
    const unsigned length = builder->getBufferLength(&status);
    status.check("build DPB");
    return std::vector<unsigned char>(buffer, buffer + length);
}

void Connection::Open() {
    if (Connected())
        return;
    const QByteArray path = param(QStringLiteral("database")).toUtf8();
    const auto params = dpb(false, -1);
    fb::Status status;
    IAttachment* att = fb::provider()->attachDatabase(&status, path.constData(),
                                                      unsigned(params.size()), params.data());
    if (status.failed() && att) {
        att->release();
        att = nullptr;
    }
    status.check("attach database");
    fAttachment = att;
    try {
        startTransaction();
    } catch (...) {
        Close();
        throw;
    }
}

void Connection::CreateDatabase(bool forcedWrites) {
    Close();
    const QByteArray path = param(QStringLiteral("database")).toUtf8();
    const auto params = dpb(true, forcedWrites ? 1 : 0);
    fb::Status status;
    IAttachment* att = fb::provider()->createDatabase(&status, path.constData(),
                                                      unsigned(params.size()), params.data());
    status.check("create database");
    fAttachment = att;
    startTransaction();
}

void Connection::SetForcedWrites(bool on) {
    // The flag is set through the attach parameters, so re-attach with it.
    Close();
    const QByteArray path = param(QStringLiteral("database")).toUtf8();
    const auto params = dpb(false, on ? 1 : 0);
    fb::Status status;
    IAttachment* att = fb::provider()->attachDatabase(&status, path.constData(),
                                                      unsigned(params.size()), params.data());
    status.check("attach database");
    att->detach(&status);
    if (status.failed())
        att->release();
    status.check("detach database");
}

bool Connection::ForcedWrites() {
    if (!fAttachment)
        throw DbError(QStringLiteral("database info"),
                      QStringLiteral("The connection is not open"));
    const unsigned char items[] = {isc_info_forced_writes, isc_info_end};
    unsigned char buffer[32] = {};
    fb::Status status;
    fAttachment->getInfo(&status, sizeof items, items, sizeof buffer, buffer);
    status.check("database info");
    // item, 2-byte length, little-endian value
    if (buffer[0] != isc_info_forced_writes)
        throw DbError(QStringLiteral("database info"),
                      QStringLiteral("No forced-writes information"));
    const unsigned length = unsigned(buffer[1]) | (unsigned(buffer[2]) << 8);
    unsigned value = 0;
    for (unsigned i = 0; i < length && i < 4; ++i)
        value |= unsigned(buffer[3 + i]) << (8 * i);
    return value != 0;
}

void Connection::startTransaction() {
    std::vector<unsigned char> tpb = {isc_tpb_version3, isc_tpb_read_committed, isc_tpb_rec_version,
                                      isc_tpb_wait};
    tpb.push_back(fReadOnly ? isc_tpb_read : isc_tpb_write);
    // The runs never roll back (a failed run discards its work copy), so the transaction
    // keeps no undo log: half a million deletes would otherwise pile up in memory. Each
    // statement still runs under its own savepoint, so a failing one changes nothing.
    if (!fReadOnly)
        tpb.push_back(isc_tpb_no_auto_undo);
    fb::Status status;
    ITransaction* tra = fAttachment->startTransaction(&status, unsigned(tpb.size()), tpb.data());
    status.check("start transaction");
    fTransaction = tra;
}

void Connection::Commit() {
    if (!fTransaction)
        throw DbError(QStringLiteral("commit"), QStringLiteral("The connection is not open"));
    fb::Status status;
    fTransaction->commit(&status);
    status.check("commit");
    fTransaction = nullptr; // a successful commit releases the interface
    startTransaction();
}

void Connection::CommitRetaining() {
    if (!fTransaction)
        throw DbError(QStringLiteral("commit retaining"),
                      QStringLiteral("The connection is not open"));
    fb::Status status;
    fTransaction->commitRetaining(&status);
    status.check("commit retaining");
}

void Connection::Close() {
    for (Query* q : fQueries)
        q->releaseStatement();
    fb::Status status;
    if (fTransaction) {
        fTransaction->rollback(&status);
        if (status.failed())
            fTransaction->release();
        status.reset();
        fTransaction = nullptr;
    }
    if (fAttachment) {
        fAttachment->detach(&status);
        if (status.failed())
            fAttachment->release();
        fAttachment = nullptr;
    }
}

void Connection::registerQuery(Query* q) {
    fQueries.push_back(q);
}

void Connection::unregisterQuery(Query* q) {
    std::erase(fQueries, q);
}

void ShutdownClient() {
    fb::Status status;
    fb::provider()->shutdown(&status, 0, fb_shutrsn_app_stopped);
}

} // namespace db
