// Uploads with libcurl to an FTP server on the loopback interface, started by the test.

#include "BackupTestSupport.h"
#include "FtpTestServer.h"

#include "backup/VaultixJobs.h"
#include "backup/VaultixLog.h"
#include "env/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace backuptest;

namespace {

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        setLogsFolderOverride(dir.file("logs"));
        QFile file(dir.file("SHOP.GDB"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (int i = 0; i < 5000; ++i)
            file.write(QByteArray::number(i).rightJustified(64, '.') + '\n');
    }
    void TearDown() override { setLogsFolderOverride(QString()); }

    TempDir dir;
    FtpTestServer server{QStringLiteral("station"), QStringLiteral("s3cret")};
};

} // namespace

TEST_F(TransferTest, UploadsTheFileUnderItsOwnOrTheGivenName) {
    const QByteArray sent = fileBytes(dir.file("SHOP.GDB"));
    struct Case {
        const char* name;
        QString host;
        QString remoteName;
        QString expectedPath;
    } cases[] = {
        {"bare host", server.host(), {}, "/SHOP.GDB"},
        {"given name", server.host(), "review 1.gdb", "/review 1.gdb"},
        {"ftp url with folder", "ftp://" + server.host() + "/incoming", {}, "/incoming/SHOP.GDB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TransferJob job(dir.file("SHOP.GDB"), c.host, QStringLiteral("station"),
                        QStringLiteral("s3cret"), c.remoteName);
        qint64 lastPosition = -1, lastMaximum = -1;
        job.run({}, [&](qint64 p, qint64 m) {
            lastPosition = p;
            lastMaximum = m;
        });
        EXPECT_EQ(server.files().value(c.expectedPath), sent);
        EXPECT_EQ(lastPosition, sent.size());
        EXPECT_EQ(lastMaximum, sent.size());
    }
    EXPECT_EQ(server.refusedLogins(), 0);
}

TEST_F(TransferTest, WrongPasswordFailsWithTheServersRefusal) {
    TransferJob job(dir.file("SHOP.GDB"), server.host(), QStringLiteral("station"),
                    QStringLiteral("wrong"));
    QStringList lines;
    try {
        job.run([&](const QString& l) { lines.append(l); });
        FAIL() << "the upload went through";
    } catch (const TransferError& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("530"))) << e.what();
    }
    EXPECT_EQ(server.refusedLogins(), 1);
    EXPECT_TRUE(server.files().isEmpty());
    // The server's replies are logged, the password never is.
    EXPECT_TRUE(lines.contains(QStringLiteral("530 Login incorrect")));
    const QString log = QString::fromUtf8(fileBytes(vaultixLogFileName()));
    EXPECT_TRUE(log.contains(QStringLiteral("[Transfer] Failed: ")));
    EXPECT_FALSE(log.contains(QStringLiteral("wrong")));
}

TEST_F(TransferTest, MissingFileAndUnreachableHostFail) {
    TransferJob missing(dir.file("none.gdb"), server.host(), QStringLiteral("station"),
                        QStringLiteral("s3cret"));
    EXPECT_THROW(missing.run(), TransferError);
    // A port nobody listens on: the server is stopped first.
    quint16 port;
    {
        FtpTestServer gone(QStringLiteral("a"), QStringLiteral("b"));
        port = gone.port();
    }
    TransferJob refused(dir.file("SHOP.GDB"), QStringLiteral("127.0.0.1:%1").arg(port),
                        QStringLiteral("station"), QStringLiteral("s3cret"));
    EXPECT_THROW(refused.run(), TransferError);
}

TEST_F(TransferTest, CancelStopsTheUpload) {
    TransferJob job(dir.file("SHOP.GDB"), server.host(), QStringLiteral("station"),
                    QStringLiteral("s3cret"));
    EXPECT_THROW(job.run([&](const QString&) { job.cancel(); }), JobCancelled);
    EXPECT_FALSE(job.discard());
}

TEST(TransferUrl, SchemeHostFolderAndName) {
    struct Case {
        QString host, name, expected;
    } cases[] = {
        {"review.example.com", "SHOP.GDB", "ftp://review.example.com/SHOP.GDB"},
        {"127.0.0.1:2121", "a b.fbk", "ftp://127.0.0.1:2121/a%20b.fbk"},
        {"ftp://h/in", "x.fbk", "ftp://h/in/x.fbk"},
        {"ftps://h/in/", "x.fbk", "ftps://h/in/x.fbk"},
        {"https://h:8443/upload", "x.fbk", "https://h:8443/upload/x.fbk"},
        {"sftp://h/~/drop", "x.fbk", "sftp://h/~/drop/x.fbk"},
        {"  ftp://user:pw@h/  ", "x.fbk", "ftp://h/x.fbk"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host.toStdString());
        EXPECT_EQ(transferUrl(c.host, c.name), c.expected);
    }
}
