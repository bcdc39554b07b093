#include "platform/qt/QtTcpSocket.h"

#include <QHostAddress>

#include "platform/PlatformError.h"
#include "platform/qt/QtCallbackGuard.h"

namespace ostrell::platform {

namespace {
std::string addressText(const QHostAddress& address) {
    if (address.isNull()) return {};
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);  // also unwraps ::ffff:a.b.c.d
    return (isV4 ? QHostAddress(v4) : address).toString().toStdString();
}
}  // namespace

QtTcpSocket::QtTcpSocket() {
    QObject::connect(&socket_, &QTcpSocket::connected, [this] { onConnected(); });
    // channelReadyRead, unlike readyRead, also fires while an earlier arrival's handler is still running
    // a wait, so no arrival goes unannounced.
    QObject::connect(&socket_, &QTcpSocket::channelReadyRead, [this](int) { onReadyRead(); });
    QObject::connect(&socket_, &QTcpSocket::disconnected, [this] { onDisconnected(); });
    QObject::connect(&socket_, &QTcpSocket::errorOccurred,
                     [this](QAbstractSocket::SocketError error) { onErrorOccurred(error); });
}

QtTcpSocket::~QtTcpSocket() {
    events_ = nullptr;
    silenced_ = true;
    socket_.abort();
}

void QtTcpSocket::connect(const std::string& host, int32_t port) {
    if (socket_.state() != QAbstractSocket::UnconnectedState)
        throw PlatformError(err::SocketError, "Wrong protocol or connection state for the requested transaction");
    remotePort_ = port;
    errorReported_ = false;
    reportedBytes_ = 0;
    auto protocol = QAbstractSocket::AnyIPProtocol;
    if (localPort_ != 0) {
        if (!socket_.bind(QHostAddress::AnyIPv4, static_cast<quint16>(localPort_),
                          QAbstractSocket::ReuseAddressHint)) {
            const auto error = socket_.error();
            const std::string text = socket_.errorString().toStdString();
            silenced_ = true;
            socket_.abort();
            silenced_ = false;
            throw PlatformError(errorNumber(error), text);
        }
        protocol = QAbstractSocket::IPv4Protocol;  // keeps the bound socket: no switch to IPv6
    }
    socket_.connectToHost(QString::fromStdString(host), static_cast<quint16>(port), QIODevice::ReadWrite,
                          protocol);
}

int QtTcpSocket::state() const {
    switch (socket_.state()) {
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState: return StateConnecting;
    case QAbstractSocket::ConnectedState: return StateConnected;
    default: return StateClosed;
    }
}

void QtTcpSocket::send(const std::string& bytes) {
    if (socket_.state() != QAbstractSocket::ConnectedState)
        throw PlatformError(err::SocketError, "Wrong protocol or connection state for the requested transaction");
    if (socket_.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
        throw PlatformError(errorNumber(socket_.error()), socket_.errorString().toStdString());
    // Out now rather than at the next turn of the loop: a request reaches the server without waiting
    // for an event, and a line sent just before a close is not dropped with the buffer. What the
    // system cannot take at once still goes out as the socket drains.
    socket_.flush();
}

std::string QtTcpSocket::takeAll() {
    const QByteArray data = socket_.readAll();
    reportedBytes_ = 0;
    return std::string(data.constData(), static_cast<size_t>(data.size()));
}

void QtTcpSocket::close() {
    silenced_ = true;
    socket_.abort();
    silenced_ = false;
    reportedBytes_ = 0;
}

int32_t QtTcpSocket::localPort() const {
    const quint16 port = socket_.localPort();
    return port != 0 ? port : localPort_;
}

std::string QtTcpSocket::localIP() const { return addressText(socket_.localAddress()); }

int32_t QtTcpSocket::remotePort() const {
    const quint16 port = socket_.peerPort();
    return port != 0 ? port : remotePort_;
}

std::string QtTcpSocket::remoteHostIP() const {
    const std::string now = addressText(socket_.peerAddress());
    return now.empty() ? lastRemoteIP_ : now;
}

void QtTcpSocket::onConnected() {
    lastRemoteIP_ = addressText(socket_.peerAddress());
    if (events_) runFromEventLoop("the connect event", [this] { events_->onConnect(); });
}

void QtTcpSocket::onReadyRead() {
    const int64_t waiting = socket_.bytesAvailable();
    if (waiting <= reportedBytes_) return;
    reportedBytes_ = waiting;
    if (events_) runFromEventLoop("the data event", [&] { events_->onDataArrival(waiting); });
}

void QtTcpSocket::onDisconnected() {
    if (silenced_ || errorReported_) return;
    // The last bytes before the peer's close are announced before the close itself.
    onReadyRead();
    if (events_) runFromEventLoop("the close event", [this] { events_->onClose(); });
}

void QtTcpSocket::onErrorOccurred(QAbstractSocket::SocketError error) {
    if (silenced_ || error == QAbstractSocket::RemoteHostClosedError) return;
    errorReported_ = true;
    const std::string text = socket_.errorString().toStdString();
    if (events_) runFromEventLoop("the error event", [&] { events_->onError(errorNumber(error), text); });
}

int32_t QtTcpSocket::errorNumber(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionRefusedError: return 10061;
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::ProxyConnectionClosedError: return 10054;
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::ProxyNotFoundError: return 11001;
    case QAbstractSocket::SocketAccessError: return 10013;
    case QAbstractSocket::SocketResourceError: return 10055;
    case QAbstractSocket::SocketTimeoutError:
    case QAbstractSocket::ProxyConnectionTimeoutError: return 10060;
    case QAbstractSocket::DatagramTooLargeError: return 10040;
    case QAbstractSocket::NetworkError: return 10050;
    case QAbstractSocket::AddressInUseError: return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError: return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError: return 10045;
    case QAbstractSocket::UnfinishedSocketOperationError:
    case QAbstractSocket::TemporaryError: return 10035;
    default: return err::SocketError;
    }
}

}  // namespace ostrell::platform
