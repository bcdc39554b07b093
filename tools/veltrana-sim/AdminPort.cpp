#include "veltrana-sim/AdminPort.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpSocket>

#include "veltrana-sim/SimOptions.h"
#include "veltrana-sim/SimServer.h"

namespace ostrell::sim {

AdminPort::AdminPort(SimServer& server, DataStore& store, UploadRules& rules, FaultSwitches& faults)
    : sim_(server), store_(store), rules_(rules), faults_(faults) {
    connect(&server_, &QTcpServer::newConnection, this, &AdminPort::onNewConnection);
}

bool AdminPort::listen(int port, QString& error) {
    if (server_.listen(QHostAddress::LocalHost, static_cast<quint16>(port))) return true;
    error = server_.errorString();
    return false;
}

void AdminPort::onNewConnection() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                std::string line = socket->readLine().toStdString();
                while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
                const std::string answer = command(line) + "\n";
                socket->write(answer.data(), static_cast<qint64>(answer.size()));
            }
        });
    }
}

std::string AdminPort::command(const std::string& line) {
    if (line == "exit") {
        QCoreApplication::exit(0);
        return "OK";
    }
    if (line == "stats") {
        return "bookings-pending " + std::to_string(store_.pending(RecordKind::Booking)) + " payments-pending " +
               std::to_string(store_.pending(RecordKind::Payment)) + " lines " + std::to_string(sim_.linesOfRun()) +
               " connections " + std::to_string(sim_.connectionsOfRun()) + " open " +
               std::to_string(sim_.openConnections());
    }
    if (line.rfind("set ", 0) == 0) {
        const std::string rest = line.substr(4);
        const auto blank = rest.find(' ');
        const std::string name = rest.substr(0, blank);
        const std::string value = blank == std::string::npos ? std::string() : rest.substr(blank + 1);
        std::string error;
        if (applyLive(name, value, store_, rules_, faults_, error)) return "OK";
        return "ERR " + error;
    }
    return "ERR unknown command (set NAME [VALUE], stats, exit)";
}

}  // namespace ostrell::sim
