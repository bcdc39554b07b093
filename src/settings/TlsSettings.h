#pragma once
#include <string>

#include "platform/TlsSocket.h"

namespace ostrell::settings {

// The TLS keys as read at start. An empty "TLS" (or none) is today's clear-text link.
struct TlsTexts {
    std::string tls, authorityFile, pin, peerName;
};

// What the link is to be: clear text, TLS with these options, or nothing at all when a key is wrong
// (problem says which, with its value): a wrong key never falls back to clear text.
struct TlsChoice {
    bool on = false;
    platform::TlsOptions options;
    std::string problem;
};

TlsChoice chooseTls(const TlsTexts& texts);

// "sha256/" and the base64 of 32 bytes, as a server key's pin is written.
bool wellFormedPin(const std::string& pin);

}  // namespace ostrell::settings
