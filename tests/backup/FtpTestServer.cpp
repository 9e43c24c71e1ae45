#include "FtpTestServer.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// One control connection: the commands a client needs to log in and store a file.
class FtpControlConnection final : public QObject {
public:
    FtpControlConnection(FtpTestServer& server, QTcpSocket* control)
        : QObject(control), fServer(server), fControl(control) {
        connect(control, &QTcpSocket::readyRead, this, &FtpControlConnection::readCommands);
        connect(control, &QTcpSocket::disconnected, control, &QObject::deleteLater);
        reply("220 Test server ready");
    }

private:
    void reply(const QString& line) { fControl->write((line + QStringLiteral("\r\n")).toUtf8()); }

    void readCommands() {
        while (fControl->canReadLine()) {
            const QString line = QString::fromUtf8(fControl->readLine()).trimmed();
            const qsizetype space = line.indexOf(QLatin1Char(' '));
            const QString verb = (space < 0 ? line : line.left(space)).toUpper();
            const QString arg = space < 0 ? QString() : line.mid(space + 1);
            command(verb, arg);
        }
    }

    QString absolute(const QString& name) const {
        if (name.startsWith(QLatin1Char('/')))
            return name;
        return fCwd + (fCwd.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + name;
    }

    void command(const QString& verb, const QString& arg) {
        if (verb == QLatin1String("USER")) {
            fUser = arg;
            reply(QStringLiteral("331 Password required"));
        } else if (verb == QLatin1String("PASS")) {
            fLoggedIn = fUser == fServer.fUser && arg == fServer.fPassword;
            if (fLoggedIn) {
                reply(QStringLiteral("230 Logged in"));
            } else {
                fServer.refused();
                reply(QStringLiteral("530 Login incorrect"));
            }
        } else if (verb == QLatin1String("QUIT")) {
            reply(QStringLiteral("221 Bye"));
            fControl->disconnectFromHost();
        } else if (!fLoggedIn) {
            reply(QStringLiteral("530 Not logged in"));
        } else if (verb == QLatin1String("PWD")) {
            reply(QStringLiteral("257 \"%1\"").arg(fCwd));
        } else if (verb == QLatin1String("CWD")) {
            fCwd = absolute(arg);
            reply(QStringLiteral("250 OK"));
        } else if (verb == QLatin1String("MKD")) {
            reply(QStringLiteral("257 \"%1\" created").arg(absolute(arg)));
        } else if (verb == QLatin1String("TYPE")) {
            reply(QStringLiteral("200 Type set"));
        } else if (verb == QLatin1String("EPSV") || verb == QLatin1String("PASV")) {
            openData(verb == QLatin1String("EPSV"));
        } else if (verb == QLatin1String("STOR")) {
            store(absolute(arg));
        } else {
            reply(QStringLiteral("502 Not implemented"));
        }
    }

    void openData(bool extended) {
        fDataServer = new QTcpServer(this);
        fDataServer->listen(QHostAddress::LocalHost, 0);
        connect(fDataServer, &QTcpServer::newConnection, this, [this] {
            fData = fDataServer->nextPendingConnection();
            connect(fData, &QTcpSocket::readyRead, this, [this] { fReceived += fData->readAll(); });
            connect(fData, &QTcpSocket::disconnected, this, &FtpControlConnection::dataClosed);
        });
        const quint16 port = fDataServer->serverPort();
        if (extended)
            reply(QStringLiteral("229 Entering Extended Passive Mode (|||%1|)").arg(port));
        else
            reply(QStringLiteral("227 Entering Passive Mode (127,0,0,1,%1,%2)")
                      .arg(port >> 8)
                      .arg(port & 0xFF));
    }

    void store(const QString& path) {
        if (!fDataServer) {
            reply(QStringLiteral("425 Use PASV first"));
            return;
        }
        fStorePath = path;
        fReceived.clear();
        reply(QStringLiteral("150 Ok to send data"));
    }

    void dataClosed() {
        fReceived += fData->readAll();
        if (!fStorePath.isEmpty()) {
            fServer.stored(fStorePath, fReceived);
            reply(QStringLiteral("226 Transfer complete"));
        }
        fStorePath.clear();
        fData->deleteLater();
        fData = nullptr;
        fDataServer->deleteLater();
        fDataServer = nullptr;
    }

    FtpTestServer& fServer;
    QTcpSocket* fControl;
    QString fUser;
    bool fLoggedIn = false;
    QString fCwd = QStringLiteral("/");
    QPointer<QTcpServer> fDataServer;
    QTcpSocket* fData = nullptr;
    QString fStorePath;
    QByteArray fReceived;
};

FtpTestServer::FtpTestServer(const QString& user, const QString& password)
    : fUser(user), fPassword(password) {
    fThread.start();
    moveToThread(&fThread);
    QMetaObject::invokeMethod(this, &FtpTestServer::listen, Qt::BlockingQueuedConnection);
}

FtpTestServer::~FtpTestServer() {
    QThread* const owner = fThread.thread();
    QMetaObject::invokeMethod(
        this,
        [this, owner] {
            delete fServer;
            fServer = nullptr;
            moveToThread(owner);
        },
        Qt::BlockingQueuedConnection);
    fThread.quit();
    fThread.wait();
}

void FtpTestServer::listen() {
    fServer = new QTcpServer();
    fServer->listen(QHostAddress::LocalHost, 0);
    fPort = fServer->serverPort();
    connect(fServer, &QTcpServer::newConnection, fServer, [this] {
        while (QTcpSocket* socket = fServer->nextPendingConnection())
            new FtpControlConnection(*this, socket);
    });
}

void FtpTestServer::stored(const QString& path, const QByteArray& data) {
    QMutexLocker lock(&fMutex);
    fFiles.insert(path, data);
}

void FtpTestServer::refused() {
    QMutexLocker lock(&fMutex);
    ++fRefused;
}

QMap<QString, QByteArray> FtpTestServer::files() const {
    QMutexLocker lock(&fMutex);
    return fFiles;
}

int FtpTestServer::refusedLogins() const {
    QMutexLocker lock(&fMutex);
    return fRefused;
}
