#include "reliability/SimBehindFakeSocket.h"

namespace ostrell::reliability {

SimBehindFakeSocket::SimBehindFakeSocket(fake::FakeTcpSocket& socket, sim::ProtocolCore& core, uint64_t& connections,
                                         int64_t replyDelayMs)
    : socket_(socket), core_(core), connections_(connections), replyDelayMs_(replyDelayMs) {
    socket_.onAccepted = [this] {
        session_ = sim::Session{};
        session_.id = ++connections_;
        core_.opened(session_);
    };
    socket_.onLine = [this](const std::string& line) {
        if (beforeLine) beforeLine(line);
        core_.received(session_, line);
        const sim::Outcome out = core_.handle(session_, line);
        if (out.reply) socket_.peerSend(*out.reply + "\r\n", replyDelayMs_);
        if (out.close) {
            core_.closed(session_, "quit");
            socket_.peerClose(replyDelayMs_);
        }
    };
}

}  // namespace ostrell::reliability
