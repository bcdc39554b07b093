#include "platform/qt/QtTlsSocket.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHostAddress>
#include <QSslConfiguration>
#include <QSslKey>
#include <cerrno>
#include <utility>

#include "platform/PlatformError.h"
#include "platform/posix/SocketErrorNumber.h"
#include "platform/qt/QtCallbackGuard.h"

namespace ostrell::platform {

namespace {

// A server that takes the connection but never answers the handshake is no TLS server; said before the
// agent's connection wait (3.1 s) gives up without a reason.
constexpr int HandshakeLimitMs = 2500;

const char* const WrongState = "Wrong protocol or connection state for the requested transaction";

std::string text(const QString& s) { return s.toStdString(); }

// One reason per failed check of the chain or the name, in the words an operator looks for.
std::string reasonOf(const QSslError& e, const std::string& verifyName) {
    const QSslCertificate& c = e.certificate();
    switch (e.error()) {
        case QSslError::CertificateExpired:
            return "certificate expired on " + text(c.expiryDate().toUTC().toString(Qt::ISODate).left(10));
        case QSslError::CertificateNotYetValid:
            return "certificate not yet valid (from " + text(c.effectiveDate().toUTC().toString(Qt::ISODate)) + ")";
        case QSslError::HostNameMismatch: return "name mismatch: the certificate is not for " + verifyName;
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
        case QSslError::CertificateUntrusted:
            return "unknown issuer: " + text(c.issuerInfo(QSslCertificate::CommonName).join(QStringLiteral(", ")));
        case QSslError::CertificateRevoked: return "certificate revoked";
        default: return text(e.errorString());
    }
}

int32_t numberOf(QAbstractSocket::SocketError error) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError: return socketErrorNumber(ECONNREFUSED);
        case QAbstractSocket::HostNotFoundError: return HostNotFoundNumber;
        case QAbstractSocket::NetworkError: return socketErrorNumber(ENETUNREACH);
        default: return err::TlsRefused;
    }
}

}  // namespace

std::string keyPinOf(const QSslCertificate& certificate) {
    const QByteArray spki = certificate.publicKey().toDer();
    return "sha256/" + QCryptographicHash::hash(spki, QCryptographicHash::Sha256).toBase64().toStdString();
}

QtTlsSocket::QtTlsSocket(QList<QSslCertificate> authorities, TlsOptions options)
    : authorities_(std::move(authorities)), options_(std::move(options)) {
    handshakeLimit_.setSingleShot(true);
    handshakeLimit_.setInterval(HandshakeLimitMs);
    QObject::connect(&handshakeLimit_, &QTimer::timeout, &context_,
                     [this] { fail(err::TlsRefused, "TLS: not TLS at all (no handshake answer within 2.5 s)"); });
}

QtTlsSocket::~QtTlsSocket() {
    events_ = nullptr;
    drop();
}

void QtTlsSocket::connect(const std::string& host, int32_t port) {
    if (phase_ != Phase::Closed) throw PlatformError(err::SocketError, WrongState);
    drop();
    inbox_.clear();
    remotePort_ = port;
    verifyName_ = options_.peerName.empty() ? host : options_.peerName;
    socket_ = new QSslSocket(&context_);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!authorities_.isEmpty()) tls.setCaCertificates(authorities_);
    socket_->setSslConfiguration(tls);
    if (localPort_ != 0 && !socket_->bind(QHostAddress::AnyIPv4, static_cast<quint16>(localPort_),
                                          QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
        const std::string why = text(socket_->errorString());
        drop();
        throw PlatformError(socketErrorNumber(EADDRINUSE), why);
    }
    QSslSocket* s = socket_;
    QObject::connect(s, &QSslSocket::connected, &context_, [this] {
        phase_ = Phase::Handshake;
        handshakeLimit_.start();
    });
    QObject::connect(s, &QSslSocket::sslErrors, &context_, [this](const QList<QSslError>& errors) {
        // Not ignored: the handshake fails after this, and its error event carries these reasons.
        for (const QSslError& e : errors) {
            const std::string reason = reasonOf(e, verifyName_);
            if (refusal_.find(reason) == std::string::npos) refusal_ += (refusal_.empty() ? "" : "; ") + reason;
        }
    });
    QObject::connect(s, &QSslSocket::encrypted, &context_, [this] { onEncrypted(); });
    QObject::connect(s, &QSslSocket::errorOccurred, &context_,
                     [this](QAbstractSocket::SocketError e) { onSocketError(e); });
    QObject::connect(s, &QSslSocket::readyRead, &context_, [this] { onReadyRead(); });
    QObject::connect(s, &QSslSocket::disconnected, &context_, [this] { onDisconnected(); });
    phase_ = Phase::Connecting;
    s->connectToHostEncrypted(QString::fromStdString(host), static_cast<quint16>(port),
                              QString::fromStdString(verifyName_));
}

void QtTlsSocket::onEncrypted() {
    handshakeLimit_.stop();
    if (!options_.pin.empty()) {
        const std::string pin = keyPinOf(socket_->peerCertificate());
        if (pin != options_.pin) {
            fail(err::TlsRefused, "TLS: pin mismatch: the server's key is " + pin);
            return;
        }
    }
    remoteIP_ = text(socket_->peerAddress().toString());
    QHostAddress local = socket_->localAddress();
    if (const auto v4 = local.toIPv4Address(); v4 != 0) local = QHostAddress(v4);  // ::ffff:a.b.c.d as a.b.c.d
    localIP_ = text(local.toString());
    boundPort_ = socket_->localPort();
    phase_ = Phase::Connected;
    if (events_) runFromEventLoop("the connect event", [this] { events_->onConnect(); });
}

void QtTlsSocket::onSocketError(QAbstractSocket::SocketError error) {
    if (phase_ == Phase::Connected) {
        if (error != QAbstractSocket::RemoteHostClosedError) fail(numberOf(error), text(socket_->errorString()));
        return;  // a close by the peer comes as the close event
    }
    if (phase_ == Phase::Connecting) {
        fail(numberOf(error), text(socket_->errorString()));
        return;
    }
    std::string reason = refusal_;
    if (reason.empty()) {
        const QString detail = error == QAbstractSocket::RemoteHostClosedError
                                   ? QStringLiteral("the server closed the connection during the handshake")
                                   : socket_->errorString();
        // An alert is a TLS server that refused us; anything else is a peer that does not speak TLS.
        reason = detail.contains(QStringLiteral("alert"), Qt::CaseInsensitive)
                     ? "handshake refused by the server (" + text(detail) + ")"
                     : "not TLS at all (" + text(detail) + ")";
    }
    fail(err::TlsRefused, "TLS: " + reason);
}

void QtTlsSocket::onReadyRead() {
    if (phase_ != Phase::Connected) return;
    const QByteArray bytes = socket_->readAll();
    if (bytes.isEmpty()) return;
    inbox_.append(bytes.constData(), static_cast<size_t>(bytes.size()));
    const auto total = static_cast<int64_t>(inbox_.size());
    if (events_) runFromEventLoop("the data event", [&] { events_->onDataArrival(total); });
}

void QtTlsSocket::onDisconnected() {
    if (phase_ != Phase::Connected) {
        if (phase_ != Phase::Closed) onSocketError(QAbstractSocket::RemoteHostClosedError);
        return;
    }
    onReadyRead();  // what came with the close is announced before it
    std::string untaken = std::move(inbox_);
    drop();
    inbox_ = std::move(untaken);
    if (events_) runFromEventLoop("the close event", [this] { events_->onClose(); });
}

SocketState QtTlsSocket::state() const {
    switch (phase_) {
        case Phase::Connecting:
        case Phase::Handshake: return SocketState::Connecting;
        case Phase::Connected: return SocketState::Connected;
        case Phase::Closed: break;
    }
    return SocketState::Closed;
}

void QtTlsSocket::send(const std::string& bytes) {
    if (phase_ != Phase::Connected) throw PlatformError(err::SocketError, WrongState);
    socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
    // Out now, not at the next turn of the loop: a quit line just before a close must not be dropped.
    socket_->flush();
}

std::string QtTlsSocket::takeAll() { return std::exchange(inbox_, std::string()); }

void QtTlsSocket::close() {
    drop();
    inbox_.clear();
}

// Back to closed with no event. The QSslSocket may be in one of its own signals: it goes later.
void QtTlsSocket::drop() {
    handshakeLimit_.stop();
    phase_ = Phase::Closed;
    refusal_.clear();
    boundPort_ = 0;
    localIP_.clear();
    if (!socket_) return;
    QObject::disconnect(socket_, nullptr, &context_, nullptr);
    socket_->abort();
    socket_->deleteLater();
    socket_ = nullptr;
}

void QtTlsSocket::fail(int32_t number, const std::string& text) {
    drop();
    if (events_) runFromEventLoop("the error event", [&] { events_->onError(number, text); });
}

std::unique_ptr<TcpSocket> QtTlsSocketFactory::create(const TlsOptions& options) {
    QList<QSslCertificate> authorities;
    if (!options.authorityFile.empty()) {
        QFile file(QString::fromStdString(options.authorityFile));
        if (!file.open(QIODevice::ReadOnly))
            throw PlatformError(err::FileNotFound, "cannot be read: " + text(file.errorString()));
        authorities = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
        if (authorities.isEmpty()) throw PlatformError(err::BadFileMode, "holds no PEM certificate");
    }
    if (!QSslSocket::supportsSsl()) throw PlatformError(err::TlsRefused, "this system's Qt has no TLS backend");
    return std::make_unique<QtTlsSocket>(std::move(authorities), options);
}

}  // namespace ostrell::platform
