#pragma once
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include <deque>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "veltrana-sim/ProtocolCore.h"
#include "veltrana-sim/ReplyShaper.h"

namespace ostrell::sim {

class SimServer;

// One client connection: cuts the incoming bytes into lines, hands each to the protocol core under the
// fault switches, and sends the shaped replies on time, in order, streaming endless lines as the
// socket drains. Deletes itself when the connection ends.
class SimConnection : public QObject {
    Q_OBJECT
public:
    SimConnection(QTcpSocket* socket, SimServer& server, uint64_t id);

signals:
    void finished();

private slots:
    void onReadyRead();
    void onDisconnected();
    void pump();

private:
    struct Outgoing {
        Piece piece;
        qint64 dueMs = 0;
        bool close = false;
    };
    // False when the line ended the connection.
    bool takeLine(std::string_view line);
    void schedule(std::vector<Piece> pieces, qint64 fromMs);
    void scheduleClose(qint64 dueMs);
    void dropNow(std::string_view reason);
    // Puts a fault that fired into the ledger, once per connection.
    void noteFault(std::string_view fault);
    void noteShaping(const FaultSwitches& f, const LineFate& fate, size_t replySize);

    QTcpSocket* socket_;
    SimServer& server_;
    Session session_;
    std::string input_;
    uint64_t lines_ = 0;
    bool quitting_ = false;
    bool closeNoted_ = false;
    bool finished_ = false;
    bool pumping_ = false;
    std::deque<Outgoing> out_;
    qint64 lastDueMs_ = 0;
    QTimer timer_;
    std::set<std::string, std::less<>> faultsNoted_;
};

}  // namespace ostrell::sim
