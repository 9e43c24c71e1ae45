#pragma once

// A small FTP server on the loopback interface for the transfer tests: one user, passive
// mode, uploads kept in memory. It runs on a thread of its own, so a test may upload from
// its own thread without an event loop.

#include <QByteArray>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThread>

class QTcpServer;

class FtpTestServer final : public QObject {
    Q_OBJECT
public:
    FtpTestServer(const QString& user, const QString& password);
    ~FtpTestServer() override;

    quint16 port() const { return fPort; }
    // "127.0.0.1:port", a bare host as the transfer takes it.
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(fPort); }
    // Uploaded files by their path on the server.
    QMap<QString, QByteArray> files() const;
    // Failed logins so far.
    int refusedLogins() const;

private:
    friend class FtpControlConnection;
    void listen();
    void stored(const QString& path, const QByteArray& data);
    void refused();

    QString fUser;
    QString fPassword;
    QThread fThread;
    QTcpServer* fServer = nullptr;
    quint16 fPort = 0;
    mutable QMutex fMutex;
    QMap<QString, QByteArray> fFiles;
    int fRefused = 0;
};
