#pragma once

// What the backup tests share: station databases, what they hold, and a message
// sink that answers questions and remembers what the operator would have been shown.

#include "common/Messages.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "env/Log.h"
#include "support/TempDir.h"
#include "tools/StationDb.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <memory>

namespace backuptest {

// A test whose temporary folder (TMPDIR) and logs folder lie in its own folder, with a
// "data" folder for its databases.
class BackupFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(dir.file("data"));
        QDir().mkpath(dir.file("tmp"));
        fOldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(dir.file("tmp")));
        setLogsFolderOverride(dir.file("logs"));
    }
    void TearDown() override {
        setLogsFolderOverride(QString());
        if (fOldTmp.isEmpty())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", fOldTmp);
    }

    TempDir dir;

private:
    QByteArray fOldTmp;
};

inline std::unique_ptr<db::Connection> attach(const QString& path) {
    auto conx = std::make_unique<db::Connection>();
    conx->setParam(QStringLiteral("User_Name"), QStringLiteral("SYSDBA"));
    conx->setParam(QStringLiteral("Password"), QStringLiteral("quillpine"));
    conx->setParam(QStringLiteral("database"), path);
    conx->Open();
    return conx;
}

inline void makeStationDb(const QString& path, std::int64_t salesRows) {
    StationDbOptions options;
    options.salesRows = salesRows;
    createStationDatabase(path, options);
}

inline void execute(const QString& path, const QStringList& statements) {
    auto conx = attach(path);
    db::Query q(*conx);
    for (const QString& sql : statements) {
        q.SetSQL(sql);
        q.ExecSQL();
    }
    conx->Commit();
}

// Deletes sales rows past the guard trigger that protects them in a station database.
inline void deleteSales(const QString& path, const QString& where) {
    execute(path, {QStringLiteral("alter trigger TRG_SALES_BD inactive")});
    execute(path, {QStringLiteral("delete from TBL_SALES where ") + where});
    execute(path, {QStringLiteral("alter trigger TRG_SALES_BD active")});
}

// Every user table with its row count and a hash over all its rows in key order.
inline QMap<QString, QString> contents(const QString& path) {
    auto conx = attach(path);
    db::Query q(*conx);
    q.SetSQL(QStringLiteral("select trim(rdb$relation_name) from rdb$relations "
                            "where coalesce(rdb$system_flag, 0) = 0 and rdb$view_blr is null "
                            "order by 1"));
    const db::ResultSet tables = q.Open();
    q.Close();
    QMap<QString, QString> result;
    for (qsizetype t = 0; t < tables.rowCount(); ++t) {
        const QString table = tables.asString(t, 0);
        q.SetSQL(QStringLiteral("select * from \"%1\" order by 1").arg(table));
        const db::ResultSet rows = q.Open();
        q.Close();
        QCryptographicHash hash(QCryptographicHash::Sha1);
        for (qsizetype r = 0; r < rows.rowCount(); ++r) {
            for (int c = 0; c < rows.columnCount(); ++c)
                hash.addData(
                    (rows.isNull(r, c) ? QStringLiteral("<null>") : rows.asString(r, c)).toUtf8() +
                    '|');
            hash.addData("\n");
        }
        result.insert(table, QString::number(rows.rowCount()) + QLatin1Char(' ') +
                                 QString::fromLatin1(hash.result().toHex()));
    }
    return result;
}

// The row count of every user table.
inline QMap<QString, qint64> rowCounts(const QString& path) {
    QMap<QString, qint64> counts;
    const auto all = contents(path);
    for (auto it = all.begin(); it != all.end(); ++it)
        counts.insert(it.key(), it.value().section(QLatin1Char(' '), 0, 0).toLongLong());
    return counts;
}

inline qint64 rowCount(const QString& path, const QString& table) {
    auto conx = attach(path);
    db::Query q(*conx);
    q.SetSQL(QStringLiteral("select count(*) from ") + table);
    return q.Open().asInt64(0, 0);
}

inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Answers questions with a fixed answer and records every message by kind.
class RecordingSink final : public MessageSink {
public:
    explicit RecordingSink(int answer = idYes) : fAnswer(answer) {}
    void error(const QString& message, const QString&) override { errors.append(message); }
    void warning(const QString& message, const QString&) override { warnings.append(message); }
    void info(const QString& message, const QString&) override { infos.append(message); }
    int ask(const QString& question, const QString&) override {
        questions.append(question);
        return fAnswer;
    }
    QStringList errors, warnings, infos, questions;

private:
    int fAnswer;
};

// Installs a recording sink for the life of the object.
class SinkScope final {
public:
    explicit SinkScope(int answer = idYes)
        : sink(std::make_shared<RecordingSink>(answer)), fPrevious(setMessageSink(sink)) {}
    ~SinkScope() { setMessageSink(fPrevious); }
    SinkScope(const SinkScope&) = delete;
    SinkScope& operator=(const SinkScope&) = delete;
    std::shared_ptr<RecordingSink> sink;

private:
    std::shared_ptr<MessageSink> fPrevious;
};

} // namespace backuptest
