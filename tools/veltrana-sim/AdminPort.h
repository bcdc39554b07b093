#pragma once
#include <QObject>
#include <QTcpServer>

#include "veltrana-sim/DataStore.h"
#include "veltrana-sim/FaultSwitches.h"
#include "veltrana-sim/UploadRules.h"

namespace ostrell::sim {

class SimServer;

// A second loopback port through which a test changes the server while it runs, one command per line:
//   set NAME [VALUE]   any data, rule or fault option by its name without "--"  -> "OK" or "ERR <why>"
//   stats              -> "bookings-pending N payments-pending N lines N connections N open N"
//   exit               ends the server (exit code 0)
class AdminPort : public QObject {
    Q_OBJECT
public:
    AdminPort(SimServer& server, DataStore& store, UploadRules& rules, FaultSwitches& faults);
    bool listen(int port, QString& error);
    quint16 port() const { return server_.serverPort(); }

private slots:
    void onNewConnection();

private:
    std::string command(const std::string& line);

    SimServer& sim_;
    DataStore& store_;
    UploadRules& rules_;
    FaultSwitches& faults_;
    QTcpServer server_;
};

}  // namespace ostrell::sim
