#pragma once
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QSslError>
#include <QSslSocket>
#include <QTimer>
#include <memory>
#include <string>

#include "platform/TlsSocket.h"

namespace ostrell::platform {

// The client socket over TLS, on QSslSocket, with the clear-text socket's event rules (a close by the
// peer is a close event, our own close() raises none). It counts as connected only once the handshake
// (TLS 1.2 or newer), the chain, the name and the pin have all passed; before that send() refuses, so
// nothing of the protocol leaves in clear text or to a server that failed a check. A failed check is an
// error event whose text says which.
class QtTlsSocket : public TcpSocket {
public:
    QtTlsSocket(QList<QSslCertificate> authorities, TlsOptions options);
    ~QtTlsSocket() override;
    QtTlsSocket(const QtTlsSocket&) = delete;
    QtTlsSocket& operator=(const QtTlsSocket&) = delete;

    void setEvents(TcpSocketEvents* events) override { events_ = events; }
    void setLocalPort(int32_t port) override { localPort_ = port; }
    void connect(const std::string& host, int32_t port) override;
    SocketState state() const override;
    void send(const std::string& bytes) override;
    std::string takeAll() override;
    void close() override;

    int32_t localPort() const override { return boundPort_ != 0 ? boundPort_ : localPort_; }
    std::string localIP() const override { return localIP_; }
    int32_t remotePort() const override { return remotePort_; }
    std::string remoteHostIP() const override { return remoteIP_; }

private:
    enum class Phase { Closed, Connecting, Handshake, Connected };

    void onEncrypted();
    void onSocketError(QAbstractSocket::SocketError error);
    void onReadyRead();
    void onDisconnected();
    void fail(int32_t number, const std::string& text);
    void drop();

    QObject context_;  // parent of the connection's QSslSocket
    QSslSocket* socket_ = nullptr;
    QTimer handshakeLimit_;
    const QList<QSslCertificate> authorities_;  // empty: the system's
    const TlsOptions options_;
    TcpSocketEvents* events_ = nullptr;
    Phase phase_ = Phase::Closed;
    std::string verifyName_;  // the name the certificate must carry on this connection
    std::string refusal_;     // why the chain or the name was refused, from the handshake
    std::string inbox_;
    int32_t localPort_ = 0;
    int32_t boundPort_ = 0;
    std::string localIP_;
    int32_t remotePort_ = 0;
    std::string remoteIP_;
};

// Reads the trusted certificates once, at start.
class QtTlsSocketFactory : public TlsSocketFactory {
public:
    std::unique_ptr<TcpSocket> create(const TlsOptions& options) override;
};

// "sha256/" + base64 of the SHA-256 of the certificate's public key (SubjectPublicKeyInfo, DER).
std::string keyPinOf(const QSslCertificate& certificate);

}  // namespace ostrell::platform
