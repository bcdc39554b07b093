#include "veltrana-sim/SimConnection.h"

#include <algorithm>

#include "veltrana-sim/SimServer.h"

namespace ostrell::sim {

namespace {
// A client that sends this much without a LF is not speaking the protocol.
constexpr size_t MaxLineBytes = size_t{16} * 1024 * 1024;
// Endless lines go out in chunks, topped up while less than this waits in the socket's buffer.
constexpr qint64 EndlessChunk = qint64{64} * 1024;
constexpr qint64 EndlessBacklog = qint64{1024} * 1024;
}  // namespace

SimConnection::SimConnection(QTcpSocket* socket, SimServer& server, uint64_t id)
    : QObject(&server), socket_(socket), server_(server) {
    session_.id = id;
    socket_->setParent(this);
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &SimConnection::pump);
    connect(socket_, &QTcpSocket::readyRead, this, &SimConnection::onReadyRead);
    connect(socket_, &QTcpSocket::disconnected, this, &SimConnection::onDisconnected);
    connect(socket_, &QTcpSocket::bytesWritten, this, &SimConnection::pump);
    server_.core().opened(session_);
    lastDueMs_ = server_.nowMs();
    schedule(server_.shaper().banner(server_.faults()), server_.nowMs());
    if (server_.faults().hasBanner) noteFault("banner");
    server_.checkLedger();
    pump();
}

void SimConnection::onReadyRead() {
    const size_t searched = input_.size();  // the bytes before have no LF: not searched again
    input_.append(socket_->readAll().toStdString());
    size_t start = 0;
    for (size_t lf = input_.find('\n', searched); lf != std::string::npos; lf = input_.find('\n', start)) {
        const std::string line = input_.substr(start, lf - start);
        start = lf + 1;
        if (!takeLine(line)) return;
    }
    input_.erase(0, start);
    if (input_.size() > MaxLineBytes) dropNow("overflow");
}

bool SimConnection::takeLine(std::string_view line) {
    const uint64_t lineOfConnection = ++lines_;
    const uint64_t lineOfRun = server_.nextRunLine();
    server_.activity();
    server_.core().received(session_, line);
    if (quitting_) return true;  // after "quit" nothing more is carried out
    const FaultSwitches& f = server_.faults();
    const LineFate fate = lineFate(f, lineOfConnection, lineOfRun);
    if (fate.dropBeforeProcessing) {
        noteFault("drop");
        dropNow("drop");
        return false;
    }
    if (fate.ignore) return true;
    const qint64 now = server_.nowMs();
    Outcome outcome = server_.core().handle(session_, line);
    outcome.reply = rewordReply(f, line, std::move(outcome.reply));
    server_.checkLedger();
    if (fate.dropAfterProcessing) {
        noteFault("drop");
        dropNow("drop");
        return false;
    }
    if (outcome.reply) {
        noteShaping(f, fate, outcome.reply->size());
        schedule(server_.shaper().reply(f, fate, *outcome.reply), now);
    }
    if (outcome.close) {
        quitting_ = true;
        scheduleClose(now + f.quitPauseMs);
    }
    pump();
    return true;
}

void SimConnection::schedule(std::vector<Piece> pieces, qint64 fromMs) {
    bool first = true;
    for (auto& p : pieces) {
        const qint64 due = first ? std::max(fromMs + p.pauseBeforeMs, lastDueMs_) : lastDueMs_ + p.pauseBeforeMs;
        first = false;
        lastDueMs_ = due;
        out_.push_back(Outgoing{std::move(p), due, false});
    }
}

void SimConnection::scheduleClose(qint64 dueMs) {
    lastDueMs_ = std::max(dueMs, lastDueMs_);
    out_.push_back(Outgoing{{}, lastDueMs_, true});
}

void SimConnection::pump() {
    // flush() can emit bytesWritten at once, which calls pump again: the outer call does the work.
    if (pumping_) return;
    pumping_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{pumping_};
    while (!out_.empty() && socket_->state() == QAbstractSocket::ConnectedState) {
        Outgoing& item = out_.front();
        const qint64 now = server_.nowMs();
        if (item.dueMs > now) {
            timer_.start(static_cast<int>(item.dueMs - now));
            return;
        }
        if (item.close) {
            out_.clear();
            server_.core().closed(session_, "quit");
            closeNoted_ = true;
            socket_->disconnectFromHost();  // what is still buffered goes out first
            return;
        }
        if (item.piece.endlessBytes > 0) {
            while (item.piece.endlessBytes > 0 && socket_->bytesToWrite() < EndlessBacklog) {
                // One shared filler block: the socket's buffer keeps a reference, not a fresh copy each time.
                static const QByteArray Filler(EndlessChunk, 'x');
                const qint64 n = std::min<qint64>(EndlessChunk, static_cast<qint64>(item.piece.endlessBytes));
                socket_->write(n == EndlessChunk ? Filler : Filler.left(n));
                item.piece.endlessBytes -= static_cast<uint64_t>(n);
            }
            if (item.piece.endlessBytes > 0) return;  // bytesWritten brings us back
            out_.pop_front();
            continue;
        }
        const std::string bytes = std::move(item.piece.bytes);
        out_.pop_front();
        socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
        socket_->flush();  // one piece, one send: a split reply really arrives in pieces
    }
}

void SimConnection::noteFault(std::string_view fault) {
    if (faultsNoted_.contains(fault)) return;
    faultsNoted_.emplace(fault);
    server_.core().faultFired(session_, fault);
    server_.checkLedger();
}

void SimConnection::noteShaping(const FaultSwitches& f, const LineFate& fate, size_t replySize) {
    if (fate.endless) {
        noteFault("endless");
        return;
    }
    if (fate.delayed && f.delayMs > 0) noteFault("delay");
    if (f.split > 0 && replySize >= f.split) noteFault("split");
    if (f.merge) noteFault("merge");
    if (f.garbage != FaultSwitches::Garbage::Off) noteFault("garbage");
    if (f.eol != FaultSwitches::Eol::CrLf) noteFault("eol");
}

void SimConnection::dropNow(std::string_view reason) {
    out_.clear();
    if (!closeNoted_) server_.core().closed(session_, reason);
    closeNoted_ = true;
    server_.checkLedger();
    socket_->abort();
    onDisconnected();
}

void SimConnection::onDisconnected() {
    if (finished_) return;
    finished_ = true;
    if (!closeNoted_) server_.core().closed(session_, "peer");
    closeNoted_ = true;
    server_.checkLedger();
    timer_.stop();
    out_.clear();
    disconnect(socket_, nullptr, this, nullptr);
    emit finished();
    deleteLater();
}

}  // namespace ostrell::sim
