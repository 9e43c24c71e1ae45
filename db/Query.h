#pragma once

// A statement on a connection (`q1`, `q2`). The text may carry named parameters
// (":V0", ":V1", ...); they become positional markers in order of appearance. The
// prepared statement is kept while the text stays the same, so a delete run once per
// row is prepared once.

#include "db/ResultSet.h"
#include "db/Value.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace Firebird {
class IStatement;
class IMessageMetadata;
} // namespace Firebird

namespace db {

class Connection;

class Query final {
public:
    explicit Query(Connection& connection);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    // Sets the statement text; the prepared statement survives when the text is unchanged.
    void SetSQL(const QString& text);
    // Sets a text that goes to the engine as it stands, with paramCount "?" markers bound
    // by position. For an execute block, whose body names its own variables with ":".
    void SetRawSQL(const QString& text, int paramCount);
    const QString& SQL() const { return fText; }
    // The named parameters in order of appearance (a name used twice counts twice).
    const QStringList& ParamNames() const { return fParamNames; }
    int ParamCount() const { return int(fParamNames.size()); }

    // Binds a value to the parameter at a 0-based position; unbound ones are null.
    void SetParam(int index, const DbValue& value);
    void ClearParams();

    // Runs a statement that returns no rows; returns the number of rows it changed.
    quint64 ExecSQL();
    // Runs a select and fetches every row. keepColumns limits the columns kept in memory
    // to the first n (all when negative); the statement still selects what its text says.
    ResultSet Open(int keepColumns = -1);
    // Runs a select and hands each row to onRow as it is fetched (the ResultSet holds that
    // one row), so a selectable execute block reports while it runs.
    using RowHandler = std::function<void(const ResultSet& row)>;
    void Fetch(const RowHandler& onRow, int keepColumns = -1);
    // The connection's statements are freed before it detaches; also called by Close().
    void releaseStatement();
    // Ends the current use of the statement; parameters are cleared, the preparation kept.
    void Close();

private:
    void prepare();
    void buildInput();
    void fetchRows(ResultSet& rs, int keepColumns, const RowHandler* onRow);

    Connection& fConnection;
    QString fText;
    QByteArray fConverted;
    QStringList fParamNames;
    std::vector<DbValue> fParams;
    Firebird::IStatement* fStatement = nullptr;
    struct Input;
    std::unique_ptr<Input> fInput;
};

// Turns ":Name" markers outside quotes and comments into "?"; returns the names in order.
QString convertNamedParameters(const QString& text, QStringList* names);

} // namespace db
