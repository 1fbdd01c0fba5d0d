// A mosquitto broker of the test's own on a free loopback port, from a
// configuration the test writes: open to all, behind a password file, or a
// TLS listener whose certificate comes from an authority made here with
// openssl. Stopped with the test.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

#include <string>

class MosquittoBroker {
public:
    struct Setup {
        QString user; // with password: anonymous clients are refused
        QString password;
        bool tls = false; // a certificate for localhost and 127.0.0.1
    };

    MosquittoBroker(const QString& dir, const Setup& setup) : dir_(dir)
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port_ = probe.serverPort();
        probe.close();
        const QString base = dir_ + QStringLiteral("/broker-%1").arg(port_);
        // The usual log, and each subscription as "CLIENT QOS TOPIC".
        QString config = QStringLiteral("listener %1 127.0.0.1\npersistence false\nlog_type error\nlog_type warning\n"
                                        "log_type notice\nlog_type information\nlog_type subscribe\n")
                             .arg(port_);
        // As root the broker would switch to its own user, who cannot read here.
        if (const passwd* self = getpwuid(getuid()))
            config += QStringLiteral("user %1\n").arg(QString::fromLocal8Bit(self->pw_name));
        if (setup.user.isEmpty()) {
            config += QStringLiteral("allow_anonymous true\n");
        } else {
            run(QStringLiteral("mosquitto_passwd"),
                {QStringLiteral("-b"), QStringLiteral("-c"), base + QStringLiteral(".passwd"), setup.user,
                 setup.password});
            config += QStringLiteral("allow_anonymous false\npassword_file %1.passwd\n").arg(base);
        }
        if (setup.tls) {
            makeAuthority(base);
            config += QStringLiteral("cafile %1-ca.crt\ncertfile %1-server.crt\nkeyfile %1-server.key\n").arg(base);
            caFile_ = base + QStringLiteral("-ca.crt");
        }
        configFile_ = base + QStringLiteral(".conf");
        QFile file(configFile_);
        if (file.open(QIODevice::WriteOnly))
            file.write(config.toUtf8());
        file.close();
        start();
    }
    ~MosquittoBroker() { stop(); }
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    quint16 port() const { return port_; }
    // The authority that signed a TLS broker's certificate.
    const QString& caFile() const { return caFile_; }
    // What the broker said (its log goes to standard error).
    QString log() { return log_ += QString::fromLocal8Bit(process_.readAllStandardError()); }

    // Subscriptions to topic so far, over every start.
    int subscriptions(const QString& topic) { return int(log().count(QStringLiteral(" 0 %1\n").arg(topic))); }
    qint64 processId() const { return process_.processId(); }

    // Starts the broker and waits until it takes connections; false if it never does.
    bool start()
    {
        process_.start(executable(QStringLiteral("mosquitto")), {QStringLiteral("-c"), configFile_});
        if (!process_.waitForStarted(10000))
            return false;
        for (int attempt = 0; attempt < 200; ++attempt) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port_);
            if (probe.waitForConnected(1000))
                return true;
            if (process_.state() == QProcess::NotRunning)
                return false;
            QThread::msleep(50);
        }
        return false;
    }

    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished(10000);
        }
        log();
    }

private:
    // The broker and its password tool live in sbin and bin; PATH may hold neither.
    static QString executable(const QString& name)
    {
        QString found = QStandardPaths::findExecutable(name);
        if (found.isEmpty())
            found = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
        return found.isEmpty() ? name : found;
    }

    static void run(const QString& program, const QStringList& args)
    {
        QProcess process;
        process.start(executable(program), args);
        process.waitForFinished(60000);
    }

    // A certificate authority, and a server certificate it signed for this machine.
    static void makeAuthority(const QString& base)
    {
        const QString curve = QStringLiteral("ec_paramgen_curve:prime256v1");
        run(QStringLiteral("openssl"),
            {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
             QStringLiteral("-pkeyopt"), curve, QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"),
             QStringLiteral("-subj"), QStringLiteral("/CN=meshscope test authority"), QStringLiteral("-keyout"),
             base + QStringLiteral("-ca.key"), QStringLiteral("-out"), base + QStringLiteral("-ca.crt")});
        run(QStringLiteral("openssl"),
            {QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"), curve,
             QStringLiteral("-nodes"), QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
             QStringLiteral("-keyout"), base + QStringLiteral("-server.key"), QStringLiteral("-out"),
             base + QStringLiteral("-server.csr")});
        QFile extensions(base + QStringLiteral("-server.ext"));
        if (extensions.open(QIODevice::WriteOnly))
            extensions.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n");
        extensions.close();
        run(QStringLiteral("openssl"),
            {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
             base + QStringLiteral("-server.csr"), QStringLiteral("-CA"), base + QStringLiteral("-ca.crt"),
             QStringLiteral("-CAkey"), base + QStringLiteral("-ca.key"), QStringLiteral("-CAcreateserial"),
             QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
             base + QStringLiteral("-server.ext"), QStringLiteral("-out"), base + QStringLiteral("-server.crt")});
    }

    QString dir_;
    quint16 port_ = 0;
    QString configFile_;
    QString caFile_;
    QString log_;
    QProcess process_;
};
