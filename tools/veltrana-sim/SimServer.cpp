#include "veltrana-sim/SimServer.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpSocket>

#include <cstdio>

#include "veltrana-sim/SimConnection.h"

namespace ostrell::sim {

SimServer::SimServer(ProtocolCore& core, Ledger& ledger, FaultSwitches& faults, uint64_t seed, int exitAfterIdleMs)
    : core_(core), ledger_(ledger), faults_(faults), shaper_(seed) {
    clock_.start();
    connect(&server_, &QTcpServer::newConnection, this, &SimServer::onNewConnection);
    if (exitAfterIdleMs > 0) {
        idle_.setSingleShot(true);
        idle_.setInterval(exitAfterIdleMs);
        connect(&idle_, &QTimer::timeout, this, [] { QCoreApplication::exit(0); });
        idle_.start();
    }
}

bool SimServer::listen(int port, QString& error) {
    if (server_.listen(QHostAddress::LocalHost, static_cast<quint16>(port))) return true;
    error = server_.errorString();
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
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
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
