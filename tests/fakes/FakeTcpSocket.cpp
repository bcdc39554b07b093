#include "fakes/FakeTcpSocket.h"

#include "platform/PlatformError.h"

namespace ostrell::fake {

void FakeTcpSocket::connect(const std::string& host, int32_t port) {
    if (state_ != platform::SocketState::Closed)
        throw platform::PlatformError(platform::err::SocketError,
                                      "Wrong protocol or connection state for the requested transaction or request");
    ++connectCalls;
    host_ = host;
    port_ = port;
    state_ = platform::SocketState::Connecting;
    const uint64_t gen = ++generation_;
    partialLine_.clear();
    inbox_.clear();
    if (!acceptConnections) return;
    loop_.post(connectDelayMs, [this, gen] {
        if (gen != generation_) return;
        if (refuseConnections) {
            state_ = platform::SocketState::Closed;
            if (events_) events_->onError(10061, "Connection is forcefully rejected");
            return;
        }
        state_ = platform::SocketState::Connected;
        if (onAccepted) onAccepted();
        if (events_) events_->onConnect();
    });
}

void FakeTcpSocket::send(const std::string& bytes) {
    if (state_ != platform::SocketState::Connected)
        throw platform::PlatformError(platform::err::SocketError,
                                      "Wrong protocol or connection state for the requested transaction or request");
    partialLine_ += bytes;
    for (auto lf = partialLine_.find('\n'); lf != std::string::npos; lf = partialLine_.find('\n')) {
        std::string line = partialLine_.substr(0, lf);
        partialLine_.erase(0, lf + 1);
        sentLines.push_back(line);
        if (onLine) onLine(line);
    }
}

void FakeTcpSocket::close() {
    ++generation_;
    state_ = platform::SocketState::Closed;
    inbox_.clear();
}

void FakeTcpSocket::peerSend(const std::string& bytes, int64_t delayMs) {
    const uint64_t gen = generation_;
    loop_.post(delayMs, [this, gen, bytes] {
        if (gen != generation_ || state_ != platform::SocketState::Connected) return;
        inbox_ += bytes;
        if (events_) events_->onDataArrival(static_cast<int64_t>(inbox_.size()));
    });
}

void FakeTcpSocket::peerClose(int64_t delayMs) {
    const uint64_t gen = generation_;
    loop_.post(delayMs, [this, gen] {
        if (gen != generation_ || state_ != platform::SocketState::Connected) return;
        state_ = platform::SocketState::Closed;  // the platform leaves a closing state; the close event follows
        if (events_) events_->onClose();
    });
}

}  // namespace ostrell::fake
