#pragma once
#include <memory>
#include <string>

#include "platform/TcpSocket.h"

namespace ostrell::platform {

// What a TLS link checks before it counts as connected, besides TLS 1.2 or newer and a valid chain.
struct TlsOptions {
    std::string authorityFile;  // PEM file of trusted certificates; empty: the system's trust store
    std::string pin;            // "sha256/" + base64 of the SHA-256 of the server key (SPKI); empty: none
    std::string peerName;       // the name the certificate must carry; empty: the host connected to
};

// Makes the TLS socket. It reports "connected" only after the handshake and every check have passed,
// so nothing of the protocol can be sent before; any failed check is an error event with its reason.
class TlsSocketFactory {
public:
    virtual ~TlsSocketFactory() = default;
    // Throws PlatformError naming what is wrong with the options (a trust file that cannot be read).
    virtual std::unique_ptr<TcpSocket> create(const TlsOptions& options) = 0;
};

}  // namespace ostrell::platform
