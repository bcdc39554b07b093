#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>

#include "veltrana-sim/FaultSwitches.h"
#include "veltrana-sim/ProtocolCore.h"
#include "veltrana-sim/ReplyShaper.h"

namespace ostrell::sim {

// The listening side: accepts connections on 127.0.0.1, gives each a SimConnection, watches for idleness
// and for a ledger that stopped working. Holds what every connection shares.
class SimServer : public QObject {
    Q_OBJECT
public:
    SimServer(ProtocolCore& core, Ledger& ledger, FaultSwitches& faults, uint64_t seed, int exitAfterIdleMs);

    // Serves TLS with this certificate and key (PEM) instead of clear text; before listen().
    bool useTls(const std::string& certificateFile, const std::string& keyFile, QString& error);
    bool listen(int port, QString& error);
    quint16 port() const { return server_->serverPort(); }

    ProtocolCore& core() { return core_; }
    const FaultSwitches& faults() const { return faults_; }
    ReplyShaper& shaper() { return shaper_; }
    qint64 nowMs() const { return clock_.elapsed(); }

    uint64_t nextRunLine() { return ++linesOfRun_; }
    uint64_t linesOfRun() const { return linesOfRun_; }
    uint64_t connectionsOfRun() const { return connections_; }
    int openConnections() const { return open_; }

    // Something happened: restarts the idle count.
    void activity();
    // Stops the program (exit code 3) when the ledger can no longer be written.
    void checkLedger();

private slots:
    void onNewConnection();

private:
    ProtocolCore& core_;
    Ledger& ledger_;
    FaultSwitches& faults_;
    ReplyShaper shaper_;
    std::unique_ptr<QTcpServer> server_ = std::make_unique<QTcpServer>();
    QTimer idle_;
    QElapsedTimer clock_;
    uint64_t linesOfRun_ = 0;
    uint64_t connections_ = 0;
    int open_ = 0;
};

}  // namespace ostrell::sim
