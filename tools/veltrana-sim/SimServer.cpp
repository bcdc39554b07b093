#include "veltrana-sim/SimServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpSocket>

#include <cstdio>

#include "veltrana-sim/SimConnection.h"

namespace ostrell::sim {

SimServer::SimServer(ProtocolCore& core, Ledger& ledger, FaultSwitches& faults, uint64_t seed, int exitAfterIdleMs)
    : core_(core), ledger_(ledger), faults_(faults), shaper_(seed) {
    clock_.start();
    connect(server_.get(), &QTcpServer::newConnection, this, &SimServer::onNewConnection);
    if (exitAfterIdleMs > 0) {
        idle_.setSingleShot(true);
        idle_.setInterval(exitAfterIdleMs);
        connect(&idle_, &QTimer::timeout, this, [] { QCoreApplication::exit(0); });
        idle_.start();
    }
}

bool SimServer::useTls(const std::string& certificateFile, const std::string& keyFile, QString& error) {
    QFile certificate(QString::fromStdString(certificateFile)), key(QString::fromStdString(keyFile));
    if (!certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read the certificate or the key");
        return false;
    }
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certificate.readAll(), QSsl::Pem);
    const QByteArray keyBytes = key.readAll();
    QSslKey privateKey;
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Ec, QSsl::Rsa})
        if (privateKey.isNull()) privateKey = QSslKey(keyBytes, algorithm, QSsl::Pem);
    if (chain.isEmpty() || privateKey.isNull()) {
        error = QStringLiteral("no PEM certificate or key");
        return false;
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(chain);
    tls.setPrivateKey(privateKey);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    auto server = std::make_unique<QSslServer>();
    server->setSslConfiguration(tls);
    // Only a connection whose handshake completed is handed over: a client that refused our certificate
    // never reaches the protocol, and the ledger shows no connection.
    connect(server.get(), &QTcpServer::pendingConnectionAvailable, this, &SimServer::onNewConnection);
    server_ = std::move(server);
    return true;
}

bool SimServer::listen(int port, QString& error) {
    if (server_->listen(QHostAddress::LocalHost, static_cast<quint16>(port))) return true;
    error = server_->errorString();
    return false;
}

void SimServer::activity() {
    if (idle_.interval() > 0) idle_.start();
}

void SimServer::checkLedger() {
    if (!ledger_.failed()) return;
    std::fprintf(stderr, "veltrana-sim: %s; stopping\n", ledger_.error().c_str());
    QCoreApplication::exit(3);
}

void SimServer::onNewConnection() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        ++open_;
        auto* c = new SimConnection(socket, *this, ++connections_);
        connect(c, &SimConnection::finished, this, [this] {
            --open_;
            activity();
        });
        activity();
    }
}

}  // namespace ostrell::sim
