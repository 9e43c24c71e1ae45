#pragma once

// The database connection (`conx`): one attachment and one transaction on it.
// Parameters are name=value lines as the product writes them (DriverID, User_Name,
// Password, database); `database` is a local path that the embedded engine opens
// in-process. The transaction starts with the attachment and starts again after a full
// commit, so statements always have one to run in.

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace Firebird {
class IAttachment;
class ITransaction;
} // namespace Firebird

namespace db {

class Query;

class Connection final {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // name=value lines; names compare ignoring case.
    QStringList& Params() { return fParams; }
    const QStringList& Params() const { return fParams; }
    QString param(const QString& name) const;
    void setParam(const QString& name, const QString& value);

    // A read-only transaction, for looking at a file without changing its data.
    void setReadOnly(bool readOnly) { fReadOnly = readOnly; }

    void Open();
    // Frees the statements prepared on the attachment, rolls back work not committed
    // and detaches. Never throws; a connection that is not open is left alone.
    void Close();
    bool Connected() const { return fAttachment != nullptr; }

    void Commit();
    void CommitRetaining();

    // Creates the database named by `database` (page size 8192, dialect 3) and leaves
    // the connection attached to it. forcedWrites false speeds up bulk loading.
    void CreateDatabase(bool forcedWrites = true);
    // Sets the forced-writes flag in the header of the database named by `database`
    // (attaches and detaches for it; the connection must be closed).
    void SetForcedWrites(bool on);
    // Whether the attached database writes its pages through to the disk one by one.
    bool ForcedWrites();

    Firebird::IAttachment* attachment() const { return fAttachment; }
    Firebird::ITransaction* transaction() const { return fTransaction; }

private:
    friend class Query;
    void registerQuery(Query* q);
    void unregisterQuery(Query* q);
    void startTransaction();
    std::vector<unsigned char> dpb(bool create, int forcedWrites) const;

    QStringList fParams;
    bool fReadOnly = false;
    Firebird::IAttachment* fAttachment = nullptr;
    Firebird::ITransaction* fTransaction = nullptr;
    std::vector<Query*> fQueries;
};

// Stops the embedded engine's threads; call once before the process ends.
void ShutdownClient();

// Shuts the client down when the owner goes out of scope (the executables' main).
class ClientGuard final {
public:
    ClientGuard() = default;
    ~ClientGuard() { ShutdownClient(); }
    ClientGuard(const ClientGuard&) = delete;
    ClientGuard& operator=(const ClientGuard&) = delete;
};

} // namespace db
