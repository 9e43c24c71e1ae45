#pragma once

// The one exception type of the database layer. what() is Firebird's own message text,
// which is what the operator sees and what the log records; operation() names the call
// that failed, for diagnostics.

#include <QString>
#include <stdexcept>
#include <string>

namespace db {

class DbError : public std::runtime_error {
public:
    DbError(const QString& operation, const QString& message)
        : std::runtime_error(message.toStdString()), fOperation(operation) {}

    const QString& operation() const { return fOperation; }
    QString message() const { return QString::fromUtf8(what()); }

private:
    QString fOperation;
};

} // namespace db
